// The history file (saved, read back, damaged) and the history export.

#include "tests/common/testdoubles.h"
#include "tests/faults/faulttest.h"
#include "tests/floating/floatingtest.h"

#include "platform/savedialog.h"
#include "windows/wordentry.h"
#include "windows/history/historyfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

QString historyPath()
{
    return QFile::decodeName(QByteArray::fromStdString(getHistoryLocation()));
}

// A line of the history file with these code points.
QByteArray lineOf(uint32_t first, int count)
{
    QByteArray line = "U";
    for (int i = 0; i < count; ++i)
        line += '+' + QByteArray::number(first + uint32_t(i), 16).toUpper();
    return line + '\n';
}

} // namespace

class HistoryFileTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void historyIsSavedInOrderAndReadBack();
    void readingTheFile_data();
    void readingTheFile();
    void exportWritesEveryPieceWithItsOwnMark_data();
    void exportWritesEveryPieceWithItsOwnMark();
    void exportsReplaceOnlyRegularFiles_data();
    void exportsReplaceOnlyRegularFiles();
    void aHistoryThatCannotBeReadIsNotWaitedOnNorReplaced();

private:
    QTemporaryDir home;
    ftest::AlertRecorder alerts;
};

void HistoryFileTest::initTestCase()
{
    // Never the user's own files, also when run outside the test runner.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    ftest::loadFixtureDictionary();
    QVERIFY(historyPath().startsWith(home.path()));
}

void HistoryFileTest::init()
{
    ftest::resetGlobals();
    history.clear();
    QFile::remove(historyPath());
    alerts.recorded->requests.clear();
}

void HistoryFileTest::historyIsSavedInOrderAndReadBack()
{
    ftest::lookUpCharacter(QStringLiteral("中"));
    ftest::lookUpCharacter(QStringLiteral("文"));
    ftest::lookUpCharacter(QString::fromUcs4(U"\U00020000", 1));
    ftest::lookUpCharacter(QStringLiteral("歡迎"));
    // A word is one line of its characters' keys.
    const auto chinese = uint32_t(wordRefOfCodes({0x4E2D, 0x6587}));
    QVERIFY(isKnownWordRef(chinese));
    history.push_back(chinese);
    history.push_back(9999); // an index that names no entry is left out
    saveHistory();
    QCOMPARE(wtest::readFile(historyPath()),
             QByteArray("U+4E2D\nU+6587\nU+20000\nU+6B61+8FCE\nU+4E2D U+6587\n"));
    history.clear();
    loadHistory();
    QCOMPARE(history, (std::vector<uint32_t>{0, 1, 6, 5, chinese}));
    // Its flashcard holds the word, its reading and its senses.
    const std::string cards = flashcardText();
    QVERIFY2(QByteArray::fromStdString(cards).endsWith("\n中文\tZhōng wén\tChinese language\t\n"),
             cards.c_str());

    // An empty history is an empty file, read back as the welcome entry.
    history.clear();
    saveHistory();
    QVERIFY(QFile::exists(historyPath()));
    QCOMPARE(wtest::readFile(historyPath()), QByteArray());
    loadHistory();
    QCOMPARE(history, (std::vector<uint32_t>{5}));
}

void HistoryFileTest::readingTheFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<std::vector<uint32_t>>("expected");
    const auto chinese = uint32_t(wordRefOfCodes({0x4E2D, 0x6587}));
    QTest::newRow("a word: keys separated by blanks")
        << QByteArray("U+4E2D\t U+6587\nU+4E2D\n") << std::vector<uint32_t>{chinese, 0};
    QTest::newRow("a word no longer known is dropped")
        << QByteArray("U+4E2D\nU+9F8D U+9F8E\n") << std::vector<uint32_t>{0};
    QTest::newRow("a duplicate moves to the end")
        << QByteArray("U+4E2D\nU+6587\nU+4E2D\n") << std::vector<uint32_t>{1, 0};
    QTest::newRow("forty values: thirty-two, then eight")
        << QByteArray(lineOf(0x5000, 32).chopped(1) + lineOf(0x4E00, 8).mid(1))
        << std::vector<uint32_t>{13, 12};
    QTest::newRow("a character no longer in the dictionary is dropped")
        << QByteArray("U+9F8D\nU+4E2D\n") << std::vector<uint32_t>{0};
    QTest::newRow("carriage returns and blanks")
        << QByteArray("U+ 4E2D\r\n\r\n  U+6587\r\n") << std::vector<uint32_t>{0, 1};
    QTest::newRow("unreadable lines are skipped")
        << QByteArray("hello\n+4E2D\nU+6587 junk\nU+4E2D\n\x01\xFF\n")
        << std::vector<uint32_t>{1, 0};
    QTest::newRow("nothing readable: welcome") << QByteArray("garbage") << std::vector<uint32_t>{5};
    // The mark made the first line unreadable.
    QTest::newRow("a byte-order mark is skipped")
        << QByteArray("\xEF\xBB\xBFU+4E2D\nU+6587\n") << std::vector<uint32_t>{0, 1};
}

void HistoryFileTest::readingTheFile()
{
    QFETCH(QByteArray, file);
    QFETCH(std::vector<uint32_t>, expected);
    QVERIFY(faults::writeAll(historyPath(), file));
    loadHistory();
    QCOMPARE(history, expected);
}

void HistoryFileTest::exportWritesEveryPieceWithItsOwnMark_data()
{
    QTest::addColumn<std::vector<uint32_t>>("elements");
    QTest::addColumn<uint32_t>("characterField");
    QTest::addColumn<uint32_t>("readingField");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("three entries without reading or definition, newest first")
        << std::vector<uint32_t>{0, 6, 1} << FOUR_CHAR_CODE("CHAR") << FOUR_CHAR_CODE("NONE")
        << QByteArray::fromHex("FEFF6587 FEFF0009 FEFF0009 FEFF000A"
                               "FEFFD840DC00 FEFF0009 FEFF0009 FEFF000A"
                               "FEFF4E2D FEFF0009 FEFF0009 FEFF000A");
    QTest::newRow("reading and definition")
        << std::vector<uint32_t>{9} << FOUR_CHAR_CODE("CHAR") << FOUR_CHAR_CODE("PYIN")
        << QByteArray::fromHex(
               "FEFF4E00 FEFF0009 FEFF0079012B FEFF0009"
               "FEFF006F006E0065003B00200061002C00200061006E003B00200061006C006F006E0065"
               "FEFF000A");
}

void HistoryFileTest::exportWritesEveryPieceWithItsOwnMark()
{
    QFETCH(std::vector<uint32_t>, elements);
    QFETCH(uint32_t, characterField);
    QFETCH(uint32_t, readingField);
    QFETCH(QByteArray, expected);
    const bool withDefinition = readingField != FOUR_CHAR_CODE("NONE");
    globals.floatingCharType = characterField;
    globals.floatingRomanType = readingField;
    globals.floatingDefnType = withDefinition ? FOUR_CHAR_CODE("EDEF") : FOUR_CHAR_CODE("NONE");
    history = elements;
    const QString target = home.filePath(QStringLiteral("export.txt"));
    QVERIFY(faults::writeAll(target, "an older export, replaced"));
    auto previous = SetSaveDialogPresenter(std::make_unique<ChosenPathSaveDialogPresenter>(target));
    writeOutHistory();
    SetSaveDialogPresenter(std::move(previous));
    QCOMPARE(wtest::readFile(target).toHex(), expected.toHex());
    QCOMPARE(history, elements);
    QVERIFY(alerts.recorded->requests.empty());
}

// An export over a device turned it into a plain file after the dialog's
// "replace?": a target that is not a regular file is refused with an alert
// naming it, and a link is written through, never replaced.
void HistoryFileTest::exportsReplaceOnlyRegularFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("written"); // through to the regular file "file.txt"
    for (const char* exporter : {"history", "flashcards"}) {
        const auto row = [exporter](const char* kind, bool written) {
            QTest::addRow("%s over %s", exporter, kind) << QString::fromLatin1(kind) << written;
        };
        row("a named pipe", false);
        row("a folder", false);
        row("a link to a regular file", true);
        row("a link to a named pipe", false);
        row("a link to nothing", false);
    }
}

void HistoryFileTest::exportsReplaceOnlyRegularFiles()
{
    QFETCH(QString, kind);
    QFETCH(bool, written);
    QTemporaryDir scratch;
    const QString target = scratch.filePath(QStringLiteral("target"));
    const QString file = scratch.filePath(QStringLiteral("file.txt"));
    const QString pipe = scratch.filePath(QStringLiteral("pipe"));
    QVERIFY(faults::writeAll(file, "kept\n"));
    QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    if (kind == u"a named pipe")
        QCOMPARE(mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    else if (kind == u"a folder")
        QVERIFY(QDir().mkdir(target));
    else
        QVERIFY(QFile::link(kind.endsWith(u"regular file") ? file
                            : kind.endsWith(u"named pipe")
                                ? pipe
                                : scratch.filePath(QStringLiteral("gone")),
                            target));
    const auto fileType = [](const QString& path) {
        struct stat info {};
        return lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & S_IFMT : 0;
    };
    const auto typeBefore = fileType(target);
    history = {0, 1};
    auto previous = SetSaveDialogPresenter(std::make_unique<ChosenPathSaveDialogPresenter>(target));
    if (QTest::currentDataTag() == QByteArray("history over ") + kind.toLatin1())
        writeOutHistory();
    else
        writeOutFlashcards();
    SetSaveDialogPresenter(std::move(previous));

    QCOMPARE(fileType(target), typeBefore);
    QCOMPARE(fileType(pipe), mode_t(S_IFIFO));
    QCOMPARE(wtest::readFile(file) != "kept\n", written);
    QCOMPARE(alerts.recorded->requests.size(), std::size_t(written ? 0 : 1));
    if (!written)
        QVERIFY2(alerts.recorded->requests[0].explanation.contains(target),
                 qUtf8Printable(alerts.recorded->requests[0].explanation));
}

QTEST_MAIN(HistoryFileTest)
void HistoryFileTest::aHistoryThatCannotBeReadIsNotWaitedOnNorReplaced()
{
    // A FIFO would block a plain open until someone writes to it; a save
    // would rename a new file over whatever is there.
    const QByteArray path = QFile::encodeName(historyPath());
    QCOMPARE(mkfifo(path.constData(), 0600), 0);
    const ReadResult read = loadHistory();
    QVERIFY(!read.ok());
    QCOMPARE(read.reason, QStringLiteral("Not a regular file"));
    QCOMPARE(history, (std::vector<uint32_t>{5})); // the welcome entry
    ftest::lookUpCharacter(QStringLiteral("中"));
    QVERIFY(saveHistory());
    struct stat info {};
    QCOMPARE(lstat(path.constData(), &info), 0);
    QVERIFY(S_ISFIFO(info.st_mode));

    // Once the file reads again, saves replace it as before.
    QCOMPARE(unlink(path.constData()), 0);
    QVERIFY(faults::writeAll(historyPath(), "U+4E2D\n"));
    QVERIFY(loadHistory().ok());
    QVERIFY(saveHistory());
    QCOMPARE(wtest::readFile(historyPath()), QByteArray("U+4E2D\n"));
}

#include "tst_historyfile.moc"
