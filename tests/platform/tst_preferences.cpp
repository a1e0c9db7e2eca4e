// The preference store: named 32-bit integers in an INI file.

#include "platform/folders.h"
#include "platform/preferences.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

#include <limits>

namespace {

int domainCounter = 0;

// Each case gets a domain of its own, so nothing read before is cached.
QString freshDomain()
{
    return QStringLiteral("test.domain%1").arg(++domainCounter);
}

void writeIni(const QString& domain, const QByteArray& content)
{
    QDir().mkpath(GetUserPreferencesFolder());
    QFile file(PreferencesFilePath(domain));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class PreferencesTest : public QObject {
    Q_OBJECT
private slots:
    void theFileIsInTheConfigHome();
    void valuesRoundTripThroughTheFile();
    void storedTexts_data();
    void storedTexts();
    void anUnwritableFolderIsReported();
};

void PreferencesTest::theFileIsInTheConfigHome()
{
    QCOMPARE(PreferencesFilePath(kCFPreferencesCurrentApplication),
             qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/com.Quillon.Tavi.ini"));
}

void PreferencesTest::valuesRoundTripThroughTheFile()
{
    const QString domain = freshDomain();
    CFPreferencesSetAppValue(QStringLiteral("filterState"), -1, domain);
    CFPreferencesSetAppValue(QStringLiteral("floatingCharType"), int(FOUR_CHAR_CODE("CHAR")), domain);
    CFPreferencesSetAppValue(QStringLiteral("biggerFonts"), true, domain);
    CFPreferencesSetAppValue(QStringLiteral("min"), std::numeric_limits<SInt32>::min(), domain);
    QVERIFY(CFPreferencesAppSynchronize(domain));

    // Read back by a reader that knows nothing of the writer.
    QSettings file(PreferencesFilePath(domain), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("floatingCharType")).toString(), QStringLiteral("1128808786"));
    QCOMPARE(file.value(QStringLiteral("biggerFonts")).toString(), QStringLiteral("1"));

    Boolean valid = false;
    QCOMPARE(CFPreferencesGetAppIntegerValue(QStringLiteral("filterState"), domain, &valid), CFIndex(-1));
    QVERIFY(valid);
    QCOMPARE(CFPreferencesGetAppIntegerValue(QStringLiteral("min"), domain, &valid),
             CFIndex(std::numeric_limits<SInt32>::min()));
    QCOMPARE(CFPreferencesGetAppIntegerValue(QStringLiteral("absent"), domain, &valid), CFIndex(0));
    QVERIFY(!valid);
}

void PreferencesTest::storedTexts_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("positive") << QByteArray("7") << true << 7;
    QTest::newRow("negative") << QByteArray("-2") << true << -2;
    QTest::newRow("surrounding blanks") << QByteArray("\" 12 \"") << true << 12;
    QTest::newRow("largest") << QByteArray("2147483647") << true << 2147483647;
    // Words, fractions, hexadecimal and lists are refused in the
    // application's preference tests as well.
    QTest::newRow("one past 32 bits") << QByteArray("2147483648") << false << 0;
    QTest::newRow("bytes") << QByteArray("\"\\xff\\xfe\"") << false << 0;
}

void PreferencesTest::storedTexts()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, valid);
    QFETCH(int, value);
    const QString domain = freshDomain();
    writeIni(domain, "[General]\nkey=" + stored + "\nother=5\n");
    Boolean found = !valid;
    QCOMPARE(CFPreferencesGetAppIntegerValue(QStringLiteral("key"), domain, &found), CFIndex(value));
    QCOMPARE(bool(found), valid);
    // A bad value spoils nothing else.
    QCOMPARE(CFPreferencesGetAppIntegerValue(QStringLiteral("other"), domain, &found), CFIndex(5));
}

void PreferencesTest::anUnwritableFolderIsReported()
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    // A file where the folder should be stops even root from writing.
    const QString blocker = QString::fromLocal8Bit(saved) + QStringLiteral("/blocker");
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("XDG_CONFIG_HOME", (blocker + QStringLiteral("/config")).toLocal8Bit());
    const QString domain = freshDomain();
    CFPreferencesSetAppValue(QStringLiteral("filterState"), 3, domain);
    const bool written = CFPreferencesAppSynchronize(domain);
    qputenv("XDG_CONFIG_HOME", saved);
    QVERIFY(!written);
}

QTEST_GUILESS_MAIN(PreferencesTest)
#include "tst_preferences.moc"
