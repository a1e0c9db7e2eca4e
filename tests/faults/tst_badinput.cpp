// Bad input across the readers that the store's and the history's own tests
// do not already cover: megabyte lines, NUL bytes, invalid UTF-8, a
// byte-order mark where none is expected, a preferences file that is not an
// INI file at all. Each gives a diagnostic or the documented default, and
// reading goes on with what follows.

#include "faulttest.h"

#include "app/globals.h"
#include "app/prefs.h"
#include "platform/preferences.h"
#include "store/dictionary.h"
#include "tests/common/stdoutcapture.h"
#include "windows/history/history.h"
#include "windows/history/historyfile.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace faults;

namespace {

constexpr qsizetype kMegabyte = 1024 * 1024;

// A literal with its NUL bytes.
template <std::size_t N>
QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, qsizetype(N - 1));
}

QString historyPath()
{
    return QFile::decodeName(QByteArray::fromStdString(getHistoryLocation()));
}

QString prefsPath()
{
    return PreferencesFilePath(QStringLiteral("com.Quillon.Tavi"));
}

// Replaces the preferences file and makes the store read it again.
void storePrefsFile(const QByteArray& content)
{
    static int generation = 0;
    QVERIFY(writeAll(prefsPath(), content));
    QFile file(prefsPath());
    QVERIFY(file.open(QIODevice::ReadWrite));
    file.setFileTime(QDateTime::currentDateTime().addSecs(++generation), QFileDevice::FileModificationTime);
    file.close();
    CFPreferencesAppSynchronize(QStringLiteral("com.Quillon.Tavi"));
}

const QByteArray kIndexLine = "kDefinition\tEDEF\tkDefinition\tDefinition\tMeaning\n";

} // namespace

class BadInputTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void badFieldIndexLines_data();
    void badFieldIndexLines();
    void badHistoryFiles_data();
    void badHistoryFiles();
    void aPreferencesFileThatIsNotOneGivesTheDefaultsAndIsRewritten_data();
    void aPreferencesFileThatIsNotOneGivesTheDefaultsAndIsRewritten();
    void aColonAfterACharacterAboveUFFFFKeepsThePinyinWellFormed();

private:
    QTemporaryDir scratch;
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

void BadInputTest::badFieldIndexLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("fields");          // made from the bad line
    QTest::addColumn<QString>("title");       // of the field made, if any
    QTest::addColumn<QByteArray>("diagnostic");
    QTest::newRow("a megabyte line") << "kHuge\tHUGE\tkMetaText\tHuge\t" + QByteArray(kMegabyte, 'd') + "\n"
                                     << 0 << QString() << QByteArray("Skipped 1 lines longer than");
    QTest::newRow("NUL inside the name") << bytes("kA\0junk\tAAAA\tkMetaText\tA\tB\n") << 0 << QString()
                                         << QByteArray("Bad field line: kA\n");
    QTest::newRow("invalid UTF-8 title") << QByteArray("kB\tBBBB\tkMetaText\tT\xFF\xC0itle\tD\xE9scription\n") << 1
                                         << QStringLiteral("T\uFFFD\uFFFDitle") << QByteArray();
}

void BadInputTest::badFieldIndexLines()
{
    QFETCH(QByteArray, line);
    QFETCH(int, fields);
    QFETCH(QString, title);
    QFETCH(QByteArray, diagnostic);
    const QString path = scratch.filePath(QStringLiteral("index.txt"));
    QVERIFY(writeAll(path + QStringLiteral(".index"), kIndexLine + line + kIndexLine));
    dictionary d;
    StdoutCapture out;
    QVERIFY(d.loadIndex(QFile::encodeName(path).constData()));
    const QByteArray printed = out.finish();
    QCOMPARE(int(d.fields.size()), 2 + fields);
    QCOMPARE(d.fields.back()->name, QByteArray("kDefinition")); // the line after is read
    if (fields > 0)
        QCOMPARE(d.fields[1]->title, title);
    if (!diagnostic.isEmpty())
        QVERIFY2(printed.contains(diagnostic), printed.left(300).constData());
}

void BadInputTest::badHistoryFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("diagnostic");
    // Each file holds 中 and 文 around the bad part, so the history is
    // {中, 文} when reading goes on past it.
    QTest::newRow("a megabyte line of digits")
        << "U+4E2D\nU+" + QByteArray(kMegabyte, 'A') + "\nU+6587\n" << QByteArray();
    QTest::newRow("a megabyte line of junk")
        << "U+4E2D\n" + QByteArray(kMegabyte, '#') + "\nU+6587\n" << QByteArray("Skipped 1 unreadable lines");
    QTest::newRow("NUL bytes") << bytes("U+4E2D\0\n\0\0\nU+6587\n") << QByteArray("Skipped 2 unreadable lines");
    QTest::newRow("keys U++ and U+ZZZZ") << QByteArray("U+4E2D\nU++4E00\nU+ZZZZ\nU+6587\n") << QByteArray();
    QTest::newRow("carriage returns only") << QByteArray("U+4E2D\rU+6587\r") << QByteArray();
}

void BadInputTest::badHistoryFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, diagnostic);
    QVERIFY(writeAll(historyPath(), file));
    history.clear();
    StdoutCapture out;
    loadHistory();
    const QByteArray printed = out.finish();
    QCOMPARE(history.size(), std::size_t(2));
    QCOMPARE(dict.entries[history[0]]->codes, std::vector<uint32_t>{0x4E2D});
    QCOMPARE(dict.entries[history[1]]->codes, std::vector<uint32_t>{0x6587});
    if (!diagnostic.isEmpty())
        QVERIFY2(printed.contains(diagnostic), printed.constData());
}

void BadInputTest::aPreferencesFileThatIsNotOneGivesTheDefaultsAndIsRewritten_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 131 + 7) & 0xFF));
    QTest::newRow("binary bytes") << binary;
    QTest::newRow("a megabyte line") << "[General]\nfilterState=" + QByteArray(kMegabyte, '7') + "\n";
    QTest::newRow("NUL bytes") << bytes("[General]\nfilterState\0=3\n\0\0");
    QTest::newRow("no values") << QByteArray("[General]\nfilterState\nsearchState=\n=5\n[[[\n");
}

void BadInputTest::aPreferencesFileThatIsNotOneGivesTheDefaultsAndIsRewritten()
{
    QFETCH(QByteArray, content);
    storePrefsFile(content);
    StdoutCapture out;
    loadPrefs();
    out.finish();
    QCOMPARE(globals.filterState, -1);
    QCOMPARE(globals.searchState, -2);
    QCOMPARE(globals.dividerRatio, 600);
    QCOMPARE(globals.floatingCharType, FOUR_CHAR_CODE("CHAR"));

    // The next save writes a file that reads back.
    globals.filterState = 2;
    globals.searchState = 1;
    StdoutCapture quiet;
    savePrefs();
    globals = Globals{};
    loadPrefs();
    quiet.finish();
    QCOMPARE(globals.filterState, 2);
    QCOMPARE(globals.searchState, 1);
    QCOMPARE(globals.dividerRatio, 600);
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
