#include "storetest.h"

#include "store/dictionary.h"
#include "store/locations.h"

#include <QtTest>

#include <unistd.h>

namespace {

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString userFolder()
{
    return dataHome() + QStringLiteral("/Tavi Dictionaries");
}

QString userFile()
{
    return userFolder() + QStringLiteral("/UserDictionary.txt");
}

void loadSmallIndex(dictionary& d)
{
    StdoutCapture out;
    d.loadIndex(fixturePath("small.txt").constData());
}

dictValue* addEdit(dictionary& d, std::vector<uint32_t> codes, const char* field, const QByteArray& text)
{
    characterEntry probe(codes);
    auto* e = static_cast<characterEntry*>(d.table->IsIn(&probe));
    if (e == nullptr) {
        e = new characterEntry(std::move(codes));
        d.addCharacterEntry(e);
    }
    const int f = d.findField(field);
    e->remove(f);
    auto* v = new dictValue{f, text, QString::fromUtf8(text), 1};
    d.addDictValue(e, v);
    return v;
}

// A dictionary with the small fixture's fields and the user file loaded.
void loadUserFile(dictionary& d)
{
    loadSmallIndex(d);
    StdoutCapture out;
    d.load(userFile().toUtf8().constData(), nullptr);
}

QByteArray save(dictionary& d)
{
    StdoutCapture out;
    saveCustomDictionary(&d);
    return out.finish();
}

} // namespace

class LocationsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Never touch a real data folder: ctest points XDG_DATA_HOME into the
        // build tree's test homes.
        QVERIFY2(qEnvironmentVariable("XDG_DATA_HOME").contains(QStringLiteral("test-home")),
                 "run through ctest, which sets a temporary XDG_DATA_HOME");
    }

    void init()
    {
        QFile::remove(userFile());
        QDir(userFolder()).removeRecursively();
        QFile::remove(userFolder());
    }

    void bundleResourcesAreFoundFromTheExecutable()
    {
        const QDir buildTree(QStringLiteral(TAVI_BUILD_SHARE_DIR "/../.."));
        auto check = [&buildTree] {
            const QString path = QString::fromStdString(bundleResourcesPath());
            QVERIFY2(path.endsWith(QStringLiteral("/share/tavi")), qPrintable(path));
            QCOMPARE(QDir(path + QStringLiteral("/../..")).canonicalPath(), buildTree.canonicalPath());
        };
        check(); // from /proc/self/exe
        int argc = 1;
        char name[] = "tst_store_locations";
        char* argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        check(); // from the application object
    }

    void theFolderIsMadeWhenMissingAndAnExistingOneIsFine()
    {
        StdoutCapture out;
        const std::string path = getCustomDictLocation();
        const std::string again = getCustomDictLocation();
        const QByteArray output = out.finish();
        QCOMPARE(QString::fromStdString(path), userFile());
        QCOMPARE(again, path);
        QVERIFY(QFileInfo(userFolder()).isDir());
        QVERIFY(!QFileInfo::exists(userFile())); // made by the first save only
        const QByteArray line = "App Support \"" + userFile().toUtf8() + "\"\n";
        QCOMPARE(output, line + line);
    }

    void aFileWhereTheFolderShouldBeIsReported()
    {
        QVERIFY(writeFile(userFolder(), "not a folder"));
        StdoutCapture out;
        const std::string path = getCustomDictLocation();
        const QByteArray output = out.finish();
        QCOMPARE(QString::fromStdString(path), userFile());
        QVERIFY2(output.contains("Got FSCreateDirectoryUnicode error: "), output.constData());
    }

    void loadDictionariesReadsTheUserDictionaryLast()
    {
        const std::string resources = bundleResourcesPath();
        const QByteArray folderLine = "App Support \"" + userFile().toUtf8() + "\"\n";
        dictionary first;
        StdoutCapture firstRun;
        loadDictionaries(&first, nullptr);
        QVERIFY(firstRun.finish().endsWith(folderLine + "Unable to open '" + userFile().toUtf8() + "'\n"));
        QVERIFY(QFileInfo(userFolder()).isDir());

        QVERIFY(writeFile(userFile(), "U+4E00\tkDefinition\tmine\n"));
        dictionary d;
        StdoutCapture out;
        loadDictionaries(&d, nullptr);
        const QByteArray output = out.finish();
        const QByteArray expectedStart = "Got path " + QByteArray::fromStdString(resources) + "\nLoading index '"
            + QByteArray::fromStdString(resources) + "/dictionary.txt.index'...\n";
        QVERIFY2(output.startsWith(expectedStart), output.left(400).constData());
        QVERIFY(output.endsWith(folderLine + "Loading '" + userFile().toUtf8() + "'...\n"));
        const characterEntry* e = d.lookup(0x4E00);
        QVERIFY(e != nullptr);
        // With the shipped dictionary present, the user's value wins.
        if (d.findField("kDefinition") >= 0)
            QCOMPARE(e->lookup(d.findField("kDefinition"))->text, QByteArray("mine"));
    }

    void theShippedDictionaryLoadsWhenBuilt()
    {
        if (!QFileInfo::exists(QStringLiteral(TAVI_BUILD_SHARE_DIR "/dictionary.txt")))
            QSKIP("the shipped dictionary has not been built");
        dictionary d;
        StdoutCapture out;
        loadDictionaries(&d, nullptr);
        const QByteArray output = out.finish();
        QVERIFY2(!output.contains("Unknown input"), output.left(400).constData());
        QVERIFY(d.count > 40000);
        QCOMPARE(d.fields.size(), size_t(17));
        const int pinyin = d.findField(uint32_t('P') << 24 | uint32_t('Y') << 16 | uint32_t('I') << 8 | 'N');
        QVERIFY(pinyin >= 0);
        QCOMPARE(d.lookup(0x4E00)->lookup(pinyin)->display, QStringLiteral("yī"));
        const characterEntry* above = d.lookup(0x20000);
        QVERIFY(above != nullptr);
        QCOMPARE(above->display, QString::fromUcs4(U"\U00020000"));
    }

    void aSaveWritesOneLinePerEditedValue_data()
    {
        QTest::addColumn<QList<uint>>("codes");
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("reloaded");
        QTest::newRow("one character") << QList<uint>{0x4E00} << QByteArray("kDefinition") << QByteArray("one")
                                       << QByteArray("U+4E00\tkDefinition\tone\n") << QStringLiteral("one");
        QTest::newRow("two code points") << QList<uint>{0x4E00, 0x4E01} << QByteArray("kDefinition") << QByteArray("pair")
                                         << QByteArray("U+4E00+4E01\tkDefinition\tpair\n") << QStringLiteral("pair");
        QTest::newRow("short and long hex") << QList<uint>{0xA0, 0x20000} << QByteArray("kDefinition") << QByteArray("x")
                                            << QByteArray("U+A0+20000\tkDefinition\tx\n") << QStringLiteral("x");
        // TAB, CR and LF would cut the value or break the line format.
        QTest::newRow("line breaks and tabs") << QList<uint>{0x4E00} << QByteArray("kDefinition") << QByteArray("a\tb\rc\nd")
                                              << QByteArray("U+4E00\tkDefinition\ta b c d\n") << QStringLiteral("a b c d");
        QTest::newRow("pinyin typed with marks") << QList<uint>{0x4E00} << QByteArray("kMandarin") << QByteArray("l\xC7\x9C")
                                                 << QByteArray("U+4E00\tkMandarin\tl\xC7\x9C\n") << QStringLiteral("lǜ");
        QTest::newRow("pinyin typed with numbers") << QList<uint>{0x4E00} << QByteArray("kMandarin") << QByteArray("lu:4")
                                                   << QByteArray("U+4E00\tkMandarin\tlu:4\n") << QStringLiteral("lǜ");
        QTest::newRow("an added character") << QList<uint>{0x9FA5} << QByteArray("kDefinition") << QByteArray(" ")
                                            << QByteArray("U+9FA5\tkDefinition\t \n") << QStringLiteral(" ");
    }

    void aSaveWritesOneLinePerEditedValue()
    {
        QFETCH(QList<uint>, codes);
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, line);
        QFETCH(QString, reloaded);
        const std::vector<uint32_t> key(codes.begin(), codes.end());
        dictionary d;
        loadSmallIndex(d);
        dictValue* v = addEdit(d, key, field.constData(), text);
        addEdit(d, {0x4E2D}, "kDefinition", "unchanged")->modified = 0;
        save(d);
        QCOMPARE(readFile(userFile()), line);
        QCOMPARE(v->modified, 0);

        dictionary after;
        loadUserFile(after);
        characterEntry probe(key);
        auto* e = static_cast<characterEntry*>(after.table->IsIn(&probe));
        QVERIFY(e != nullptr);
        QCOMPARE(e->lookup(after.findField(field.constData()))->display, reloaded);
        QCOMPARE(after.count, 1u);
    }

    void savingAgainAppendsAndTheLastLineWins()
    {
        dictionary d;
        loadSmallIndex(d);
        addEdit(d, {0x4E00}, "kDefinition", "first");
        save(d);
        save(d); // nothing pending: nothing written
        addEdit(d, {0x4E00}, "kDefinition", "second");
        save(d);
        QCOMPARE(readFile(userFile()), QByteArray("U+4E00\tkDefinition\tfirst\nU+4E00\tkDefinition\tsecond\n"));
        dictionary after;
        loadUserFile(after);
        QCOMPARE(after.lookup(0x4E00)->values.size(), size_t(1));
        QCOMPARE(after.lookup(0x4E00)->values[0]->text, QByteArray("second"));
    }

    // Edits were marked saved even when nothing reached the disk.
    void aFailedSaveLeavesTheEditsPending_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("file cannot be opened") << QStringLiteral("folder") << QByteArray("Unable to append to '");
        QTest::newRow("disk full") << QStringLiteral("/dev/full") << QByteArray("Unable to save '");
    }

    void aFailedSaveLeavesTheEditsPending()
    {
        QFETCH(QString, obstacle);
        QFETCH(QByteArray, message);
        QDir().mkpath(userFolder());
        if (obstacle == QStringLiteral("folder"))
            QVERIFY(QDir().mkdir(userFile()));
        else
            QVERIFY(QFile::link(obstacle, userFile()));

        dictionary d;
        loadSmallIndex(d);
        dictValue* v = addEdit(d, {0x4E00}, "kDefinition", "pending");
        const QByteArray output = save(d);
        QVERIFY2(output.contains(message + userFile().toUtf8() + "'\n"), output.constData());
        QCOMPARE(v->modified, 1);

        // Once the obstacle is gone, the next save writes the edit.
        if (obstacle == QStringLiteral("folder"))
            QVERIFY(QDir().rmdir(userFile()));
        else
            QVERIFY(QFile::remove(userFile()));
        save(d);
        QCOMPARE(v->modified, 0);
        QCOMPARE(readFile(userFile()), QByteArray("U+4E00\tkDefinition\tpending\n"));
    }

    // Paths went through 1024-byte buffers and had to be ASCII.
    void aLongNonAsciiDataPathWorks()
    {
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        const QString top = QString::fromUtf8(saved) + QStringLiteral("/donn\u00E9es \u5B57");
        QString deep = top;
        for (int i = 0; i < 12; ++i)
            deep += QLatin1Char('/') + QString(100, u'd');
        qputenv("XDG_DATA_HOME", deep.toUtf8());

        dictionary d;
        loadSmallIndex(d);
        dictValue* v = addEdit(d, {0x4E00}, "kDefinition", "far away");
        save(d);
        QCOMPARE(v->modified, 0);
        const QString file = deep + QStringLiteral("/Tavi Dictionaries/UserDictionary.txt");
        QVERIFY(file.toUtf8().size() > 1300);
        QCOMPARE(readFile(file), QByteArray("U+4E00\tkDefinition\tfar away\n"));
        dictionary after;
        StdoutCapture out;
        loadDictionaries(&after, nullptr);
        const QByteArray output = out.finish();
        QVERIFY(output.contains("Loading '" + file.toUtf8() + "'...\n"));
        QVERIFY(after.lookup(0x4E00) != nullptr);

        qputenv("XDG_DATA_HOME", saved);
        QVERIFY(QDir(top).removeRecursively());
    }

    void theGlobalSaveWritesTheProgramsDictionary()
    {
        loadSmallIndex(dict);
        dictValue* v = addEdit(dict, {0x4E03}, "kDefinition", "seven");
        StdoutCapture out;
        saveCustomDictionary();
        out.finish();
        QCOMPARE(v->modified, 0);
        QCOMPARE(readFile(userFile()), QByteArray("U+4E03\tkDefinition\tseven\n"));
    }
};

QTEST_APPLESS_MAIN(LocationsTest)
#include "tst_locations.moc"
