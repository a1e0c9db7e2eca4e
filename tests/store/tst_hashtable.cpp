#include "storetest.h"

#include "store/hashtable.h"

#include <QtTest>

namespace {

class Item : public State {
public:
    Item(uint32_t key_, int id_, int* destroyed_ = nullptr)
        : key(key_)
        , id(id_)
        , destroyed(destroyed_)
    {
    }
    ~Item() override
    {
        if (destroyed != nullptr)
            ++*destroyed;
    }
    uint32_t hash_key() const override { return key; }
    bool equals(const State* other) const override { return static_cast<const Item*>(other)->key == key; }

    uint32_t key;
    int id;
    int* destroyed;
};

int idOf(State* s)
{
    return s == nullptr ? -1 : static_cast<Item*>(s)->id;
}

QList<int> walk(HashTable& t)
{
    QList<int> ids;
    t.iterReset();
    while (!t.iterDone())
        ids.append(idOf(t.iterNext()));
    return ids;
}

QList<QByteArray> statsLines(const HashTable& t)
{
    StdoutCapture out;
    t.PrintStats();
    return out.finish().split('\n');
}

} // namespace

class HashTableTest : public QObject {
    Q_OBJECT

private slots:
    void oneBucketStillFindsEveryItemByEquals()
    {
        HashTable t(1);
        for (uint32_t k = 0; k < 5; ++k)
            t.Add(new Item(k * 7, int(k)));
        for (uint32_t k = 0; k < 5; ++k) {
            Item probe(k * 7, -1);
            QCOMPARE(idOf(t.IsIn(&probe)), int(k));
        }
        Item missing(3, -1);
        QCOMPARE(t.IsIn(&missing), nullptr);
        QCOMPARE(t.getCount(), 5);
    }

    void equalItemsAreBothStoredAndOnlyTheNewerIsFound()
    {
        HashTable t(11);
        t.Add(new Item(5, 1));
        t.Add(new Item(5, 2));
        QCOMPARE(t.getCount(), 2);
        Item probe(5, -1);
        QCOMPARE(idOf(t.IsIn(&probe)), 2);
        QCOMPARE(idOf(t.IsIn(&probe)), 2);
        const QList<QByteArray> lines = statsLines(t);
        QCOMPARE(lines.at(5), QByteArray("1: 2"));
        QCOMPARE(lines.at(6), QByteArray("2: 0")); // the older item was never found
    }

    void walkGoesByBucketThenNewestFirst()
    {
        HashTable t(10);
        QCOMPARE(walk(t), QList<int>()); // an empty table is done at once
        QCOMPARE(t.iterNext(), nullptr);
        t.Add(new Item(3, 'A'));
        t.Add(new Item(13, 'B')); // bucket 3 as well
        t.Add(new Item(7, 'C'));
        QCOMPARE(walk(t), (QList<int>{'B', 'A', 'C'}));
    }

    void removeAndClearDestroyTheirItems()
    {
        int destroyed = 0;
        HashTable t(1);
        for (uint32_t k = 1; k <= 3; ++k)
            t.Add(new Item(k, int(k), &destroyed));
        Item middle(2, -1);
        t.Remove(&middle);
        QCOMPARE(destroyed, 1);
        QCOMPARE(t.getCount(), 2);
        QCOMPARE(t.IsIn(&middle), nullptr);
        QCOMPARE(walk(t), (QList<int>{3, 1}));

        Item absent(9, -1);
        t.Remove(&absent);
        QCOMPARE(destroyed, 1);
        QCOMPARE(t.getCount(), 2);
        // Neither Remove counted a hit on a remaining item.
        QCOMPARE(statsLines(t).at(5), QByteArray("1: 0"));

        t.Clear();
        QCOMPARE(destroyed, 3);
        QCOMPARE(t.getCount(), 0);
        QCOMPARE(walk(t), QList<int>());
        t.Add(new Item(1, 1));
        QCOMPARE(walk(t), QList<int>{1});
    }

    // Guards against destroying a chain recursively: a million nodes would
    // need far more stack than a thread has.
    void aVeryLongChainIsDestroyedWithoutRecursion()
    {
        int destroyed = 0;
        auto* t = new HashTable(1);
        for (int i = 0; i < 1000000; ++i)
            t->Add(new Item(uint32_t(i), i, &destroyed));
        delete t;
        QCOMPARE(destroyed, 1000000);
    }

    void printStatsReportsChainsAndTheTenBestHitCounts_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("items");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::newRow("more buckets than items")
            << 10 << 3
            << QList<QByteArray>{"There are 3 items in the table.", "Minimum keys in bucket: 0",
                                 "Maximum keys in bucket: 1", "Average keys in bucket: 0"};
        QTest::newRow("two per bucket")
            << 2 << 4
            << QList<QByteArray>{"There are 4 items in the table.", "Minimum keys in bucket: 2",
                                 "Maximum keys in bucket: 2", "Average keys in bucket: 2"};
    }

    void printStatsReportsChainsAndTheTenBestHitCounts()
    {
        QFETCH(int, size);
        QFETCH(int, items);
        QFETCH(QList<QByteArray>, expected);
        HashTable t(size);
        for (int i = 0; i < items; ++i)
            t.Add(new Item(uint32_t(i), i));
        const QList<QByteArray> lines = statsLines(t);
        QCOMPARE(lines.mid(0, 4), expected);
        QCOMPARE(lines.at(4), QByteArray("Ten best Hit count:"));
    }

    void tenItemsFoundOnceAndOneFoundThrice()
    {
        HashTable t(7);
        for (uint32_t k = 0; k < 11; ++k)
            t.Add(new Item(k, int(k)));
        for (uint32_t k = 0; k < 10; ++k) {
            Item probe(k, -1);
            t.IsIn(&probe);
        }
        Item popular(10, -1);
        for (int i = 0; i < 3; ++i)
            t.IsIn(&popular);
        const QList<QByteArray> lines = statsLines(t);
        QCOMPARE(lines.size(), 16); // 15 lines and the empty rest after the last newline
        QCOMPARE(lines.at(5), QByteArray("1: 3"));
        for (int i = 2; i <= 10; ++i)
            QCOMPARE(lines.at(4 + i), QByteArray::number(i) + ": 1");
    }
};

QTEST_GUILESS_MAIN(HashTableTest)
#include "tst_hashtable.moc"
