#include "store/strokes.h"

#include "tests/store/storetest.h"

#include <QTemporaryDir>
#include <QtTest>

using strokes::Found;
using strokes::Point;
using strokes::Stroke;
using strokes::StrokeStore;

namespace {

Stroke stroke(const char* outline, std::vector<Point> median)
{
    Stroke s;
    strokes::parseOutline(QString::fromUtf8(outline), &s);
    s.median = std::move(median);
    return s;
}

// Two small characters; 二 given out of order and a duplicate of 一 after it.
std::vector<strokes::CharacterSource> fixture()
{
    return {
        {U'二',
         {stroke("M 100 600 L 900 600 L 900 560 Z", {{100, 580}, {900, 580}}),
          stroke("M 50 100 Q 500 120 950 100 L 950 60 C 600 70 400 70 50 60 Z",
                 {{50, 80}, {500, 90}, {950, 80}})}},
        {U'一', {stroke("M 50 400 L 974 400 L 974 340 Z", {{50, 370}, {974, 370}})}},
        {U'一', {}},
    };
}

} // namespace

class StrokesTest : public QObject {
    Q_OBJECT

private slots:
    void outlinesAreRead_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("operations");
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("lastX");
        QTest::addColumn<int>("lastY");
        QTest::newRow("lines") << "M 1 2 L 3 4 Z"
                               << "MLZ" << 2 << 3 << 4;
        QTest::newRow("curves") << "M 1 2 Q 3 4 5 6 C 7 8 9 10 11 12 Z"
                                << "MQCZ" << 6 << 11 << 12;
        QTest::newRow("commas, no blanks, negative") << "M1,-2L-3,4Z"
                                                     << "MLZ" << 2 << -3 << 4;
        QTest::newRow("decimals rounded") << "M 1.6 2.4 L 3.5 -4.5"
                                          << "ML" << 2 << 4 << -5;
        QTest::newRow("a relative operation") << "M 1 2 l 3 4"
                                              << "" << -1 << 0 << 0;
        QTest::newRow("not starting with M") << "L 1 2"
                                             << "" << -1 << 0 << 0;
        QTest::newRow("a missing number") << "M 1 2 Q 3 4 5"
                                          << "" << -1 << 0 << 0;
        QTest::newRow("out of range") << "M 1 99999"
                                      << "" << -1 << 0 << 0;
        QTest::newRow("empty") << ""
                               << "" << -1 << 0 << 0;
    }
    void outlinesAreRead()
    {
        QFETCH(QString, path);
        QFETCH(QString, operations);
        QFETCH(int, points);
        QFETCH(int, lastX);
        QFETCH(int, lastY);
        Stroke s;
        const bool ok = strokes::parseOutline(path, &s);
        QCOMPARE(ok, points >= 0);
        if (!ok)
            return;
        QCOMPARE(QString::fromLatin1(s.operations.data(), qsizetype(s.operations.size())),
                 operations);
        QCOMPARE(int(s.points.size()), points);
        QCOMPARE(s.points.back(), (Point{int16_t(lastX), int16_t(lastY)}));
    }

    void aBuiltFileGivesBackEachCharactersStrokes()
    {
        StrokeStore s;
        QVERIFY(s.adopt(StrokeStore::build(fixture(), "notice")));
        QCOMPARE(s.size(), 2u);
        QCOMPARE(s.notice(), QStringLiteral("notice"));
        QCOMPARE(s.codeAt(0), U'一');
        std::vector<Stroke> read;
        QCOMPARE(s.find(U'二', &read), Found::Strokes);
        QCOMPARE(read, fixture()[0].strokes);
        QCOMPARE(s.find(U'一', &read), Found::Strokes);
        QCOMPARE(read, fixture()[1].strokes);
        QCOMPARE(s.find(U'三', &read), Found::None);
        QCOMPARE(s.find(0, &read), Found::None);
    }

    void damageIsRefusedOrConfinedToItsCharacter_data()
    {
        const QByteArray good = StrokeStore::build(fixture(), "n");
        // Header 16 + notice 1 + index 24: 一's record starts at 41 (stroke
        // count, then its operation count, median count and operations).
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<int>("one"); // what 一 gives
        QTest::newRow("not a stroke file") << QByteArray("TAVIWRD1xxxxxxxx") << false << 0;
        QTest::newRow("cut inside the header") << good.left(12) << false << 0;
        QTest::newRow("cut inside the index") << good.left(30) << false << 0;
        QTest::newRow("huge count")
            << QByteArray(good).replace(8, 4, QByteArray("\xff\xff\xff\x7f", 4)) << false << 0;
        QTest::newRow("huge notice")
            << QByteArray(good).replace(12, 4, QByteArray("\xff\xff\xff\xff", 4)) << false << 0;
        QTest::newRow("cut in the records") << good.left(good.size() - 3) << true << 0;
        QTest::newRow("no strokes")
            << QByteArray(good).replace(41, 2, QByteArray(2, '\0')) << true << int(Found::Damaged);
        QTest::newRow("unknown operation")
            << QByteArray(good).replace(47, 1, "X") << true << int(Found::Damaged);
        QTest::newRow("first operation not M")
            << QByteArray(good).replace(47, 1, "L") << true << int(Found::Damaged);
        QTest::newRow("record beyond the end")
            << QByteArray(good).replace(25, 4, QByteArray("\x00\x00\x01\x00", 4)) << true
            << int(Found::Damaged);
        QTest::newRow("record inside the index")
            << QByteArray(good).replace(21, 4, QByteArray("\x10\x00\x00\x00", 4)) << true
            << int(Found::Damaged);
    }
    void damageIsRefusedOrConfinedToItsCharacter()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, opens);
        QFETCH(int, one);
        StrokeStore s;
        QCOMPARE(s.adopt(bytes), opens);
        std::vector<Stroke> read;
        if (!opens) {
            QVERIFY(s.isEmpty());
            QCOMPARE(s.find(U'一', &read), Found::None);
            return;
        }
        QCOMPARE(int(s.find(U'一', &read)), one);
        // The last record (二's) is the one cut short.
        if (bytes.size() < StrokeStore::build(fixture(), "n").size())
            QCOMPARE(s.find(U'二', &read), Found::Damaged);
    }

    void aDamagedOrMissingFileIsToldOnceAndGivesNoStrokes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("strokes.dat"));
        QByteArray bytes = StrokeStore::build(fixture(), "n");
        bytes[47] = 'X'; // 一's record
        QVERIFY(writeFile(path, bytes));
        strokes::setProgramStrokeFile(path);
        std::vector<Stroke> read;
        StdoutCapture capture(stderr);
        const bool one = strokes::programStrokesOf(U'一', &read);
        const bool again = strokes::programStrokesOf(U'一', &read);
        const bool two = strokes::programStrokesOf(U'二', &read);
        strokes::setProgramStrokeFile(dir.filePath(QStringLiteral("missing.dat")));
        const bool missing = strokes::programStrokesOf(U'二', &read);
        strokes::programStrokesOf(U'一', &read);
        const QByteArray said = capture.finish();
        strokes::setProgramStrokeFile(QString());
        QVERIFY(!one && !again && two && !missing);
        QCOMPARE(said.count('\n'), 2);
        QVERIFY2(said.contains("U+4E00") && said.contains("missing.dat"), said.constData());
    }

    // The shipped strokes: 水 is written vertical hook first, then the
    // left-hand stroke, the right-falling pair last.
    void theShippedFileHoldsTheStrokeOrder()
    {
        StrokeStore shipped;
        QVERIFY(shipped.open(QStringLiteral(TAVI_BUILD_SHARE_DIR "/strokes.dat")));
        QVERIFY(shipped.size() > 9000);
        QVERIFY(shipped.notice().contains(QStringLiteral("Arphic Public License")));
        std::vector<Stroke> water;
        QCOMPARE(shipped.find(U'水', &water), Found::Strokes);
        QCOMPARE(water.size(), std::size_t(4));
        const std::vector<Point>& hook = water[0].median;
        // Down the middle from near the top to near the bottom, ending in a
        // hook to the left.
        QVERIFY(hook.front().y > 700 && hook.front().x > 400 && hook.front().x < 600);
        QVERIFY(std::any_of(hook.begin(), hook.end(), [](Point p) { return p.y < 120; }));
        QVERIFY(hook.back().x < hook.front().x - 60);
        // The right-falling last stroke goes right and down.
        QVERIFY(water[3].median.back().x > water[3].median.front().x + 300);
        struct Count {
            char32_t code;
            std::size_t strokes;
        };
        for (Count c : {Count{U'一', 1}, Count{U'人', 2}, Count{U'中', 4}, Count{U'我', 7},
                        Count{U'國', 11}, Count{U'龍', 16}}) {
            std::vector<Stroke> read;
            QCOMPARE(shipped.find(c.code, &read), Found::Strokes);
            QCOMPARE(read.size(), c.strokes);
        }
    }
};

QTEST_GUILESS_MAIN(StrokesTest)
#include "tst_strokes.moc"
