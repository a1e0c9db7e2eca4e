// Bad input that the history's and the store's own tests do not already
// cover: megabyte lines and NUL bytes in the history file, and a surrogate
// pair before a colon in pinyin. Reading goes on with what follows.

#include "faulttest.h"

#include "store/dictionary.h"
#include "tests/common/stdoutcapture.h"
#include "windows/history/history.h"
#include "windows/history/historyfile.h"

#include <QTest>

#include <cstdio>

using namespace faults;

namespace {

constexpr qsizetype kMegabyte = 1024 * 1024;

QString historyPath()
{
    return QFile::decodeName(QByteArray::fromStdString(getHistoryLocation()));
}

} // namespace

class BadInputTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void badHistoryFiles_data();
    void badHistoryFiles();
    void aColonAfterACharacterAboveUFFFFKeepsThePinyinWellFormed();
};

void BadInputTest::initTestCase()
{
    QVERIFY2(qEnvironmentVariable("XDG_CONFIG_HOME").contains(QStringLiteral("test-home")),
             "run through ctest, which sets a temporary HOME");
    StdoutCapture quiet;
    dict.loadIndex(TAVI_FIXTURES_DIR "/floating/lookup.txt");
    dict.load(TAVI_FIXTURES_DIR "/floating/lookup.txt", nullptr);
    QVERIFY(dict.lookup(0x4E2D) != nullptr && dict.lookup(0x6587) != nullptr);
}

void BadInputTest::badHistoryFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("diagnostic");
    // Each file holds 中 and 文 around the bad part, so the history is
    // {中, 文} when reading goes on past it.
    QTest::newRow("a megabyte line of junk")
        << "U+4E2D\n" + QByteArray(kMegabyte, '#') + "\nU+6587\n"
        << QByteArray("Skipped 1 unreadable lines");
    QTest::newRow("NUL bytes") << "U+4E2D" + QByteArray(1, '\0') + '\n' + QByteArray(2, '\0') +
                                      "\nU+6587\n"
                               << QByteArray("Skipped 2 unreadable lines");
}

void BadInputTest::badHistoryFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, diagnostic);
    QVERIFY(writeAll(historyPath(), file));
    history.clear();
    StderrCapture out;
    loadHistory();
    const QByteArray printed = out.finish();
    QCOMPARE(history.size(), std::size_t(2));
    QCOMPARE(dict.entries[history[0]]->codes, std::vector<uint32_t>{0x4E2D});
    QCOMPARE(dict.entries[history[1]]->codes, std::vector<uint32_t>{0x6587});
    if (!diagnostic.isEmpty())
        QVERIFY2(printed.contains(diagnostic), printed.constData());
}

// A ":" rewrote only the low half of a surrogate pair before it, which left
// ill-formed text for the display and the ConvertPinyin reply.
void BadInputTest::aColonAfterACharacterAboveUFFFFKeepsThePinyinWellFormed()
{
    const QString converted = dict.pinyinize("a1 \xF0\xA0\x80\x80:");
    QVERIFY(converted.isValidUtf16());
    QCOMPARE(converted, QStringLiteral("\u0101 \u00FC"));
}

QTEST_MAIN(BadInputTest)
#include "tst_badinput.moc"
