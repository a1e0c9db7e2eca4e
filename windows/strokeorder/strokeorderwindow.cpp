#include "windows/strokeorder/strokeorderwindow.h"

#include "app/globals.h"
#include "app/windowlookup.h"
#include "platform/menubar.h"
#include "platform/savedialog.h"
#include "platform/windows.h"
#include "store/strokes.h"
#include "windows/strokeorder/strokedrawing.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// At most this many characters of a text are gone through.
constexpr int kCharacterLimit = 32;
// Pauses of the animation, in milliseconds at the middle speed.
constexpr double kBetweenStrokes = 160;
constexpr double kBetweenCharacters = 900;
constexpr int kStripCell = 56;

struct ShownCharacter {
    char32_t code = 0;
    bool hasStrokes = false;
    std::vector<strokes::Stroke> strokes;
};

QString textOf(char32_t code)
{
    return QString::fromUcs4(&code, 1);
}

// Colours for files and the clipboard: ink on paper, whatever the theme.
strokedrawing::Colours paperColours()
{
    return {QColor(0x10, 0x10, 0x10), QColor(0xC0, 0x20, 0x20), QColor(), QColor(0xA0, 0xA0, 0xA0),
            QColor(0x20, 0x50, 0xC0)};
}

strokedrawing::Colours paletteColours(const QPalette& palette)
{
    QColor ghost = palette.color(QPalette::WindowText);
    ghost.setAlphaF(0.13f);
    QColor grid = palette.color(QPalette::WindowText);
    grid.setAlphaF(0.4f);
    return {palette.color(QPalette::WindowText), palette.color(QPalette::Highlight), ghost, grid,
            palette.color(QPalette::Link)};
}

class StrokePanel;

class Canvas : public QWidget {
public:
    explicit Canvas(StrokePanel* panel);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    StrokePanel* panel;
};

class Strip : public QWidget {
public:
    explicit Strip(StrokePanel* panel);
    void refit();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    StrokePanel* panel;
};

class StrokePanel : public QWidget {
public:
    StrokePanel();

    void showText(const QString& text);
    StrokeOrderState state() const;
    const ShownCharacter* shown() const
    {
        return current < int(characters.size()) ? &characters[std::size_t(current)] : nullptr;
    }
    int strokeCount() const
    {
        const ShownCharacter* c = shown();
        return c && c->hasStrokes ? int(c->strokes.size()) : -1;
    }
    bool saveStrip(const QString& path) const;

    std::vector<ShownCharacter> characters;
    int current = 0;
    int done = 0;        // strokes written completely
    double progress = 0; // of the stroke being written, 0 to 1
    bool playing = false;
    QString emptyReason;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void play(bool on);
    void replay();
    void step(int direction);
    void tick();
    void showCharacter(int index);
    void refresh();
    void copyStrip() const;
    void saveStripAs(const QString& suffix);
    double speedFactor() const { return std::pow(1.35, speed->value() - 5); }

    Canvas* canvas;
    Strip* strip;
    QLabel* caption;
    QLabel* stepLabel;
    QSlider* speed;
    QTimer timer;
    QElapsedTimer clock;
    double wait = 0; // milliseconds before the animation goes on
};

Canvas::Canvas(StrokePanel* p) : QWidget(p), panel(p)
{
    setObjectName(QStringLiteral("strokeCanvas"));
    setMinimumSize(240, 240);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void Canvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const double side = std::min(width(), height()) - 24.0;
    const QRectF box((width() - side) / 2, (height() - side) / 2, side, side);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, palette().color(QPalette::Text));
    const strokedrawing::Colours c = paletteColours(colours);
    strokedrawing::drawGrid(painter, box, c.grid);
    const ShownCharacter* shown = panel->shown();
    if (!shown || !shown->hasStrokes) {
        // Said plainly, in the grid where the strokes would be.
        painter.setPen(palette().color(QPalette::Text));
        QFont font = painter.font();
        font.setPixelSize(std::max(12, int(side / 18)));
        painter.setFont(font);
        const QString text = shown
                                 ? QStringLiteral("No stroke order for %1").arg(textOf(shown->code))
                                 : panel->emptyReason;
        painter.drawText(box.adjusted(side / 10, 0, -side / 10, 0),
                         Qt::AlignCenter | Qt::TextWordWrap, text);
        return;
    }
    strokedrawing::drawCharacter(painter, box, shown->strokes, panel->done, panel->progress, c,
                                 true);
}

Strip::Strip(StrokePanel* p) : QWidget(p), panel(p)
{
    setObjectName(QStringLiteral("stepStrip"));
}

void Strip::refit()
{
    const int n = std::max(1, panel->strokeCount());
    const QSizeF size = strokedrawing::stepStripSize(std::size_t(n), kStripCell, kStripCell / 8.0);
    setFixedSize(int(std::ceil(size.width())) + 16, kStripCell + 16);
    update();
}

void Strip::paintEvent(QPaintEvent*)
{
    const ShownCharacter* shown = panel->shown();
    if (!shown || !shown->hasStrokes)
        return;
    QPainter painter(this);
    strokedrawing::drawStepStrip(painter, QPointF(8, 8), shown->strokes, kStripCell,
                                 kStripCell / 8.0, paletteColours(palette()));
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text,
                        const QString& tip)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    // The keys belong to the animation: Space must not press a button.
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

StrokePanel::StrokePanel()
{
    setWindowTitle(QStringLiteral("Stroke Order \u2014 Tavi"));
    setProperty("windowKind", QStringLiteral("document"));
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    caption = new QLabel(this);
    caption->setObjectName(QStringLiteral("strokeCaption"));
    QFont big = caption->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    caption->setFont(big);
    stepLabel = new QLabel(this);
    stepLabel->setObjectName(QStringLiteral("strokeStep"));
    auto* top = new QHBoxLayout;
    top->addWidget(caption, 1);
    top->addWidget(stepLabel);
    layout->addLayout(top);
    canvas = new Canvas(this);
    layout->addWidget(canvas, 1);

    auto* controls = new QHBoxLayout;
    auto* replayButton = makeButton(this, QStringLiteral("replayButton"), QStringLiteral("Replay"),
                                    QStringLiteral("Write the characters again from the first "
                                                   "stroke (Home); Space pauses, Left and Right "
                                                   "step"));
    speed = new QSlider(Qt::Horizontal, this);
    speed->setObjectName(QStringLiteral("speed"));
    speed->setRange(1, 9);
    speed->setValue(5);
    speed->setFocusPolicy(Qt::NoFocus);
    speed->setToolTip(QStringLiteral("How fast the strokes are written (+ and -)"));
    controls->addWidget(replayButton);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("Speed:"), this));
    controls->addWidget(speed, 1);
    layout->addLayout(controls);

    auto* stripButtons = new QHBoxLayout;
    auto* copyButton = makeButton(this, QStringLiteral("copyStripButton"), QStringLiteral("Copy"),
                                  QStringLiteral("Copy the steps as a picture"));
    auto* pngButton =
        makeButton(this, QStringLiteral("savePngButton"), QStringLiteral("Save as PNG…"),
                   QStringLiteral("Save the steps as a PNG picture"));
    auto* svgButton =
        makeButton(this, QStringLiteral("saveSvgButton"), QStringLiteral("Save as SVG…"),
                   QStringLiteral("Save the steps as an SVG drawing"));
    stripButtons->addWidget(new QLabel(QStringLiteral("Steps:"), this));
    stripButtons->addStretch(1);
    stripButtons->addWidget(copyButton);
    stripButtons->addWidget(pngButton);
    stripButtons->addWidget(svgButton);
    layout->addLayout(stripButtons);
    auto* scroll = new QScrollArea(this);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(false);
    scroll->setFixedHeight(kStripCell + 16 + scroll->horizontalScrollBar()->sizeHint().height());
    strip = new Strip(this);
    scroll->setWidget(strip);
    layout->addWidget(scroll);
    resize(460, 680);

    connect(replayButton, &QPushButton::clicked, this, [this] { replay(); });
    connect(copyButton, &QPushButton::clicked, this, [this] { copyStrip(); });
    connect(pngButton, &QPushButton::clicked, this, [this] { saveStripAs(QStringLiteral("png")); });
    connect(svgButton, &QPushButton::clicked, this, [this] { saveStripAs(QStringLiteral("svg")); });
    timer.setInterval(16);
    connect(&timer, &QTimer::timeout, this, [this] { tick(); });

    // Escape closes the window, as it closes a dialog.
    auto* closeWindow = new QAction(this);
    closeWindow->setShortcut(QKeySequence(Qt::Key_Escape));
    closeWindow->setShortcutContext(Qt::WindowShortcut);
    connect(closeWindow, &QAction::triggered, this, &QWidget::close);
    addAction(closeWindow);
}

void StrokePanel::showText(const QString& text)
{
    std::vector<ShownCharacter> fresh;
    for (char32_t code : text.toUcs4()) {
        if (QChar::script(code) != QChar::Script_Han)
            continue;
        if (int(fresh.size()) == kCharacterLimit)
            break;
        ShownCharacter c;
        c.code = code;
        c.hasStrokes = strokes::programStrokesOf(code, &c.strokes) && !c.strokes.empty();
        fresh.push_back(std::move(c));
    }
    // The quick look-up shows its text again when a pop-up changes a field:
    // the same characters go on as they were.
    const bool same = !characters.empty() &&
                      std::equal(fresh.begin(), fresh.end(), characters.begin(), characters.end(),
                                 [](const ShownCharacter& a, const ShownCharacter& b) {
                                     return a.code == b.code;
                                 });
    if (same)
        return;
    characters = std::move(fresh);
    emptyReason =
        text.trimmed().isEmpty()
            ? QStringLiteral("Look up a character to see it written")
            : QStringLiteral("No Chinese character in \u201C%1\u201D").arg(text.trimmed().left(20));
    replay();
}

void StrokePanel::replay()
{
    showCharacter(0);
    play(true);
}

void StrokePanel::showCharacter(int index)
{
    current = std::clamp(index, 0, std::max(0, int(characters.size()) - 1));
    done = 0;
    progress = 0;
    wait = 0;
    strip->refit();
    refresh();
}

void StrokePanel::play(bool on)
{
    playing = on && !characters.empty();
    if (playing) {
        clock.restart();
        timer.start();
    } else {
        timer.stop();
    }
}

void StrokePanel::tick()
{
    const double elapsed = double(clock.restart());
    if (wait > 0) {
        wait -= elapsed * speedFactor();
        return;
    }
    const int n = strokeCount();
    if (n < 0 || done >= n) {
        // Past the character: the next one, or the end.
        if (current + 1 < int(characters.size())) {
            showCharacter(current + 1);
            wait = kBetweenStrokes;
        } else {
            play(false);
            refresh();
        }
        return;
    }
    const strokes::Stroke& s = shown()->strokes[std::size_t(done)];
    // About 0.7 s for a long stroke at the middle speed.
    const double unitsPerMs = 1.0 * speedFactor();
    progress += elapsed * unitsPerMs / std::max(80.0, strokedrawing::medianLength(s));
    if (progress >= 1) {
        progress = 0;
        ++done;
        wait = done == n ? kBetweenCharacters : kBetweenStrokes;
    }
    refresh();
}

void StrokePanel::step(int direction)
{
    play(false);
    const int n = strokeCount();
    if (direction > 0) {
        if (n >= 0 && done < n)
            ++done;
        else if (current + 1 < int(characters.size()))
            showCharacter(current + 1);
    } else {
        if (progress > 0)
            ; // back to the start of the stroke being written
        else if (done > 0)
            --done;
        else if (current > 0) {
            showCharacter(current - 1);
            done = std::max(0, strokeCount());
        }
    }
    progress = 0;
    refresh();
}

void StrokePanel::refresh()
{
    const ShownCharacter* c = shown();
    const int n = strokeCount();
    QString text;
    if (!c) {
        text = QStringLiteral("No character");
    } else if (n < 0) {
        text = QStringLiteral("%1 \u2014 no stroke order data").arg(textOf(c->code));
    } else {
        text = QStringLiteral("%1 \u2014 %2 %3")
                   .arg(textOf(c->code))
                   .arg(n)
                   .arg(n == 1 ? QStringLiteral("stroke") : QStringLiteral("strokes"));
    }
    if (characters.size() > 1)
        text += QStringLiteral("   (%1 of %2)").arg(current + 1).arg(characters.size());
    caption->setText(text);
    if (n > 0) {
        const int writing = std::min(n, done + (progress > 0 ? 1 : 0));
        stepLabel->setText(
            done >= n && !playing
                ? QStringLiteral("All %1 written").arg(n)
                : QStringLiteral("Stroke %1 of %2").arg(std::max(writing, 0)).arg(n));
    } else {
        stepLabel->clear();
    }
    canvas->update();
}

StrokeOrderState StrokePanel::state() const
{
    StrokeOrderState s;
    for (const ShownCharacter& c : characters)
        s.characters += textOf(c.code);
    s.current = current;
    s.strokes = strokeCount();
    s.written = done;
    s.playing = playing;
    return s;
}

void StrokePanel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space: {
        const bool atEnd =
            current + 1 >= int(characters.size()) && (strokeCount() < 0 || done >= strokeCount());
        if (atEnd)
            replay();
        else
            play(!playing);
        refresh();
        return;
    }
    case Qt::Key_Right:
        step(1);
        return;
    case Qt::Key_Left:
        step(-1);
        return;
    case Qt::Key_Home:
        replay();
        return;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        speed->setValue(speed->value() + 1);
        return;
    case Qt::Key_Minus:
        speed->setValue(speed->value() - 1);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool StrokePanel::saveStrip(const QString& path) const
{
    const ShownCharacter* c = shown();
    if (!c || !c->hasStrokes)
        return false;
    QByteArray bytes;
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        bytes =
            strokedrawing::stepStripSvg(c->strokes, 128, paperColours(),
                                        QStringLiteral("Stroke order of %1").arg(textOf(c->code)));
    } else {
        const QImage image =
            strokedrawing::stepStripImage(c->strokes, 128, paperColours(), Qt::white);
        QSaveFile file(path);
        return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
    }
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

void StrokePanel::copyStrip() const
{
    const ShownCharacter* c = shown();
    if (!c || !c->hasStrokes)
        return;
    auto* data = new QMimeData;
    data->setImageData(strokedrawing::stepStripImage(c->strokes, 96, paperColours(), Qt::white));
    data->setData(
        QStringLiteral("image/svg+xml"),
        strokedrawing::stepStripSvg(c->strokes, 96, paperColours(),
                                    QStringLiteral("Stroke order of %1").arg(textOf(c->code))));
    QApplication::clipboard()->setMimeData(data);
}

void StrokePanel::saveStripAs(const QString& suffix)
{
    const ShownCharacter* c = shown();
    if (!c || !c->hasStrokes)
        return;
    NavDialogCreationOptions options;
    NavGetDefaultDialogCreationOptions(&options);
    options.clientName = QStringLiteral("Tavi");
    options.windowTitle = QStringLiteral("Tavi");
    options.saveFileName = QStringLiteral("Stroke order of %1.%2").arg(textOf(c->code), suffix);
    options.message = QStringLiteral("Save the steps of %1 as:").arg(textOf(c->code));
    options.modality = kWindowModalityWindowModal;
    options.parentWindow = FindMyWindow(kStrokeOrderWindowTag, false);
    NavDialogRef dialog = nullptr;
    if (NavCreatePutFileDialog(&options, 0, 0, nullptr, nullptr, &dialog) != noErr)
        return;
    NavDialogRun(dialog);
    NavReplyRecord reply;
    const bool chosen = NavDialogGetUserAction(dialog) == kNavUserActionSaveAs &&
                        NavDialogGetReply(dialog, &reply) == noErr && reply.validRecord &&
                        !reply.selection.empty();
    QString path;
    if (chosen)
        path = QDir(reply.selection.front()).filePath(reply.saveFileName);
    if (chosen)
        NavDisposeReply(&reply);
    NavDialogDispose(dialog);
    if (!path.isEmpty() && !saveStrip(path))
        minorError("Error", "Could not save the steps of the stroke order", ioErr);
}

StrokePanel* panelOf(WindowRef window)
{
    return window ? dynamic_cast<StrokePanel*>(GetWindowWidget(window)) : nullptr;
}

} // namespace

void createStrokeOrderWindow(const QString& text)
{
    if (WindowRef window = FindMyWindow(kStrokeOrderWindowTag, true)) {
        panelOf(window)->showText(text);
        return;
    }
    auto* panel = new StrokePanel;
    WindowRef window = nullptr;
    if (CreateWindowFromWidget(panel, &window) != noErr) {
        delete panel;
        return;
    }
    SetWRefCon(window, SRefCon(kStrokeOrderWindowTag));
    // The menus and their shortcuts work while this window is in front.
    if (WindowWantsMenuBar(window))
        AttachMenuBarToWindow(window);
    panel->showText(text);
    ShowWindow(window);
    panel->setFocus();
}

void showStrokeOrderOf(const QString& text)
{
    if (StrokePanel* panel = panelOf(FindMyWindow(kStrokeOrderWindowTag, false)))
        panel->showText(text);
}

StrokeOrderState strokeOrderState(WindowRef window)
{
    const StrokePanel* panel = panelOf(window);
    return panel ? panel->state() : StrokeOrderState{};
}

bool saveStepStrip(WindowRef window, const QString& path)
{
    const StrokePanel* panel = panelOf(window);
    return panel && panel->saveStrip(path);
}
