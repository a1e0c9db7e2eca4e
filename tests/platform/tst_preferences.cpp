// The preference store: named 32-bit integers in an INI file.

#include "platform/folders.h"
#include "platform/internal.h"
#include "platform/preferences.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

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
    void valuesRoundTripThroughTheFile();
    void storedTexts_data();
    void storedTexts();
};

void PreferencesTest::valuesRoundTripThroughTheFile()
{
    const QString domain = freshDomain();
    CFPreferencesSetAppValue(QStringLiteral("filterState"), -1, domain);
    CFPreferencesSetAppValue(QStringLiteral("floatingCharType"), int(FOUR_CHAR_CODE("CHAR")),
                             domain);
    QVERIFY(CFPreferencesAppSynchronize(domain));

    // Read back by a reader that knows nothing of the writer.
    QSettings file(PreferencesFilePath(domain), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("floatingCharType")).toString(),
             QStringLiteral("1128808786"));

    Boolean valid = false;
    QCOMPARE(CFPreferencesGetAppIntegerValue(QStringLiteral("filterState"), domain, &valid),
             CFIndex(-1));
    QVERIFY(valid);
    QCOMPARE(CFPreferencesGetAppIntegerValue(QStringLiteral("absent"), domain, &valid), CFIndex(0));
    QVERIFY(!valid);
}

void PreferencesTest::storedTexts_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("positive") << QByteArray("7") << true << 7;
    QTest::newRow("surrounding blanks") << QByteArray("\" 12 \"") << true << 12;
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
    QCOMPARE(CFPreferencesGetAppIntegerValue(QStringLiteral("key"), domain, &found),
             CFIndex(value));
    QCOMPARE(bool(found), valid);
    // A bad value spoils nothing else.
    QCOMPARE(CFPreferencesGetAppIntegerValue(QStringLiteral("other"), domain, &found), CFIndex(5));
}

QTEST_GUILESS_MAIN(PreferencesTest)
#include "tst_preferences.moc"
