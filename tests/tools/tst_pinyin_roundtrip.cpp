// Every Mandarin reading of Unihan, written with tone numbers by the
// converter and shown again by the store's pinyinize, must come back as the
// tone-marked text Unihan gives. Only syllables without a vowel pinyinize
// can mark (the syllabic nasals ḿ, ń, ň, ǹ, and ê) may come back unmarked.

#include "store/dictionary.h"
#include "tools/unihan.h"

#include <QTest>

#include <string>

using namespace Qt::StringLiterals;

namespace {

bool isToneMark(QChar c) {
    const char16_t u = c.unicode();
    return u == 0x0300 || u == 0x0301 || u == 0x0304 || u == 0x030C;
}

// The reading as pinyinize can give it back: lowercase (it lowercases), and
// syllables without one of the vowels a, e, i, o, u, ü without tone marks.
QString reachableForm(const QString& reading) {
    QStringList syllables = reading.toLower().split(u' ');
    for (QString& s : syllables) {
        QString bare = s.normalized(QString::NormalizationForm_D);
        bare.removeIf(isToneMark);
        bare = bare.normalized(QString::NormalizationForm_C);
        static const QString vowels = u"aeiouü"_s;
        if (std::none_of(bare.cbegin(), bare.cend(), [](QChar c) { return vowels.contains(c); }))
            s = bare;
        else
            s = s.normalized(QString::NormalizationForm_C);
    }
    return syllables.join(u' ');
}

QString roundTrip(const QString& reading) {
    const std::string numbered = unihan::toneNumbers(reading.toUtf8().toStdString());
    return dict.pinyinize(numbered.c_str());
}

} // namespace

class TestPinyinRoundTrip : public QObject {
    Q_OBJECT
  private slots:
    void trickyReadingsComeBack_data();
    void trickyReadingsComeBack();
    void everyUnihanReadingComesBack();
};

void TestPinyinRoundTrip::trickyReadingsComeBack_data() {
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QString>("shown");

    // Mark placement is checked on every Unihan reading below.
    QTest::newRow("ü unmarked") << u"lü"_s << u"lü"_s;
    QTest::newRow("vowelless neutral") << u"hm"_s << u"hm"_s;
    QTest::newRow("capitals are lowercased") << u"Zhōng"_s << u"zhōng"_s;
    QTest::newRow("nasal ḿ left unmarked") << u"ḿ"_s << u"m"_s;
    QTest::newRow("nasal ǹ left unmarked") << u"ǹ"_s << u"n"_s;
    QTest::newRow("ê with combining macron left unmarked") << u"ê\u0304"_s << u"ê"_s;
}

void TestPinyinRoundTrip::trickyReadingsComeBack() {
    QFETCH(QString, reading);
    QFETCH(QString, shown);
    QCOMPARE(roundTrip(reading), shown);
    QCOMPARE(reachableForm(reading), shown);
}

void TestPinyinRoundTrip::everyUnihanReadingComesBack() {
    std::string text, error;
    QVERIFY2(unihan::readBzip2File(TAVI_UNIHAN_READINGS, text, error), error.c_str());
    qsizetype readings = 0;
    QStringList exceptions, failures;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        unihan::Record r{};
        const bool isReading =
            unihan::parseLine(rest.substr(0, end), r) == unihan::LineKind::Kept && r.field == 0;
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (isReading) {
            ++readings;
            const QString original = QString::fromUtf8(r.value.data(), qsizetype(r.value.size()));
            const QString back = roundTrip(original);
            if (back == original.normalized(QString::NormalizationForm_C))
                continue;
            const QString line = u"U+%1 %2 -> %3"_s.arg(
                QString::number(r.codePoint, 16).toUpper().rightJustified(4, u'0'), original, back);
            (back == reachableForm(original) ? exceptions : failures) << line;
        }
    }
    qInfo("%lld readings, %lld allowed exceptions", qlonglong(readings),
          qlonglong(exceptions.size()));
    for (const QString& e : std::as_const(exceptions))
        qInfo("  unmarked: %s", qUtf8Printable(e));
    QVERIFY(readings > 40000);
    QVERIFY2(failures.isEmpty(), qUtf8Printable(failures.mid(0, 20).join(u'\n')));
}

QTEST_GUILESS_MAIN(TestPinyinRoundTrip)
#include "tst_pinyin_roundtrip.moc"
