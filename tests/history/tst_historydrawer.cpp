// The history drawer over its real interface resource: rows, selection,
// opening and closing with 'LHWN', and the export button.

#include "tests/common/testdoubles.h"
#include "tests/floating/floatingtest.h"

#include "program/appcommands.h"
#include "app/servicesbridge.h"
#include "app/windowlookup.h"
#include "platform/commands.h"
#include "platform/controls.h"
#include "platform/databrowser.h"
#include "platform/savedialog.h"
#include "windows/dictionary/dictionarywindow.h"
#include "windows/floating/floatingwindow.h"

#include <QFontInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <cmath>

namespace {

WindowRef drawerWindow()
{
    return FindMyWindow(kHistoryWindowTag, false);
}

ControlRef historyList()
{
    const ControlID id{"HSDB"_4cc, 128};
    ControlRef list = nullptr;
    GetControlByID(drawerWindow(), &id, &list);
    return list;
}

QTreeView* historyView()
{
    return qobject_cast<QTreeView*>(GetControlWidget(historyList()));
}

QStringList rows()
{
    QStringList texts;
    QTreeView* view = historyView();
    for (int row = 0; view && row < view->model()->rowCount(); ++row)
        texts << view->model()->index(row, 0).data().toString();
    return texts;
}

QString floatingCharacter()
{
    const ControlID id{"CHAR"_4cc, 128};
    ControlRef control = nullptr;
    GetControlByID(FindMyWindow(kFloatingWindowTag, false), &id, &control);
    return wtest::controlText(control);
}

bool drawerOpen()
{
    return drawerWindow() && GetWindowWidget(drawerWindow())->isVisible();
}

void clickRow(int row)
{
    QTreeView* view = historyView();
    const QRect rect = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      QPoint(rect.left() + 4, rect.center().y()));
}

} // namespace

class HistoryDrawerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void lhwnTogglesTheDrawerWithTheNewestRowsFirst();
    void theExportButtonClosesTheDrawerAndExports();
    void theNewestShowsFirstAndTheDrawerDrawsCharactersAsTheListDoes_data();
    void theNewestShowsFirstAndTheDrawerDrawsCharactersAsTheListDoes();

private:
    QTemporaryDir home;
    std::unique_ptr<ftest::AlertRecorder> alerts;
};

void HistoryDrawerTest::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    ftest::loadFixtureDictionary();
    QVERIFY(ftest::openResources());
    alerts = std::make_unique<ftest::AlertRecorder>();
    ftest::installApplicationHandler();
}

void HistoryDrawerTest::init()
{
    ftest::resetGlobals();
    history = {0, 1, 2, 3};
    alerts->recorded->requests.clear();
}

void HistoryDrawerTest::cleanup()
{
    ftest::disposeAllWindows();
    QVERIFY(alerts->recorded->requests.empty());
}

void HistoryDrawerTest::lhwnTogglesTheDrawerWithTheNewestRowsFirst()
{
    history.push_back(9999); // names no entry
    sendApplicationCommand("LHWN"_4cc);
    QVERIFY(drawerOpen());
    QCOMPARE(rows(), (QStringList{QStringLiteral("???"), QStringLiteral("台"), QStringLiteral("水"),
                                  QStringLiteral("文"), QStringLiteral("中")}));
    // A look-up refreshes the open drawer.
    ftest::lookUpCharacter(QStringLiteral("文"));
    QCOMPARE(rows(), (QStringList{QStringLiteral("文"), QStringLiteral("???"), QStringLiteral("台"),
                                  QStringLiteral("水"), QStringLiteral("中")}));
    sendApplicationCommand("LHWN"_4cc);
    QVERIFY(drawerWindow() && !drawerOpen());
    sendApplicationCommand("LHWN"_4cc);
    QVERIFY(drawerOpen());
    // Choosing a row shows its entry and leaves the history as it is.
    clickRow(2);
    QCOMPARE(floatingCharacter(), QStringLiteral("台"));
    QCOMPARE(history, (std::vector<uint32_t>{0, 2, 3, 9999, 1}));
}

void HistoryDrawerTest::theExportButtonClosesTheDrawerAndExports()
{
    sendApplicationCommand("LHWN"_4cc);
    const QString target = home.filePath(QStringLiteral("exported.txt"));
    auto previous = SetSaveDialogPresenter(std::make_unique<ChosenPathSaveDialogPresenter>(target));
    auto* button =
        GetWindowWidget(drawerWindow())->findChild<QPushButton*>(QStringLiteral("exportButton"));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    SetSaveDialogPresenter(std::move(previous));
    QVERIFY(!drawerOpen());
    QVERIFY(wtest::readFile(target).startsWith(QByteArray::fromHex("FEFF53F0FEFF0009")));
}

void HistoryDrawerTest::theNewestShowsFirstAndTheDrawerDrawsCharactersAsTheListDoes_data()
{
    QTest::addColumn<int>("bigger");
    QTest::newRow("text size") << 0;
    QTest::newRow("larger characters") << 1;
}

void HistoryDrawerTest::theNewestShowsFirstAndTheDrawerDrawsCharactersAsTheListDoes()
{
    QFETCH(int, bigger);
    globals.biggerFonts = bigger;
    sendApplicationCommand("LHWN"_4cc);                  // opens the floating window too
    QCOMPARE(floatingCharacter(), QStringLiteral("台")); // history.back()
    sendApplicationCommand("DWIN"_4cc);
    ControlRef list = nullptr;
    GetControlByID(FindMyWindow(kDictionaryWindowTag, false), &kDictBrowserPaneID, &list);
    auto pixels = [](const QTreeView* view) {
        return view->model()->index(0, 0).data(Qt::FontRole).value<QFont>().pixelSize();
    };
    const QTreeView* dictionaryView = qobject_cast<QTreeView*>(GetControlWidget(list));
    const auto text = [dictionaryView] { return QFontInfo(dictionaryView->font()).pixelSize(); };
    // Characters are half as large again as the text, or twice as large.
    QCOMPARE(pixels(dictionaryView), int(std::ceil(text() * (bigger ? 2.0 : 1.5))));
    QCOMPARE(pixels(historyView()), pixels(dictionaryView));
    // The setting changed with the drawer open changes both alike.
    sendApplicationCommand("BIGF"_4cc);
    QCOMPARE(pixels(dictionaryView), int(std::ceil(text() * (bigger ? 1.5 : 2.0))));
    QCOMPARE(pixels(historyView()), pixels(dictionaryView));
}

QTEST_MAIN(HistoryDrawerTest)
#include "tst_historydrawer.moc"
