#include "store/pinyinquery.h"
#include "store/words.h"

#include <QTemporaryDir>
#include <QFile>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

using words::GlossMatch;
using words::WordSource;
using words::WordStore;

namespace {

// A small dictionary, given in an order unlike its frequencies.
std::vector<WordSource> fixtureWords()
{
    auto w = [](const char* t, const char* s, const char* p, QStringList senses, uint32_t f) {
        return WordSource{QString::fromUtf8(t), QString::fromUtf8(s), QString::fromUtf8(p),
                          std::move(senses), f};
    };
    return {
        w("薪水", "薪水", "xin1 shui3", {QStringLiteral("salary; wage")}, 738),
        w("水", "水", "shui3", {QStringLiteral("water"), QStringLiteral("river")}, 90000),
        w("水", "水", "Shui3", {QStringLiteral("surname Shui")}, 90000),
        w("水果", "水果", "shui3 guo3", {QStringLiteral("fruit")}, 1510),
        w("喝水", "喝水", "he1 shui3", {QStringLiteral("to drink water")}, 302),
        w("中文", "中文", "Zhong1 wen2", {QStringLiteral("Chinese language")}, 1755),
        w("中", "中", "zhong1", {QStringLiteral("China; middle")}, 200000),
        w("電腦", "电脑", "dian4 nao3", {QStringLiteral("computer")}, 3427),
        w("電腦病毒", "电脑病毒", "dian4 nao3 bing4 du2", {QStringLiteral("computer virus")}, 40),
        w("你好", "你好", "ni3 hao3", {QStringLiteral("hello; hi")}, 725),
        w("西安", "西安", "Xi1 an1", {QStringLiteral("Xi'an city")}, 900),
        w("先", "先", "xian1", {QStringLiteral("early; prior; first")}, 80000),
        w("吃", "吃", "chi1", {QStringLiteral("to eat; (bound form) to absorb")}, 50000),
        w("綠", "绿", "lu:4", {QStringLiteral("green")}, 6000),
        w("汽車", "汽车", "qi4 che1", {QStringLiteral("car; automobile")}, 10193),
        w("停車場", "停车场", "ting2 che1 chang3", {QStringLiteral("car park; parking lot")}, 600),
        w("車庫", "车库", "che1 ku4", {QStringLiteral("garage (for a car) [che1]")}, 300),
    };
}

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

class WordsTest : public QObject {
    Q_OBJECT

    WordStore store;
    WordStore shipped;

    static QString spelledIn(const WordStore& s, int word)
    {
        return word < 0 ? QString() : s.form(uint32_t(word), false);
    }
    QString spelled(int word) const
    {
        return word < 0 ? QString() : store.form(uint32_t(word), false);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(store.adopt(WordStore::build(fixtureWords())));
        QString why;
        QVERIFY2(shipped.open(QStringLiteral(TAVI_BUILD_SHARE_DIR "/words.dat"), &why),
                 qPrintable(why));
    }

    void theLongestWordInEitherScriptIsFound_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("minLength");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("traditional");
        QTest::newRow("simplified") << u("电脑好") << 2 << u("电脑") << 2 << false;
        QTest::newRow("traditional") << u("電腦") << 2 << u("电脑") << 2 << true;
        QTest::newRow("the longest") << u("電腦病毒呢") << 2 << u("电脑病毒") << 4 << true;
        QTest::newRow("a single character is no word") << u("中国") << 2 << QString() << 0 << false;
        QTest::newRow("unless asked") << u("中国") << 1 << u("中") << 1 << false;
        QTest::newRow("not at the start") << u("好电脑") << 2 << QString() << 0 << false;
        QTest::newRow("empty") << QString() << 1 << QString() << 0 << false;
    }

    void theLongestWordInEitherScriptIsFound()
    {
        QFETCH(QString, text);
        QFETCH(int, minLength);
        QFETCH(QString, word);
        QFETCH(int, length);
        QFETCH(bool, traditional);
        const words::WordMatch m = store.longestPrefix(text, minLength);
        QCOMPARE(spelled(m.word), word);
        QCOMPARE(m.length, length);
        QCOMPARE(m.traditional, traditional);
    }

    void wordsHoldingACharacterComeMostCommonFirst()
    {
        auto spell = [&](const std::vector<uint32_t>& list) {
            QStringList out;
            for (uint32_t w : list)
                out << store.form(w, false);
            return out;
        };
        QCOMPARE(spell(store.wordsContaining(U'水', 12)),
                 (QStringList{u("水果"), u("薪水"), u("喝水")}));
        QCOMPARE(spell(store.wordsContaining(U'水', 2)), (QStringList{u("水果"), u("薪水")}));
        // Either script's form: 車 is only in traditional forms.
        QCOMPARE(spell(store.wordsContaining(U'車', 12)),
                 (QStringList{u("汽车"), u("停车场"), u("车库")}));
        QVERIFY(store.wordsContaining(U'你', 12).size() == 1);
        QVERIFY(store.wordsContaining(U'吃', 12).empty());
        QCOMPARE(store.wordsOfForm(u("水")).size(), std::size_t(2));
        // The common reading before the surname's.
        QCOMPARE(store.word(store.wordsOfForm(u("水")).front()).pinyin, u("shui3"));
        QCOMPARE(store.frequencyOf(u("電腦")), 3427u);
        QCOMPARE(store.frequencyOf(u("电视")), 0u);
    }

    void englishIsFoundByEqualStartingAndWholeWordSenses_data()
    {
        QTest::addColumn<QString>("english");
        QTest::addColumn<int>("match");
        QTest::addColumn<QString>("word");
        const int equal = int(GlossMatch::Equal), starts = int(GlossMatch::StartsWith),
                  whole = int(GlossMatch::WholeWord);
        QTest::newRow("equal, any case") << u(" Computer ") << equal << u("电脑");
        QTest::newRow("equal, a later part") << u("hi") << equal << u("你好");
        QTest::newRow("equal, without to") << u("eat") << equal << u("吃");
        QTest::newRow("a labelled sense is not equal") << u("absorb") << equal << QString();
        QTest::newRow("equal is whole") << u("comp") << equal << QString();
        QTest::newRow("starts with, most common") << u("car") << starts << u("停车场");
        QTest::newRow("starts with a word only") << u("comput") << starts << QString();
        QTest::newRow("whole word, most common") << u("water") << whole << u("水");
        QTest::newRow("whole words") << u("drink water") << whole << u("喝水");
        QTest::newRow("whole words only") << u("drink wat") << whole << QString();
        QTest::newRow("not inside a word") << u("omputer") << whole << QString();
        QTest::newRow("not the pinyin of a reference") << u("che1") << whole << QString();
        QTest::newRow("blank") << u("  ") << whole << QString();
    }

    void englishIsFoundByEqualStartingAndWholeWordSenses()
    {
        QFETCH(QString, english);
        QFETCH(int, match);
        QFETCH(QString, word);
        QCOMPARE(spelled(store.findGloss(english, GlossMatch(match))), word);
    }

    void pinyinOfSeveralSyllablesFindsWords_data()
    {
        QTest::addColumn<QString>("pinyin");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("apart") << u("ni hao") << QStringList{u("你好")};
        QTest::newRow("together") << u("nihao") << QStringList{u("你好")};
        QTest::newRow("tone numbers") << u("ni3hao3") << QStringList{u("你好")};
        QTest::newRow("tone marks") << u("nǐ hǎo") << QStringList{u("你好")};
        QTest::newRow("a wrong tone") << u("ni3 hao4") << QStringList{};
        QTest::newRow("capitals and a name") << u("ZHONGWEN") << QStringList{u("中文")};
        QTest::newRow("u colon is v") << u("lv4") << QStringList{u("绿")};
        QTest::newRow("apart is not together") << u("xi an") << QStringList{u("西安")};
        QTest::newRow("together is one way") << u("xian") << QStringList{u("先")};
        QTest::newRow("most common first") << u("shui") << QStringList{u("水"), u("水")};
    }

    void pinyinOfSeveralSyllablesFindsWords()
    {
        QFETCH(QString, pinyin);
        QFETCH(QStringList, found);
        QStringList got;
        for (uint32_t w : store.findReading(pinyinquery::parse(pinyin), 10))
            got << store.form(w, false);
        QCOMPARE(got, found);
    }

    void aDamagedFileIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = WordStore::build(fixtureWords());
        auto patched = [&](qsizetype at, uint32_t v) {
            QByteArray b = good;
            for (int i = 0; i < 4; ++i)
                b[at + i] = char((v >> (8 * i)) & 0xFF);
            return b;
        };
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("another file") << QByteArray("U+4E00\tkMandarin\tyi1\n").repeated(8);
        QTest::newRow("cut short") << good.left(good.size() - 1);
        QTest::newRow("longer") << good + 'x';
        QTest::newRow("huge count") << patched(8, 0xFFFFFFF0u);
    }

    void aDamagedFileIsRefused()
    {
        QFETCH(QByteArray, bytes);
        WordStore s;
        QString why;
        QVERIFY(!s.adopt(bytes, &why));
        QVERIFY(!why.isEmpty());
        QVERIFY(s.isEmpty());
        QCOMPARE(s.longestPrefix(u("电脑")).word, -1);
        QVERIFY(s.wordsContaining(U'水', 12).empty());
    }

    // Records are checked when a look-up reads them: a damaged one is passed over.
    void damagedRecordsArePassedOver()
    {
        QByteArray bytes = WordStore::build(fixtureWords());
        auto patch = [&](qsizetype at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                bytes[at + i] = char((v >> (8 * i)) & 0xFF);
        };
        const auto w = qsizetype(fixtureWords().size());
        patch(64, 0x7FFFFFF0u);    // the most common word's text lies beyond the end
        patch(64 + 12 * w, 9999u); // the first form names no word
        WordStore s;
        QVERIFY(s.adopt(bytes));
        QVERIFY(s.word(0).senses.isEmpty() && s.form(0, false).isEmpty());
        QCOMPARE(s.wordsOfForm(u("中")), std::vector<uint32_t>{});
        QCOMPARE(spelledIn(s, s.findGloss(u("computer"), GlossMatch::Equal)), u("电脑"));
        for (uint32_t i = 0; i < s.size(); ++i) {
            const words::WordMatch m = s.longestPrefix(s.form(i, true), 1);
            QVERIFY(m.word < int32_t(s.size()));
        }
    }

    void aMissingFileIsRefusedAndTheProgramSaysSoOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("words.dat"));
        WordStore s;
        QVERIFY(!s.open(path));
        words::setProgramWordFile(path);
        fflush(stderr);
        const int saved = dup(STDERR_FILENO);
        FILE* capture = tmpfile();
        dup2(fileno(capture), STDERR_FILENO);
        QVERIFY(words::programWords().isEmpty());
        QVERIFY(words::programWords().isEmpty());
        fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
        rewind(capture);
        char buffer[1024] = {};
        const size_t n = fread(buffer, 1, sizeof buffer - 1, capture);
        fclose(capture);
        const QByteArray said(buffer, qsizetype(n));
        QCOMPARE(said.count('\n'), 1);
        QVERIFY2(said.contains(QFile::encodeName(path)), said.constData());
        words::setProgramWordFile(QString());
    }

    // The shipped words, made from CC-CEDICT with jieba's frequencies.
    void theShippedWordsAnswerTheLookUps()
    {
        auto form = [&](int32_t w) { return w < 0 ? QString() : shipped.form(uint32_t(w), false); };
        QVERIFY(shipped.size() > 100000);
        QCOMPARE(form(shipped.longestPrefix(u("中文很难")).word), u("中文"));
        QCOMPARE(form(shipped.longestPrefix(u("電腦")).word), u("电脑"));
        // Both are "computer"; jieba counts 计算机 more often than 电脑.
        QCOMPARE(form(shipped.findGloss(u("computer"), GlossMatch::Equal)), u("计算机"));
        QCOMPARE(form(shipped.findGloss(u("hello"), GlossMatch::Equal)), u("你好"));
        QCOMPARE(form(shipped.findGloss(u("person"), GlossMatch::Equal)), u("人"));
        const std::vector<uint32_t> nihao = shipped.findReading(pinyinquery::parse(u("nihao")), 5);
        QVERIFY(!nihao.empty());
        QCOMPARE(form(int32_t(nihao.front())), u("你好"));
        QStringList water;
        for (uint32_t w : shipped.wordsContaining(U'水', 12))
            water << shipped.form(w, false);
        QCOMPARE(water.size(), 12);
        QVERIFY2(water.contains(u("水果")), qPrintable(water.join(u(" "))));
        const words::Word computer = shipped.word(uint32_t(shipped.longestPrefix(u("电脑")).word));
        QCOMPARE(computer.traditional, u("電腦"));
        QCOMPARE(computer.pinyin, u("dian4 nao3"));
        QVERIFY(computer.senses.contains(u("computer")));
    }
};

QTEST_GUILESS_MAIN(WordsTest)
#include "tst_words.moc"
