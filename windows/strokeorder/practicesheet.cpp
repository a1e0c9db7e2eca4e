#include "windows/strokeorder/practicesheet.h"

#include "app/globals.h"
#include "app/hanfont.h"
#include "app/windowlookup.h"
#include "platform/savedialog.h"
#include "store/strokes.h"
#include "windows/strokeorder/strokedrawing.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPageSize>
#include <QPushButton>
#include <QPainter>
#include <QPdfWriter>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// Page units are points (1/72 inch).
constexpr double kMargin = 42;
constexpr double kHeader = 44;
constexpr double kStepCell = 32;
constexpr double kStepGap = 5;
constexpr double kSquare = 46;
constexpr int kPracticeRows = 2;
constexpr int kTraced = 4;
constexpr double kSpacing = 22;

const QColor kInk(0x10, 0x10, 0x10);
const QColor kNewest(0xB0, 0x20, 0x20);
const QColor kGrid(0x99, 0x99, 0x99);
const QColor kTrace(0xC8, 0xC8, 0xC8);

// A character in a square from its font, for characters without strokes.
void drawGlyph(QPainter& painter, const QRectF& square, const QString& character,
               const QColor& colour)
{
    painter.save();
    QFont font = hanCharacterFont(std::max(1, int(square.height() * 0.8)));
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(square, Qt::AlignCenter, character);
    painter.restore();
}

// One character's block; its height.
double blockHeight(std::size_t strokeCount, double width)
{
    const int perRow = std::max(1, int((width + kStepGap) / (kStepCell + kStepGap)));
    const int stepRows = strokeCount == 0 ? 0 : int((strokeCount + perRow - 1) / perRow);
    return kHeader + stepRows * (kStepCell + kStepGap) + 6 + kPracticeRows * kSquare;
}

void drawBlock(QPainter& painter, const PracticeItem& item,
               const std::vector<strokes::Stroke>& strokes, double top, double width,
               PracticeSheetLayout* layout, const QSizeF& page)
{
    auto fraction = [&](const QRectF& r) {
        return QRectF(r.x() / page.width(), r.y() / page.height(), r.width() / page.width(),
                      r.height() / page.height());
    };
    // The character, its reading and meaning.
    const QRectF big(kMargin, top, kHeader - 4, kHeader - 4);
    drawGlyph(painter, big, item.character, kInk);
    painter.save();
    QFont font = painter.font();
    font.setPointSizeF(13);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(kInk);
    const double textLeft = kMargin + kHeader + 6;
    const QString count =
        strokes.empty()
            ? QStringLiteral("no stroke order data")
            : QStringLiteral("%1 %2")
                  .arg(strokes.size())
                  .arg(strokes.size() == 1 ? QStringLiteral("stroke") : QStringLiteral("strokes"));
    painter.drawText(QRectF(textLeft, top, width - kHeader - 6, 18), Qt::AlignLeft | Qt::AlignTop,
                     item.reading.isEmpty() ? count
                                            : item.reading + QStringLiteral("  ·  ") + count);
    font.setBold(false);
    font.setPointSizeF(10);
    painter.setFont(font);
    const QString meaning =
        QFontMetricsF(font).elidedText(item.meaning, Qt::ElideRight, (width - kHeader - 6) * 2);
    painter.drawText(QRectF(textLeft, top + 18, width - kHeader - 6, kHeader - 18),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, meaning);
    painter.restore();

    // The steps, wrapped into rows.
    double y = top + kHeader;
    const int perRow = std::max(1, int((width + kStepGap) / (kStepCell + kStepGap)));
    for (std::size_t k = 0; k < strokes.size(); ++k) {
        const int column = int(k) % perRow;
        if (k > 0 && column == 0)
            y += kStepCell + kStepGap;
        const QRectF box(kMargin + column * (kStepCell + kStepGap), y, kStepCell, kStepCell);
        strokedrawing::drawGrid(painter, box, kGrid);
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        for (std::size_t i = 0; i < k; ++i)
            painter.fillPath(strokedrawing::outlinePath(strokes[i], box), kInk);
        painter.fillPath(strokedrawing::outlinePath(strokes[k], box), kNewest);
        painter.restore();
        if (layout && k == 0)
            layout->firstStep = fraction(box);
    }
    if (!strokes.empty())
        y += kStepCell + kStepGap;
    y += 6;

    // The practice squares: the first few to trace over, then empty ones.
    const int perLine = std::max(1, int(width / kSquare));
    for (int row = 0; row < kPracticeRows; ++row) {
        for (int column = 0; column < perLine; ++column) {
            const QRectF square(kMargin + column * kSquare, y + row * kSquare, kSquare, kSquare);
            strokedrawing::drawGrid(painter, square, kGrid);
            const bool traced = row == 0 && column < kTraced;
            if (traced) {
                painter.save();
                painter.setRenderHint(QPainter::Antialiasing);
                if (strokes.empty())
                    drawGlyph(painter, square, item.character, kTrace);
                for (const strokes::Stroke& s : strokes)
                    painter.fillPath(strokedrawing::outlinePath(s, square), kTrace);
                painter.restore();
            }
            if (layout && row == 0 && column == 0)
                layout->firstTrace = fraction(square);
            if (layout && row == 0 && column == kTraced)
                layout->firstBlank = fraction(square);
        }
    }
}

} // namespace

bool writePracticeSheet(const QString& path, const std::vector<PracticeItem>& items,
                        PaperSize paper, QString* why, PracticeSheetLayout* layout)
{
    auto fail = [&](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (items.empty())
        return fail(QStringLiteral("there is no character to print"));
    // Written beside the target and moved into place, so that a failure
    // leaves any earlier sheet as it was.
    const QString partial = path + QStringLiteral(".part");
    {
        QPdfWriter writer(partial);
        writer.setPageSize(QPageSize(paper == PaperSize::A4 ? QPageSize::A4 : QPageSize::Letter));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        writer.setTitle(QStringLiteral("Tavi practice sheet"));
        writer.setCreator(QStringLiteral("Tavi"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            QFile::remove(partial);
            return fail(QStringLiteral("the file cannot be written"));
        }
        const QSizeF page = writer.pageLayout().fullRectPoints().size();
        const double width = page.width() - 2 * kMargin;
        double y = kMargin;
        int pages = 1;
        bool first = true;
        for (const PracticeItem& item : items) {
            std::vector<strokes::Stroke> strokes;
            const QList<uint> codes = item.character.toUcs4();
            if (codes.size() == 1)
                strokes::programStrokesOf(char32_t(codes.front()), &strokes);
            const double height = blockHeight(strokes.size(), width);
            if (y + height > page.height() - kMargin && y > kMargin) {
                writer.newPage();
                ++pages;
                y = kMargin;
            }
            drawBlock(painter, item, strokes, y, width, first ? layout : nullptr, page);
            first = false;
            y += height + kSpacing;
        }
        painter.end();
        if (layout)
            layout->pages = pages;
    }
    // The finished sheet replaces an earlier one only now.
    if ((QFile::exists(path) && !QFile::remove(path)) || !QFile::rename(partial, path)) {
        QFile::remove(partial);
        return fail(QStringLiteral("the file cannot be put in place"));
    }
    return true;
}

void printPracticeSheet(const std::vector<PracticeItem>& shown,
                        const std::vector<PracticeItem>& history)
{
    if (shown.empty() && history.empty()) {
        minorError("Error", "Look up a character first: there is nothing to print.", 0);
        return;
    }
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Print Practice Sheet \u2014 Tavi"));
    auto* layout = new QVBoxLayout(&dialog);
    QString shownText;
    for (const PracticeItem& item : shown)
        shownText += item.character;
    auto* current =
        new QRadioButton(shown.empty() ? QStringLiteral("The character shown (none)")
                                       : QStringLiteral("The character shown: %1").arg(shownText),
                         &dialog);
    auto* all =
        new QRadioButton(QStringLiteral("The history: %1 characters").arg(history.size()), &dialog);
    current->setEnabled(!shown.empty());
    all->setEnabled(!history.empty());
    (shown.empty() ? all : current)->setChecked(true);
    auto* form = new QFormLayout;
    auto* paper = new QComboBox(&dialog);
    paper->addItems({QStringLiteral("A4"), QStringLiteral("Letter")});
    paper->setCurrentIndex(QLocale().measurementSystem() == QLocale::ImperialUSSystem ? 1 : 0);
    form->addRow(QStringLiteral("Paper:"), paper);
    layout->addWidget(new QLabel(QStringLiteral("Print a practice sheet for"), &dialog));
    layout->addWidget(current);
    layout->addWidget(all);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Save as PDF…"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;

    NavDialogCreationOptions options;
    NavGetDefaultDialogCreationOptions(&options);
    options.clientName = QStringLiteral("Tavi");
    options.windowTitle = QStringLiteral("Tavi");
    options.saveFileName = QStringLiteral("Tavi practice sheet.pdf");
    options.message = QStringLiteral("Save the practice sheet as:");
    NavDialogRef navigation = nullptr;
    if (NavCreatePutFileDialog(&options, 0, 0, nullptr, nullptr, &navigation) != noErr)
        return;
    NavDialogRun(navigation);
    NavReplyRecord reply;
    QString path;
    if (NavDialogGetUserAction(navigation) == kNavUserActionSaveAs &&
        NavDialogGetReply(navigation, &reply) == noErr) {
        if (reply.validRecord && !reply.selection.empty())
            path = QDir(reply.selection.front()).filePath(reply.saveFileName);
        NavDisposeReply(&reply);
    }
    NavDialogDispose(navigation);
    if (path.isEmpty())
        return;
    QString why;
    if (!writePracticeSheet(path, current->isChecked() ? shown : history,
                            paper->currentIndex() == 1 ? PaperSize::Letter : PaperSize::A4, &why))
        minorError(
            "Error",
            QStringLiteral("Could not save the practice sheet: %1").arg(why).toUtf8().constData(),
            ioErr);
}
