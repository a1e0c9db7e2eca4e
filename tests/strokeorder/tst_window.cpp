// The stroke order window driven by its keys on the shipped data, following
// the quick look-up, its strip of steps as PNG and SVG, and the practice
// sheet rendered to PNG with pdftoppm.

#include "app/globals.h"
#include "app/servicesbridge.h"
#include "app/windowlookup.h"
#include "platform/menubar.h"
#include "platform/menus.h"
#include "platform/nib.h"
#include "platform/windows.h"
#include "program/appcommands.h"
#include "store/dictionary.h"
#include "store/strokes.h"
#include "tests/floating/floatingtest.h"
#include "windows/floating/floatingwindow.h"
#include "windows/strokeorder/practicesheet.h"
#include "windows/strokeorder/strokeorderwindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// Read by LeakSanitizer when the program starts. Fontconfig keeps the font
// patterns that choosing the CJK face makes until the process ends.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace {

const QString kShare = QStringLiteral(TAVI_BUILD_SHARE_DIR);

WindowRef strokeWindow()
{
    return FindMyWindow(kStrokeOrderWindowTag, false);
}

QWidget* panel()
{
    return strokeWindow() ? GetWindowWidget(strokeWindow()) : nullptr;
}

QString caption()
{
    return panel()->findChild<QLabel*>(QStringLiteral("strokeCaption"))->text();
}

void press(Qt::Key key, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QTest::keyClick(QApplication::focusWidget(), key);
}

void showInFloatingWindow(const QString& text)
{
    WindowRef floating = FindMyWindow(kFloatingWindowTag, false);
    if (const characterEntry* e =
            text.toUcs4().size() == 1 ? dict.lookup(long(text.toUcs4()[0])) : nullptr) {
        loadFloatingWindowData(floating, SInt32(e->index));
        return;
    }
    const auto units = ftest::unitsOf(text);
    loadFloatingWindowData(floating, units.data(), SInt32(units.size()));
}

// Pixels of the image inside the rectangle (fractions of the image) that
// the test accepts.
template <typename Test>
int countPixels(const QImage& image, const QRectF& fraction, Test test)
{
    const QRect r(int(fraction.x() * image.width()), int(fraction.y() * image.height()),
                  int(fraction.width() * image.width()), int(fraction.height() * image.height()));
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += test(QColor(image.pixel(x, y))) ? 1 : 0;
    return n;
}

} // namespace

class StrokeOrderTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ftest::AlertRecorder> recorder;

private slots:
    void initTestCase()
    {
        const QByteArray path = (kShare + QStringLiteral("/dictionary.txt")).toLocal8Bit();
        QVERIFY(dict.loadIndex(path.constData()));
        dict.load(path.constData(), nullptr);
        ftest::resetGlobals();
        QVERIFY(ftest::openResources());
        QCOMPARE(SetMenuBarFromNib(nibRef, QStringLiteral("MenuBar")), noErr);
        recorder = std::make_unique<ftest::AlertRecorder>();
        ftest::installApplicationHandler();
    }

    void cleanupTestCase()
    {
        ftest::disposeAllWindows();
        recorder.reset();
    }

    void theMenuOpensTheWindowOnTheQuickLookUpsCharacter()
    {
        sendApplicationCommand("LWIN"_4cc);
        showInFloatingWindow(QStringLiteral("水"));
        QAction* action = wtest::menuItem("STRK"_4cc);
        QVERIFY(action);
        QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+S")));
        QVERIFY(wtest::menuItem("PRAC"_4cc));
        action->trigger();
        QVERIFY(panel());
        QCOMPARE(panel()->windowTitle(), QStringLiteral("Stroke Order \u2014 Tavi"));
        const StrokeOrderState s = strokeOrderState(strokeWindow());
        QCOMPARE(s.characters, QStringLiteral("水"));
        QCOMPARE(s.strokes, 4);
        QVERIFY(s.playing);
        QVERIFY(caption().contains(QStringLiteral("4 strokes")));
    }

    void keysPauseStepAndReplay()
    {
        panel()->activateWindow();
        panel()->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(panel()));
        auto state = [] { return strokeOrderState(strokeWindow()); };
        press(Qt::Key_Home); // from the first stroke
        QVERIFY(state().playing);
        press(Qt::Key_Space);
        QVERIFY(!state().playing);
        const int paused = state().written;
        press(Qt::Key_Space);
        QVERIFY(state().playing);
        QVERIFY(state().written >= paused);

        press(Qt::Key_Home);
        press(Qt::Key_Right);
        QVERIFY(!state().playing);
        QCOMPARE(state().written, 1);
        press(Qt::Key_Right, 2);
        QCOMPARE(state().written, 3);
        press(Qt::Key_Left);
        QCOMPARE(state().written, 2);
        // The quick look-up showing the same character again leaves it be.
        showInFloatingWindow(QStringLiteral("水"));
        QCOMPARE(state().written, 2);
        press(Qt::Key_Left, 5);
        QCOMPARE(state().written, 0);
        press(Qt::Key_Right, 9); // one character: it stops at its last stroke
        QCOMPARE(state().written, 4);
        QCOMPARE(panel()->findChild<QLabel*>(QStringLiteral("strokeStep"))->text(),
                 QStringLiteral("All 4 written"));
        // Space at the end writes it again.
        press(Qt::Key_Space);
        QVERIFY(state().playing);
        QCOMPARE(state().written, 0);
        press(Qt::Key_Space);
    }

    void theWindowFollowsTheQuickLookUp_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("characters");
        QTest::addColumn<QList<int>>("strokes"); // each character's count; -1 for no data
        const auto row = [](const char* name, const char* text, const char* shown,
                            const QList<int>& strokes) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(shown) << strokes;
        };
        row("one character", "一", "一", {1});
        row("traditional", "國", "國", {11});
        row("a word, character by character", "中文", "中文", {4, 4});
        row("no stroke data", "\U00020000", "\U00020000", {-1});
        row("no Chinese character", "water", "", {});
    }
    void theWindowFollowsTheQuickLookUp()
    {
        QFETCH(QString, text);
        QFETCH(QString, characters);
        QFETCH(QList<int>, strokes);
        showInFloatingWindow(text);
        QCOMPARE(strokeOrderState(strokeWindow()).characters, characters);
        panel()->setFocus();
        for (int i = 0; i < strokes.size(); ++i) {
            const StrokeOrderState s = strokeOrderState(strokeWindow());
            QCOMPARE(s.current, i);
            QCOMPARE(s.strokes, strokes[i]);
            if (strokes[i] < 0)
                QVERIFY(caption().contains(QStringLiteral("no stroke order data")));
            // Right through its strokes, and on to the next character.
            press(Qt::Key_Right, std::max(strokes[i], 0) + 1);
        }
        if (strokes.size() > 1) {
            // Left from a character's start goes back to the whole of the one before.
            press(Qt::Key_Home);
            press(Qt::Key_Right, strokes[0] + 1);
            QCOMPARE(strokeOrderState(strokeWindow()).current, 1);
            press(Qt::Key_Left);
            QCOMPARE(strokeOrderState(strokeWindow()).current, 0);
            QCOMPARE(strokeOrderState(strokeWindow()).written, strokes[0]);
        }
        QVERIFY(recorder->recorded->requests.empty());
    }

    void theStepStripIsCopiedAndSavedAsPngAndSvg()
    {
        showInFloatingWindow(QStringLiteral("水"));
        QTemporaryDir dir;
        const QString png = dir.filePath(QStringLiteral("water.png"));
        const QString svg = dir.filePath(QStringLiteral("water.svg"));
        QVERIFY(saveStepStrip(strokeWindow(), png));
        QVERIFY(saveStepStrip(strokeWindow(), svg));
        QVERIFY(!saveStepStrip(strokeWindow(), dir.filePath(QStringLiteral("no/such/x.png"))));
        const QImage image(png);
        QVERIFY(!image.isNull());
        // Four frames side by side.
        QVERIFY(image.width() > 3 * image.height() && image.width() < 5 * image.height());
        QFile file(svg);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QCOMPARE(text.count("<g>"), 4);
        QCOMPARE(text.count("fill=\"#c02020\""), 4);            // each frame's newest stroke
        QCOMPARE(text.count("<path d=\"M"), 1 + 2 + 3 + 4 + 4); // strokes and grids

        QApplication::clipboard()->clear();
        panel()->findChild<QPushButton*>(QStringLiteral("copyStripButton"))->click();
        const QMimeData* copied = QApplication::clipboard()->mimeData();
        QVERIFY(copied && copied->hasImage());
        QVERIFY(copied->data(QStringLiteral("image/svg+xml")).contains("<svg"));

        showInFloatingWindow(QStringLiteral("\U00020000"));
        QVERIFY(!saveStepStrip(strokeWindow(), png + QStringLiteral("2")));
    }

    void thePracticeSheetShowsTheGridAndTheCharacter_data()
    {
        QTest::addColumn<bool>("letter");
        QTest::newRow("A4") << false;
        QTest::newRow("Letter") << true;
    }
    void thePracticeSheetShowsTheGridAndTheCharacter()
    {
        QFETCH(bool, letter);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("sheet.pdf"));
        std::vector<PracticeItem> items{
            {QStringLiteral("水"), QStringLiteral("shuǐ"), QStringLiteral("water")}};
        for (const char* c : {"我", "國", "龍", "學", "寫", "字", "書"})
            items.push_back({QString::fromUtf8(c), QString(), QString()});
        PracticeSheetLayout layout;
        QString why;
        QVERIFY2(writePracticeSheet(pdf, items, letter ? PaperSize::Letter : PaperSize::A4, &why,
                                    &layout),
                 qPrintable(why));
        QVERIFY(layout.pages >= 2);
        QProcess pdftoppm;
        pdftoppm.start(QStringLiteral("pdftoppm"),
                       {QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-f"),
                        QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                        QStringLiteral("-png"), pdf, dir.filePath(QStringLiteral("page"))});
        QVERIFY2(pdftoppm.waitForFinished(60000) && pdftoppm.exitCode() == 0,
                 pdftoppm.readAllStandardError().constData());
        const QStringList pages =
            QDir(dir.path()).entryList({QStringLiteral("page*.png")}, QDir::Files);
        QCOMPARE(pages.size(), 1);
        const QImage page(dir.filePath(pages.front()));
        QVERIFY(!page.isNull());
        // 210 x 297 mm, or 8.5 x 11 inches.
        const double ratio = double(page.height()) / page.width();
        QVERIFY(std::abs(ratio - (letter ? 11 / 8.5 : 297.0 / 210)) < 0.01);

        auto grey = [](const QColor& c) {
            return c.value() > 120 && c.value() < 235 && c.saturation() < 30;
        };
        auto dark = [](const QColor& c) { return c.value() < 90; };
        auto red = [](const QColor& c) { return c.red() > 130 && c.green() < 90 && c.blue() < 90; };
        // The first frame of the strip: 水's first stroke, the newest, in red.
        QVERIFY(countPixels(page, layout.firstStep, red) > 5);
        // The square to trace: its grid and the light character.
        const QRectF inner = layout.firstTrace.adjusted(
            layout.firstTrace.width() * 0.1, layout.firstTrace.height() * 0.1,
            -layout.firstTrace.width() * 0.1, -layout.firstTrace.height() * 0.1);
        QVERIFY(countPixels(page, inner, grey) > 40);
        QCOMPARE(countPixels(page, inner, dark), 0);
        // An empty square: its grid, and nothing in its quarters.
        const QRectF quarter(layout.firstBlank.x() + layout.firstBlank.width() * 0.1,
                             layout.firstBlank.y() + layout.firstBlank.height() * 0.1,
                             layout.firstBlank.width() * 0.3, layout.firstBlank.height() * 0.3);
        QCOMPARE(countPixels(page, quarter, [](const QColor& c) { return c.value() < 250; }), 0);
        QVERIFY(countPixels(page, layout.firstBlank, grey) > 20);
        // The character beside its reading, in ink.
        const QRectF header(layout.firstTrace.x(),
                            layout.firstStep.y() - layout.firstTrace.height(),
                            layout.firstTrace.width(), layout.firstTrace.height() * 0.9);
        QVERIFY(countPixels(page, header, dark) > 30);
    }

    void aSheetThatCannotBeWrittenKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("sheet.pdf"));
        QFile old(pdf);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        QString why;
        QVERIFY(!writePracticeSheet(pdf, {}, PaperSize::A4, &why));
        QVERIFY(!why.isEmpty());
        QVERIFY(!writePracticeSheet(dir.filePath(QStringLiteral("no/such/sheet.pdf")),
                                    {{QStringLiteral("水"), QString(), QString()}}, PaperSize::A4,
                                    &why));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
    }
};

QTEST_MAIN(StrokeOrderTest)
#include "tst_window.moc"
