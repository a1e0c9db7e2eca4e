// The floating window over its real interface resource: the pop-ups, the
// entry and not-found forms, the add command, folding and the position.

#include "tests/floating/floatingtest.h"

#include "program/appcommands.h"
#include "app/servicesbridge.h"
#include "app/windowlookup.h"
#include "platform/commands.h"
#include "platform/controls.h"
#include "store/locations.h"
#include "windows/floating/floatingwindow.h"
#include "windows/wordentry.h"

#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

WindowRef floatingWindow()
{
    return FindMyWindow(kFloatingWindowTag, false);
}

ControlRef controlOf(FourCharCode signature)
{
    const ControlID id{signature, 128};
    ControlRef control = nullptr;
    GetControlByID(floatingWindow(), &id, &control);
    return control;
}

QString textOf(FourCharCode signature)
{
    return wtest::controlText(controlOf(signature));
}

// The chosen item of a pop-up (-1 for none).
int popupIndex(FourCharCode signature)
{
    return qobject_cast<QComboBox*>(GetControlWidget(controlOf(signature)))->currentIndex();
}

int characterSize()
{
    return GetControlWidget(controlOf("CHAR"_4cc))->font().pixelSize();
}

bool addButtonShown()
{
    QWidget* add = GetControlWidget(controlOf("ADD "_4cc));
    return add->isVisibleTo(add->window());
}

int contentHeight()
{
    Rect bounds{};
    GetWindowBounds(floatingWindow(), kWindowContentRgn, &bounds);
    return bounds.bottom - bounds.top;
}

void clickToolbarButton()
{
    auto* button =
        GetWindowWidget(floatingWindow())->findChild<QToolButton*>(QStringLiteral("toolbarButton"));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

void choosePopupItem(FourCharCode signature, int item)
{
    auto* box = qobject_cast<QComboBox*>(GetControlWidget(controlOf(signature)));
    QVERIFY(box);
    box->setCurrentIndex(item - 1);
    emit box->activated(item - 1); // as a choice by the user
}

} // namespace

class FloatingWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void aPopupChoiceShowsTheSameEntryWithTheNewReading();
    void theAlternativeIsTheFirstListedFormOtherThanTheCharacter_data();
    void theAlternativeIsTheFirstListedFormOtherThanTheCharacter();
    void aNotFoundCharacterCanBeAddedAndIsSavedForTheNextRun();
    void aTextWithNoEntrySaysSoAndKeepsItsStart();
    void aReadingPreferenceNamingNoFieldShowsNoReading();
    void foldingDisposesOfTheDrawerAndOpeningOutKeepsTheEntry();
    void closingRecordsWhereTheWindowWas();
    void aWordIsShownWholeWithItsReadingSensesAndOtherScript();
    void aCharacterListsItsWordsAndAClickShowsOne();

private:
    QTemporaryDir home;
    std::unique_ptr<ftest::AlertRecorder> alerts;
};

void FloatingWindowTest::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    ftest::loadFixtureDictionary();
    QVERIFY(ftest::openResources());
    alerts = std::make_unique<ftest::AlertRecorder>();
    ftest::installApplicationHandler();
}

void FloatingWindowTest::init()
{
    ftest::resetGlobals();
    history.clear();
    ukBufferLen = 0;
    alerts->recorded->requests.clear();
}

void FloatingWindowTest::cleanup()
{
    ftest::disposeAllWindows();
    QVERIFY2(alerts->recorded->requests.empty(),
             qPrintable(wtest::alertTexts(alerts->recorded).join(u'\n')));
}

void FloatingWindowTest::aPopupChoiceShowsTheSameEntryWithTheNewReading()
{
    createFloatingWindow();
    const SInt32 found = ftest::lookUpCharacter(QStringLiteral("九"));
    QCOMPARE(found, 7);
    loadFloatingWindowData(floatingWindow(), found);
    QCOMPARE(textOf("ROMN"_4cc), QStringLiteral("jiǔ"));
    QCOMPARE(textOf("DEFN"_4cc), QStringLiteral("nine"));

    choosePopupItem("RSEL"_4cc, 2);
    QCOMPARE(globals.floatingRomanType, "JYUT"_4cc);
    QCOMPARE(textOf("CHAR"_4cc), QStringLiteral("九"));
    QCOMPARE(textOf("ROMN"_4cc), QStringLiteral("gau2"));

    choosePopupItem("CSEL"_4cc, 3); // the simplified form
    QCOMPARE(textOf("CHAR"_4cc), QStringLiteral("ABC"));
    QCOMPARE(characterSize(), 57);
    choosePopupItem("CSEL"_4cc, 1);
    QCOMPARE(globals.floatingCharType, "CHAR"_4cc);
    QCOMPARE(textOf("CHAR"_4cc), QStringLiteral("九"));
    QCOMPARE(history, std::vector<uint32_t>{7});
}

// 叶 lists 叶 and 葉 as its traditional forms and only itself as simplified;
// 中 has neither field.
void FloatingWindowTest::theAlternativeIsTheFirstListedFormOtherThanTheCharacter_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("popupItem");
    QTest::addColumn<QString>("shown");
    QTest::newRow("second listed form") << QStringLiteral("叶") << 2 << QStringLiteral("葉");
    QTest::newRow("only itself listed") << QStringLiteral("叶") << 3 << QStringLiteral("叶");
    QTest::newRow("no value") << QStringLiteral("中") << 2 << QStringLiteral("中");
}

void FloatingWindowTest::theAlternativeIsTheFirstListedFormOtherThanTheCharacter()
{
    QFETCH(QString, character);
    QFETCH(int, popupItem);
    QFETCH(QString, shown);
    createFloatingWindow();
    loadFloatingWindowData(floatingWindow(), ftest::lookUpCharacter(character));
    choosePopupItem("CSEL"_4cc, popupItem);
    QCOMPARE(textOf("CHAR"_4cc), shown);
}

void FloatingWindowTest::aNotFoundCharacterCanBeAddedAndIsSavedForTheNextRun()
{
    createFloatingWindow();
    loadFloatingWindowData(floatingWindow(), 2);
    const auto dragon = ftest::unitsOf(QStringLiteral("龍"));
    QCOMPARE(findCharacter(dragon.data(), 1), -1);
    loadFloatingWindowData(floatingWindow(), dragon.data(), 1);
    QVERIFY(addButtonShown());
    QCOMPARE(QStringList({textOf("CHAR"_4cc), textOf("ROMN"_4cc), textOf("DEFN"_4cc)}),
             QStringList({QStringLiteral("龍"), QStringLiteral("not in dictionary"),
                          QStringLiteral("not in dictionary")}));

    // A pop-up choice goes back to the entry shown before; the add command
    // still adds the character.
    choosePopupItem("DSEL"_4cc, 1);
    QVERIFY(!addButtonShown());
    QCOMPARE(textOf("CHAR"_4cc), QStringLiteral("水"));

    const std::size_t before = dict.entries.size();
    sendApplicationCommand("ADD "_4cc);
    QCOMPARE(dict.entries.size(), before + 1);
    const characterEntry* added = dict.entries.back();
    QCOMPARE(added->codes, std::vector<uint32_t>{0x9F8D});
    const dictValue* blank = added->lookup(dict.findField("kDefinition"));
    // Saved at once, as an edit is: a crash no longer loses it.
    QVERIFY(blank && blank->text() == " " && blank->modified == 0);
    QCOMPARE(textOf("CHAR"_4cc), QStringLiteral("龍"));
    QCOMPARE(ukBufferLen, std::size_t(0));
    QCOMPARE(ftest::lookUpCharacter(QStringLiteral("龍")), SInt32(added->index));
    sendApplicationCommand("ADD "_4cc); // nothing left to add
    QCOMPARE(dict.entries.size(), before + 1);

    const QByteArray fixture = ftest::fixturePath("lookup.txt");
    dictionary nextRun;
    nextRun.loadIndex(fixture.constData());
    nextRun.load(fixture.constData(), nullptr);
    nextRun.load(getCustomDictLocation().c_str(), nullptr);
    const characterEntry* kept = nextRun.lookup(0x9F8D);
    QVERIFY(kept && kept->lookup(nextRun.findField("kDefinition")));
}

void FloatingWindowTest::aWordIsShownWholeWithItsReadingSensesAndOtherScript()
{
    createFloatingWindow();
    const QuickLookup found = lookUpQuickly(QStringLiteral("電腦病毒呢"));
    QVERIFY(isWordRef(found.index));
    loadFloatingWindowData(floatingWindow(), found.index);
    QCOMPARE(textOf("CHAR"_4cc), QStringLiteral("電腦病毒"));
    QCOMPARE(textOf("ROMN"_4cc), QStringLiteral("diàn nǎo bìng dú"));
    QVERIFY2(textOf("DEFN"_4cc).contains(QStringLiteral("computer virus")),
             qPrintable(textOf("DEFN"_4cc)));
    // Four characters fit on the line, unclipped.
    QWidget* character = GetControlWidget(controlOf("CHAR"_4cc));
    QVERIFY(QFontMetrics(character->font()).horizontalAdvance(textOf("CHAR"_4cc)) <=
            character->contentsRect().width());

    choosePopupItem("CSEL"_4cc, 3); // the simplified form
    QCOMPARE(textOf("CHAR"_4cc), QStringLiteral("电脑病毒"));
    choosePopupItem("CSEL"_4cc, 2); // the traditional form
    QCOMPARE(textOf("CHAR"_4cc), QStringLiteral("電腦病毒"));
    QCOMPARE(history, std::vector<uint32_t>{uint32_t(found.index)});
}

void FloatingWindowTest::aCharacterListsItsWordsAndAClickShowsOne()
{
    createFloatingWindow();
    loadFloatingWindowData(floatingWindow(), 2); // 水
    auto* list = GetWindowWidget(floatingWindow())->findChild<QLabel*>(QStringLiteral("wordsText"));
    QVERIFY(list && list->isVisibleTo(list->window()));
    const QStringList links = [&] {
        QStringList found;
        for (const auto& m :
             QRegularExpression(QStringLiteral("href=\"([^\"]+)\"")).globalMatch(list->text()))
            found << m.captured(1);
        return found;
    }();
    QCOMPARE(links.size(), int(kWordsWithCharacter));
    QVERIFY(list->text().contains(QStringLiteral("水果")));

    emit list->linkActivated(links.first());
    const QString word = textOf("CHAR"_4cc);
    QVERIFY2(word.size() > 1 && word.contains(QStringLiteral("水")), qPrintable(word));
    QVERIFY(!list->isVisibleTo(list->window()));
    // Back to a character: its list again.
    loadFloatingWindowData(floatingWindow(), 0);
    QVERIFY(list->isVisibleTo(list->window()));
    QVERIFY(list->text().contains(QStringLiteral("中国")));
}

void FloatingWindowTest::aTextWithNoEntrySaysSoAndKeepsItsStart()
{
    createFloatingWindow();
    loadFloatingWindowData(floatingWindow(), 2);
    showNoEntryFound(floatingWindow(), QStringLiteral("zebra"));
    QVERIFY(!addButtonShown());
    QCOMPARE(QStringList({textOf("CHAR"_4cc), textOf("ROMN"_4cc), textOf("DEFN"_4cc)}),
             QStringList({QStringLiteral("zebra"), QString(),
                          QStringLiteral("No entry found for \u201Czebra\u201D")}));
    // A long selection is shown by its start; the pop-ups show the entry
    // shown before.
    showNoEntryFound(floatingWindow(), QString(60, u'z'));
    QCOMPARE(textOf("CHAR"_4cc), QString(40, u'z') + QChar(0x2026));
    choosePopupItem("DSEL"_4cc, 1);
    QCOMPARE(textOf("CHAR"_4cc), QStringLiteral("水"));
    // A lone surrogate is no key the user dictionary could keep: no button,
    // and the add command adds nothing.
    const UniChar damaged[] = {0x9F8D, 0xD800};
    loadFloatingWindowData(floatingWindow(), damaged, 2);
    QVERIFY(!addButtonShown());
    const std::size_t before = dict.entries.size();
    sendApplicationCommand("ADD "_4cc);
    QCOMPARE(dict.entries.size(), before);

    // Characters not found keep only the first 32: a text of any length was
    // laid out whole. Forty characters of two units each:
    std::vector<uint32_t> codes;
    for (uint32_t i = 0; i < 40; ++i)
        codes.push_back(0x20100 + i);
    const auto units = ftest::unitsOf(dictionary::displayOfCodes(codes));
    loadFloatingWindowData(floatingWindow(), units.data(), SInt32(units.size()));
    const std::vector<uint32_t> kept(codes.begin(), codes.begin() + 32);
    QCOMPARE(textOf("CHAR"_4cc), dictionary::displayOfCodes(kept));
    QCOMPARE(characterSize(), 114 / 6);
    QCOMPARE(std::vector<uint32_t>(ukBuffer, ukBuffer + ukBufferLen), kept);
}

void FloatingWindowTest::aReadingPreferenceNamingNoFieldShowsNoReading()
{
    globals.floatingRomanType = "NONE"_4cc;
    history = {5};
    createFloatingWindow();
    QCOMPARE(popupIndex("RSEL"_4cc), -1);
    QCOMPARE(textOf("ROMN"_4cc), QString());
    QCOMPARE(textOf("CHAR"_4cc), QStringLiteral("歡迎"));
}

void FloatingWindowTest::foldingDisposesOfTheDrawerAndOpeningOutKeepsTheEntry()
{
    history = {0, 1};
    sendApplicationCommand("LHWN"_4cc);
    QVERIFY(FindMyWindow(kHistoryWindowTag, false));
    loadFloatingWindowData(floatingWindow(), 7);
    clickToolbarButton();
    QVERIFY(!FindMyWindow(kHistoryWindowTag, false));
    QVERIFY(contentHeight() <= kFloatingExpandedLimit);
    // 'LWIN' opens out the folded window and keeps its entry.
    sendApplicationCommand("LWIN"_4cc);
    QCOMPARE(contentHeight(), int(kFloatingExpandedHeight));
    QCOMPARE(textOf("CHAR"_4cc), QStringLiteral("九"));
    QCOMPARE(GetWindowList().size(), std::size_t(1));
}

void FloatingWindowTest::closingRecordsWhereTheWindowWas()
{
    createFloatingWindow();
    Rect bounds{};
    GetWindowBounds(floatingWindow(), kWindowGlobalPortRgn, &bounds);
    SetRect(&bounds, 111, 122, short(111 + bounds.right - bounds.left),
            short(122 + bounds.bottom - bounds.top));
    SetWindowBounds(floatingWindow(), kWindowGlobalPortRgn, &bounds);
    GetWindowBounds(floatingWindow(), kWindowGlobalPortRgn, &bounds);
    GetWindowWidget(floatingWindow())->close();
    QVERIFY(!floatingWindow());
    QCOMPARE(globals.FloatLeftCorner, int32_t(bounds.left));
    QCOMPARE(globals.FloatTopCorner, int32_t(bounds.top));
}

QTEST_MAIN(FloatingWindowTest)
#include "tst_floatingwindow.moc"
