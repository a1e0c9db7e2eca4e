// A short screen and a large font, as on a 1280x800 laptop at scale 2: the
// floating window keeps its reading, definition and button on the screen
// with a smaller character, and the dictionary window's list starts below
// its search controls at their full height; the About box scrolls.

#include "tests/floating/floatingtest.h"

#include "app/windowlookup.h"
#include "platform/controls.h"
#include "program/about.h"
#include "windows/dictionary/dictionarywindow.h"
#include "windows/floating/floatingwindow.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>

namespace {

QWidget* windowWidget(UInt32 tag)
{
    return GetWindowWidget(FindMyWindow(tag, false));
}

} // namespace

class ShortScreenTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup() { wtest::disposeAllWindows(); }
    void theFloatingWindowFitsWithASmallerCharacter();
    void theListStartsBelowTheTallerSearchControls();
    void theAboutBoxScrollsItsText();

private:
    QTemporaryDir home;
    std::unique_ptr<ftest::AlertRecorder> alerts;
};

void ShortScreenTest::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry().height(), 400);
    ftest::loadFixtureDictionary();
    QVERIFY(ftest::openResources());
    alerts = std::make_unique<ftest::AlertRecorder>();
    ftest::resetGlobals();
}

void ShortScreenTest::theFloatingWindowFitsWithASmallerCharacter()
{
    createFloatingWindow();
    QWidget* floating = windowWidget(kFloatingWindowTag);
    QVERIFY(floating && floating->isVisible());
    QVERIFY2(floating->height() <= 400, qPrintable(QString::number(floating->height())));
    auto* character = floating->findChild<QLabel*>(QStringLiteral("characterText"));
    QVERIFY(character->minimumHeight() < 170);
    // The character shrinks with its box, at most to half.
    const int size = character->font().pixelSize();
    QVERIFY2(size < 114 && size >= 57, qPrintable(QString::number(size)));
    // The definition keeps room to read in.
    QVERIFY(floating->findChild<QWidget*>(QStringLiteral("definitionScroll"))->height() >= 40);
}

void ShortScreenTest::theListStartsBelowTheTallerSearchControls()
{
    createDictionaryWindow();
    QWidget* top = windowWidget(kDictionaryWindowTag);
    QVERIFY(top && top->isVisible());
    auto* bar = top->findChild<QWidget*>(QStringLiteral("searchBar"));
    QVERIFY(bar->height() > 58); // an 18 point font needs more than the usual
    for (const char* name : {"searchField", "filterPopup", "scopeLabel", "resultCount"}) {
        auto* control = bar->findChild<QWidget*>(QLatin1String(name));
        QVERIFY2(control->height() >= control->minimumSizeHint().height(), name);
    }
    ControlRef pane = nullptr;
    GetControlByID(FindMyWindow(kDictionaryWindowTag, false), &kViewPaneID, &pane);
    const QWidget* split = GetControlWidget(pane);
    QVERIFY(split);
    const int barBottom = bar->mapTo(top, QPoint(0, bar->height())).y();
    QVERIFY2(split->mapTo(top, QPoint(0, 0)).y() >= barBottom,
             qPrintable(QStringLiteral("list at %1, search bar down to %2")
                            .arg(split->mapTo(top, QPoint(0, 0)).y())
                            .arg(barBottom)));
}

void ShortScreenTest::theAboutBoxScrollsItsText()
{
    showAboutBox();
    QWidget* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == u"AboutBox" && w->isVisible())
            box = w;
    QVERIFY(box);
    QVERIFY2(box->height() <= 400, qPrintable(QString::number(box->height())));
    auto* text = box->findChild<QTextBrowser*>(QStringLiteral("aboutText"));
    QVERIFY(text->verticalScrollBar()->maximum() > 0); // the rest is a scroll away
    box->close();
}

int main(int argc, char** argv)
{
    // An offscreen screen of 640x400, with no frames round the windows.
    QTemporaryDir config;
    const QString path = config.filePath(QStringLiteral("screens.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"screens": [{"name": "short", "x": 0, "y": 0, "width": 640,)"
                   R"( "height": 400, "logicalDpi": 96}]})") < 0)
        return 1;
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(path));
    QApplication app(argc, argv);
    QFont font = QApplication::font();
    font.setPointSize(18);
    QApplication::setFont(font);
    ShortScreenTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shortscreen.moc"
