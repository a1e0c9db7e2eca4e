#include "storetest.h"

#include "store/dictionary.h"
#include "store/locations.h"
#include "store/trace.h"

#include <QtTest>

namespace {

QString userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Tavi Dictionaries");
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

dictValue* addEdit(dictionary& d, std::vector<uint32_t> codes, const char* field,
                   const QByteArray& text)
{
    characterEntry probe(codes);
    auto* e = static_cast<characterEntry*>(d.table->IsIn(&probe));
    if (e == nullptr) {
        e = new characterEntry(std::move(codes));
        d.addCharacterEntry(e);
    }
    const int f = d.findField(field);
    e->remove(f);
    return d.addDictValue(e, f, text, QString::fromUtf8(text), 1);
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

    void loadDictionariesReadsTheUserDictionaryLast()
    {
        QVERIFY(QDir().mkpath(userFolder()));
        QVERIFY(writeFile(userFile(), "U+4E00\tkDefinition\tmine\n"));
        dictionary d;
        showTraceLines(true);
        StdoutCapture out;
        StderrCapture err;
        loadDictionaries(&d, nullptr);
        const QByteArray errors = err.finish();
        const QByteArray output = out.finish();
        showTraceLines(false);
        // The shipped dictionary is found beside the executable.
        QVERIFY2(output.startsWith("Got path " +
                                   QDir::cleanPath(QStringLiteral(TAVI_BUILD_SHARE_DIR)).toUtf8() +
                                   "\n"),
                 output.left(200).constData());
        QVERIFY(output.endsWith("Loading '" + userFile().toUtf8() + "'...\n"));
        QVERIFY2(!errors.contains("Unknown input"), errors.left(400).constData());
        const characterEntry* e = d.lookup(0x4E00);
        QVERIFY(e != nullptr);
        // With the shipped dictionary present, the user's value wins.
        if (d.findField("kDefinition") >= 0)
            QCOMPARE(e->lookup(d.findField("kDefinition"))->text(), QByteArray("mine"));
    }

    void savingAppendsOneLinePerEditedValue()
    {
        dictionary d;
        loadSmallIndex(d);
        dictValue* v = addEdit(d, {0xA0, 0x20000}, "kDefinition", "x");
        addEdit(d, {0x4E2D}, "kDefinition", "unchanged")->modified = 0;
        // TAB, CR and LF would cut the value or break the line format.
        addEdit(d, {0x4E00}, "kMandarin", "a\tb\rc\nd");
        save(d);
        QCOMPARE(v->modified, 0);
        save(d); // nothing pending: nothing written
        addEdit(d, {0xA0, 0x20000}, "kDefinition", "second");
        save(d);
        const QList<QByteArray> lines = readFile(userFile()).split('\n');
        QCOMPARE(QSet<QByteArray>(lines.begin(), lines.begin() + 2),
                 (QSet<QByteArray>{"U+A0+20000\tkDefinition\tx", "U+4E00\tkMandarin\ta b c d"}));
        QCOMPARE(lines.mid(2), (QList<QByteArray>{"U+A0+20000\tkDefinition\tsecond", ""}));
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
        loadUserFile(after);
        QCOMPARE(after.lookup(0x4E00)->values[0]->text(), QByteArray("far away"));

        qputenv("XDG_DATA_HOME", saved);
        QVERIFY(QDir(top).removeRecursively());
    }
};

QTEST_APPLESS_MAIN(LocationsTest)
#include "tst_locations.moc"
