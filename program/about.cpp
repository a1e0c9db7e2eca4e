#include "program/about.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Every data set Tavi ships, with its licence. A data set added to the
// shipped dictionary gets a row here and a Files paragraph in the package's
// copyright file (resources/copyright).
struct DataSource {
    const char* what;
    const char* name;
    const char* holder;
    const char* licence;
};

constexpr DataSource kDataSources[] = {
    {"Characters, readings, definitions and radicals", "the Unicode Han Database (Unihan)",
     "Unicode, Inc.", "the Unicode License (Unicode-DFS-2016)"},
    {"Words, their readings and English senses", "CC-CEDICT (data of 2026-01-04)",
     "the CC-CEDICT contributors", "Creative Commons Attribution-ShareAlike 4.0 (CC BY-SA 4.0)"},
    {"Stroke order", "hanzi-writer-data 2.0.1 (from the Make Me a Hanzi project)",
     "Arphic Technology Co., Ltd.", "the Arphic Public License"},
    {"How common each word is", "the word counts of jieba's dictionary", "the jieba authors",
     "the MIT licence"},
};

const char kCopyright[] = "Copyright \xC2\xA9 2026 Quillon";

// The full licence texts, where the install put them.
QString copyrightFile()
{
    const QString path = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                         QStringLiteral("/../share/doc/tavi/copyright"));
    return QFileInfo::exists(path) ? path : QString();
}

} // namespace

const char* taviVersion()
{
    return TAVI_VERSION;
}

QString versionText()
{
    QString text = QStringLiteral("tavi %1\n%2\n")
                       .arg(QLatin1String(taviVersion()), QString::fromUtf8(kCopyright));
    text += QStringLiteral(
        "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
        "This is free software: you are free to change and redistribute it.\n"
        "There is NO WARRANTY, to the extent permitted by law.\n\n");
    for (const DataSource& source : kDataSources)
        text += QStringLiteral("%1:\n  %2, %3,\n  under %4.\n")
                    .arg(QString::fromUtf8(source.what), QString::fromUtf8(source.name),
                         QString::fromUtf8(source.holder), QString::fromUtf8(source.licence));
    return text;
}

QString helpText()
{
    return QStringLiteral(
        "Usage: tavi [OPTION]...\n"
        "Tavi, a dictionary of Chinese characters: opens the dictionary window, or\n"
        "brings the window of the Tavi already running to the front.\n"
        "\n"
        "  -h, --help     print this help and exit\n"
        "  -v, --version  print the version, the licence and the data's sources, and exit\n"
        "      --verbose  print a trace line for every step on standard output\n"
        "\n"
        "The options of every Qt program, such as -platform NAME, are accepted too.\n"
        "Other programs hand text to Tavi with tavi-service; see tavi(1) and\n"
        "tavi-service(1).\n");
}

void showAboutBox()
{
    static QPointer<QDialog> box;
    if (!box) {
        box = new QDialog;
        box->setWindowTitle(QStringLiteral("About Tavi"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setObjectName(QStringLiteral("AboutBox"));
        QString text = QStringLiteral("<h3>Tavi %1</h3>"
                                      "<p>A dictionary of Chinese characters.</p>"
                                      "<p>%2.<br>Tavi is free software under the GNU General "
                                      "Public License, version 3 or later. It comes with no "
                                      "warranty.</p><p><b>Data</b></p>")
                           .arg(QLatin1String(taviVersion()), QString::fromUtf8(kCopyright));
        for (const DataSource& source : kDataSources)
            text += QStringLiteral("<p>%1: %2, © %3, under %4. Tavi converts it into its "
                                   "own format.</p>")
                        .arg(QString::fromUtf8(source.what).toHtmlEscaped(),
                             QString::fromUtf8(source.name).toHtmlEscaped(),
                             QString::fromUtf8(source.holder).toHtmlEscaped(),
                             QString::fromUtf8(source.licence).toHtmlEscaped());
        const QString licences = copyrightFile();
        if (!licences.isEmpty())
            text += QStringLiteral("<p>The licences in full: %1</p>").arg(licences.toHtmlEscaped());

        auto* icon = new QLabel;
        const QIcon windowIcon = QGuiApplication::windowIcon();
        if (!windowIcon.isNull())
            icon->setPixmap(windowIcon.pixmap(64, 64, QIcon::Normal));
        icon->setAlignment(Qt::AlignTop);
        // The text scrolls, so that the box fits a short screen or a large
        // font; it reads as part of the window, not as a field.
        auto* about = new QTextBrowser;
        about->setObjectName(QStringLiteral("aboutText"));
        about->setFrameShape(QFrame::NoFrame);
        about->viewport()->setAutoFillBackground(false);
        about->setHtml(text);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
        QObject::connect(buttons, &QDialogButtonBox::rejected, box, &QDialog::close);
        auto* row = new QHBoxLayout;
        row->addWidget(icon);
        row->addWidget(about, 1);
        auto* layout = new QVBoxLayout(box);
        layout->addLayout(row, 1);
        layout->addWidget(buttons);

        // As wide as about 34 average characters of text, and as tall as the
        // text, up to what the screen has room for with a title bar.
        const int width = about->fontMetrics().averageCharWidth() * 34;
        about->document()->setTextWidth(width);
        about->setMinimumWidth(width + about->verticalScrollBar()->sizeHint().width());
        const QMargins margins = layout->contentsMargins();
        const int wanted = int(about->document()->size().height()) + margins.top() +
                           margins.bottom() + layout->spacing() + buttons->sizeHint().height();
        constexpr int kFrame = 48; // title bar and borders, unknown until shown
        box->resize(box->sizeHint().width(),
                    std::min(wanted, box->screen()->availableGeometry().height() - kFrame));
    }
    box->show();
    box->raise();
    box->activateWindow();
}
