#include "storetest.h"

#include "store/dictionary.h"
#include "store/textutil.h"

#include <QtTest>

namespace {

characterEntry* makeEntry(std::vector<uint32_t> codes)
{
    return new characterEntry(std::move(codes));
}

dictFields* makeField(const char* name, const QString& title)
{
    auto* f = new dictFields{QByteArray(name), kDefinition, 10, 0, title, QString(), 1, 0};
    f->width = std::max<uint32_t>(10u, uint32_t(title.toUtf8().size()));
    return f;
}

} // namespace

class EntriesTest : public QObject {
    Q_OBJECT

private slots:
    void keyDisplayHasOneCharacterPerCodePoint_data()
    {
        QTest::addColumn<QList<uint>>("codes");
        QTest::addColumn<QString>("display");
        // Surrogate pairs, not the low 16 bits (which would give U+0000).
        QTest::newRow("mixed planes")
            << QList<uint>{0x4E00, 0x2A6D6, 0x41} << QString::fromUcs4(U"\u4E00\U0002A6D6A");
        QTest::newRow("past U+10FFFF") << QList<uint>{0x110000} << QStringLiteral("\uFFFD");
    }

    void keyDisplayHasOneCharacterPerCodePoint()
    {
        QFETCH(QList<uint>, codes);
        QFETCH(QString, display);
        dictionary d;
        auto* e = makeEntry(std::vector<uint32_t>(codes.begin(), codes.end()));
        d.addCharacterEntry(e);
        QCOMPARE(e->display, display);
    }

    // Walking text by code point: a pair is one, a lone half of either
    // kind stays its own unit, and both halves of a pair name the same one.
    void walkingTextByCodePoint_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<uint>>("codes");
        QTest::addColumn<QList<int>>("starts");  // codePointStart of each unit
        QTest::addColumn<QList<uint>>("atUnit"); // codePointAt of each unit
        QTest::newRow("pair between BMP")
            << QString::fromUtf16(u"a\xD869\xDED6"
                                  u"b")
            << QList<uint>{0x61, 0x2A6D6, 0x62} << QList<int>{0, 1, 1, 3}
            << QList<uint>{0x61, 0x2A6D6, 0x2A6D6, 0x62};
        QTest::newRow("lone halves")
            << QString::fromUtf16(u"\xDC00\xD800x", 3) << QList<uint>{0xDC00, 0xD800, 0x78}
            << QList<int>{0, 1, 2} << QList<uint>{0xDC00, 0xD800, 0x78};
        QTest::newRow("high then pair")
            << QString::fromUtf16(u"\xD800\xD840\xDC00", 3) << QList<uint>{0xD800, 0x20000}
            << QList<int>{0, 1, 1} << QList<uint>{0xD800, 0x20000, 0x20000};
    }

    void walkingTextByCodePoint()
    {
        QFETCH(QString, text);
        QFETCH(QList<uint>, codes);
        QFETCH(QList<int>, starts);
        QFETCH(QList<uint>, atUnit);
        const std::vector<uint32_t> walked = tavi_text::codePoints(text);
        QCOMPARE(QList<uint>(walked.begin(), walked.end()), codes);
        QCOMPARE(tavi_text::codePointCount(text), codes.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            QCOMPARE(tavi_text::codePointStart(text, i), starts[i]);
            QCOMPARE(uint(tavi_text::codePointAt(text, i)), atUnit[i]);
        }
    }

    void keysWithTheSameExclusiveOrAreDifferentEntries()
    {
        dictionary d;
        auto* pair = makeEntry({0x4E00, 0x0001});
        auto* single = makeEntry({0x4E01});
        QCOMPARE(pair->hash_key(), single->hash_key());
        QVERIFY(!pair->equals(single));
        d.addCharacterEntry(pair);
        d.addCharacterEntry(single);
        characterEntry probe({0x4E00, 0x0001});
        QCOMPARE(d.table->IsIn(&probe), pair);
        QCOMPARE(d.lookup(0x4E01), single);
        QCOMPARE(d.lookup(0x4E00), nullptr); // only single code points are looked up
    }

    // Destroying a chain recursively would need far more stack than a
    // thread has for a million items in one bucket.
    void aVeryLongChainIsDestroyedWithoutRecursion()
    {
        auto* t = new HashTable(1);
        for (uint32_t c = 0; c < 1000000; ++c)
            t->Add(makeEntry({c}));
        delete t;
    }

    void addingAValueWidensItsFieldUpTo150_data()
    {
        QTest::addColumn<int>("titleBytes");
        QTest::addColumn<QString>("display");
        QTest::addColumn<uint>("width");
        QTest::newRow("longer value widens") << 3 << QString(42, u'x') << 42u;
        QTest::newRow("capped at 150") << 3 << QString(400, u'x') << 150u;
        QTest::newRow("a wide title comes down to 150") << 200 << QStringLiteral("a") << 150u;
        QTest::newRow("null display changes nothing") << 200 << QString() << 200u;
    }

    void addingAValueWidensItsFieldUpTo150()
    {
        QFETCH(int, titleBytes);
        QFETCH(QString, display);
        QFETCH(uint, width);
        dictionary d;
        d.fields.push_back(makeField("kDefinition", QString(titleBytes, u't')));
        auto* e = makeEntry({0x4E00});
        d.addCharacterEntry(e);
        d.addDictValue(e, 0, "x", display);
        QCOMPARE(d.fields[0]->width, width);
    }

    // Fields 63 and up share one presence bit: removing one of them must not
    // hide another, nor a removed low field linger.
    void lookupFindsExactlyTheValuesLeftAfterRemovals()
    {
        dictionary d;
        characterEntry* e = makeEntry({0x4E00});
        d.addCharacterEntry(e);
        for (int field : {0, 5, 62, 63, 64, 200})
            d.addDictValue(e, field, "v", QStringLiteral("v"));
        e->remove(63);
        e->remove(5);
        e->remove(7); // none: nothing changes
        for (int field : {0, 5, 7, 62, 63, 64, 200, -1}) {
            const dictValue* v = e->lookup(field);
            const bool kept = field == 0 || field == 62 || field == 64 || field == 200;
            QVERIFY2(kept ? v != nullptr && v->field == field : v == nullptr,
                     qPrintable(QString::number(field)));
        }
        QCOMPARE(e->values.size(), size_t(4));
    }

    void valuesAndEntriesSurviveHeavyReuse()
    {
        // Records come from recycled slabs: make, drop and remake many, and
        // check that nothing written to one record shows in another.
        for (int round = 0; round < 3; ++round) {
            dictionary d;
            d.fields.push_back(makeField("kDefinition", QStringLiteral("Definition")));
            for (uint32_t c = 0; c < 20000; ++c) {
                auto* e = makeEntry({0x4E00 + c});
                d.addCharacterEntry(e);
                d.addDictValue(e, 0, QByteArray::number(c), QString::number(c));
                if (c % 3 == 0) {
                    e->remove(0);
                    d.addDictValue(e, 0, "r", QStringLiteral("r"));
                }
            }
            for (uint32_t c = 0; c < 20000; c += 997) {
                const characterEntry* e = d.lookup(long(0x4E00 + c));
                QVERIFY(e != nullptr);
                QCOMPARE(e->values.size(), size_t(1));
                QCOMPARE(e->values[0]->display(),
                         c % 3 == 0 ? QStringLiteral("r") : QString::number(c));
            }
        }
    }
};

QTEST_GUILESS_MAIN(EntriesTest)
#include "tst_entries.moc"
