// The search forms and the matching rule, and the ranking of filterDBItems
// on the shipped dictionary.

#include "app/globals.h"
#include "platform/databrowser.h"
#include "store/dictionary.h"
#include "tests/common/listview.h"
#include "windows/dictionary/dictionarywindow.h"
#include "store/searchindex.h"

#include <QFile>
#include <QTest>
#include <QTreeView>

#include <memory>
#include <vector>

class SearchTest : public QObject {
    Q_OBJECT

private slots:
    void matchesWholeCharactersOnly_data();
    void matchesWholeCharactersOnly();
    void theMostRelevantEntryComesFirst_data();
    void theMostRelevantEntryComesFirst();
};

void SearchTest::matchesWholeCharactersOnly_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("found");
    QTest::newRow("case is ignored") << QStringLiteral("Mama") << QStringLiteral("MA") << true;
    QTest::newRow("precomposed in decomposed")
        << QStringLiteral("cafe\u0301") << QStringLiteral("caf\u00e9") << true;
    QTest::newRow("a letter is not its accented form")
        << QStringLiteral("m\u01ce") << QStringLiteral("ma") << false;
    QTest::newRow("an accent alone is no character")
        << QStringLiteral("m\u01ce") << QStringLiteral("\u030c") << false;
    QTest::newRow("marks in another order")
        << QStringLiteral("\u1ec7") << QStringLiteral("e\u0323\u0302") << true;
    QTest::newRow("part of a Hangul syllable")
        << QStringLiteral("\ud55c") << QStringLiteral("\ud558") << false;
    QTest::newRow("a whole Hangul syllable")
        << QStringLiteral("\ud55c\uad6d") << QStringLiteral("\ud55c") << true;
    QTest::newRow("a character beyond the basic plane")
        << QStringLiteral("x\U00020000y") << QStringLiteral("\U00020000") << true;
    QTest::newRow("half of a surrogate pair")
        << QStringLiteral("\U00020000") << QString(QChar(0xD840)) << false;
    QTest::newRow("an empty text") << QStringLiteral("water") << QStringLiteral("") << false;
}

void SearchTest::matchesWholeCharactersOnly()
{
    QFETCH(QString, value);
    QFETCH(QString, text);
    QFETCH(bool, found);
    const QString needle = dictsearch::searchForm(text);
    dictionary d;
    d.fields.push_back(new dictFields{"kTest", kMetaText, 10, FOUR_CHAR_CODE("TEST"),
                                      QStringLiteral("Test"), QString(), 3, 0});
    auto* entry = new characterEntry(std::vector<uint32_t>{0x4E00});
    d.addCharacterEntry(entry);
    d.addDictValue(entry, 0, value.toUtf8(), value);
    dictsearch::SearchIndex index(&d);
    std::vector<uint8_t> hits(1, 0);
    index.markMatches(0, needle, hits);
    QCOMPARE(hits[0] != 0, found);
}

void SearchTest::theMostRelevantEntryComesFirst_data()
{
    QTest::addColumn<QString>("field"); // empty: all fields
    QTest::addColumn<QString>("text");
    QTest::newRow("the character") << QString() << QStringLiteral("水");
    QTest::newRow("a whole word") << QString() << QStringLiteral("water");
    QTest::newRow("toneless pinyin") << QString() << QStringLiteral("shui");
    QTest::newRow("pinyin with a tone mark")
        << QStringLiteral("kMandarin") << QStringLiteral("shu\u01d0");
}

void SearchTest::theMostRelevantEntryComesFirst()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    const QByteArray shipped = QByteArrayLiteral(TAVI_BUILD_SHARE_DIR "/dictionary.txt");
    if (!QFile::exists(QString::fromUtf8(shipped)))
        QSKIP("The shipped dictionary has not been built");
    if (dict.entries.empty()) {
        dict.loadIndex(shipped.constData());
        dict.load(shipped.constData(), nullptr);
        for (dictFields* f : dict.fields)
            f->flags = 3;
    }
    const int scope = field.isEmpty() ? -2 : dict.findField(field.toUtf8().constData());
    auto view = std::make_unique<QTreeView>();
    ControlRef list = GetControlFromWidget(view.get());
    filterDBItems(list, -1, scope, text);
    const std::vector<DataBrowserItemID> items = wtest::listedItems(list);
    QVERIFY(!items.empty());
    QCOMPARE(dict.entries[items[0] - 1]->display, QStringLiteral("水"));
}

QTEST_MAIN(SearchTest)
#include "tst_search.moc"
