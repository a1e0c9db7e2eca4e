// The dictionary made at build time: its fields and contents, checked
// against the Unihan files it was made from.

#include "store/dictionary.h"
#include "store/pinyinquery.h"
#include "tools/unihan.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QTest>

#include <string>

using namespace Qt::StringLiterals;

namespace {

const QString kShareDir = QStringLiteral(TAVI_BUILD_SHARE_DIR);

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

bool isToneMark(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0x0300 || u == 0x0301 || u == 0x0304 || u == 0x030C;
}

// A reading as pinyinize can show it: lowercase, and syllables without one
// of the vowels a, e, i, o, u, ü (the nasals ḿ, ń, ň, ǹ, and ê) unmarked.
QString reachableForm(const QString& reading)
{
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

} // namespace

class TestShippedDictionary : public QObject {
    Q_OBJECT

    QList<QByteArray> m_lines;
    QList<QByteArray> m_indexNames;
    QSet<QString> m_syllables; // every syllable of the Mandarin values

private slots:
    void initTestCase()
    {
        const QByteArray text = readAll(kShareDir + u"/dictionary.txt"_s);
        QVERIFY2(!text.isEmpty(), "dictionary.txt is missing; build the tavi_dictionary target");
        QVERIFY(text.endsWith('\n'));
        m_lines = text.left(text.size() - 1).split('\n');
        const QList<QByteArray> index = readAll(kShareDir + u"/dictionary.txt.index"_s).split('\n');
        for (const QByteArray& line : index)
            if (!line.isEmpty() && !line.startsWith('#'))
                m_indexNames << line.split('\t').value(0);
        QCOMPARE(m_indexNames.size(), 17);
    }

    void holdsEveryUnihanReadingAndDefinition()
    {
        // Every character of the dictionary has a reading or definition, every
        // one of those in Unihan is in the dictionary, and the Mandarin values
        // are the converted Unihan readings, which pinyinize shows again as
        // Unihan gives them (or unmarked where it cannot mark).
        const QSet<QByteArray> selecting = {"kMandarin",   "kCantonese",   "kDefinition",
                                            "kJapaneseOn", "kJapaneseKun", "kKorean",
                                            "kVietnamese", "kHangul"};
        QSet<uint> all, selected;
        QSet<QByteArray> seenFields;
        QHash<uint, QByteArray> mandarin;
        for (const QByteArray& line : std::as_const(m_lines)) {
            const QList<QByteArray> columns = line.split('\t');
            QVERIFY2(columns.size() == 3 && m_indexNames.contains(columns[1]), line.constData());
            seenFields.insert(columns[1]);
            const uint code = columns[0].mid(2).toUInt(nullptr, 16);
            all.insert(code);
            if (selecting.contains(columns[1]))
                selected.insert(code);
            if (columns[1] == "kMandarin")
                mandarin.insert(code, columns[2]);
        }
        QCOMPARE(all.size(), selected.size());
        // Unicode 15 has some 50,000 such characters.
        QVERIFY2(all.size() > 40000, QByteArray::number(all.size()).constData());
        // Every field of the index has values: a field that moved to another
        // Unihan file would otherwise silently disappear.
        QCOMPARE(seenFields.size(), m_indexNames.size());

        std::string readings, error;
        QVERIFY2(unihan::readBzip2File(TAVI_UNIHAN_READINGS, readings, error), error.c_str());
        qsizetype checked = 0, compared = 0;
        QStringList unshown;
        std::string_view rest = readings;
        while (!rest.empty()) {
            const std::size_t end = std::min(rest.find('\n'), rest.size());
            const std::string_view line = rest.substr(0, end);
            rest.remove_prefix(std::min(end + 1, rest.size()));
            unihan::Record r{};
            if (unihan::parseLine(line, r) != unihan::LineKind::Kept ||
                !unihan::kFields[std::size_t(r.field)].selects)
                continue;
            QVERIFY2(selected.contains(r.codePoint), std::string(line).c_str());
            ++checked;
            if (r.field == 0) {
                const QByteArray numbered = mandarin.value(r.codePoint);
                QCOMPARE(numbered, QByteArray::fromStdString(unihan::toneNumbers(r.value)));
                ++compared;
                const QString original =
                    QString::fromUtf8(r.value.data(), qsizetype(r.value.size()));
                // Both the loader's display and the conversion the services
                // and the search field use.
                for (const QString& shown :
                     {dict.pinyinize(numbered.constData()),
                      pinyinquery::toneMarked(QString::fromLatin1(numbered))}) {
                    if (shown != original.normalized(QString::NormalizationForm_C) &&
                        shown != reachableForm(original))
                        unshown << u"U+%1 %2 -> %3"_s.arg(QString::number(r.codePoint, 16),
                                                          original, shown);
                }
                for (const QByteArray& syllable : numbered.split(' '))
                    m_syllables.insert(QString::fromLatin1(syllable));
            }
        }
        QVERIFY(checked > 100000);
        QCOMPARE(compared, mandarin.size());
        QVERIFY2(unshown.isEmpty(), qUtf8Printable(unshown.mid(0, 20).join(u'\n')));
    }

    // Syllables written together convert as they do apart, and a capital
    // stays a capital: every reading syllable of the dictionary, each one
    // joined with some forty others spread over the whole set.
    void joinedAndCapitalisedReadingsConvertAsApart()
    {
        QVERIFY(m_syllables.size() > 1000);
        QStringList all = m_syllables.values();
        all.sort();
        QHash<QString, QString> alone;
        for (const QString& s : std::as_const(all))
            alone.insert(s, pinyinquery::toneMarked(s));
        QStringList wrong;
        const qsizetype n = all.size();
        for (qsizetype i = 0; i < n; ++i) {
            const QString& a = all[i];
            QString capital = a;
            capital[0] = capital[0].toUpper();
            QString expected = alone[a];
            expected[0] = expected[0].toUpper();
            if (pinyinquery::toneMarked(capital) != expected)
                wrong << capital;
            for (qsizetype k = 1; k <= 40; ++k) {
                const QString& b = all[(i + k * (n / 41) + k) % n];
                if (pinyinquery::toneMarked(a + b) != alone[a] + alone[b])
                    wrong << a + b;
            }
        }
        QVERIFY2(wrong.isEmpty(), qUtf8Printable(wrong.mid(0, 20).join(u' ')));
    }
};

QTEST_GUILESS_MAIN(TestShippedDictionary)
#include "tst_shipped_dictionary.moc"
