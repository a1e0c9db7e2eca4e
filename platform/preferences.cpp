#include "platform/preferences.h"

#include "platform/folders.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <unistd.h>

#include <cstdio>
#include <limits>
#include <map>
#include <memory>

const QString kCFPreferencesCurrentApplication = QStringLiteral("kCFPreferencesCurrentApplication");

namespace {

QString& currentDomain()
{
    static QString domain = QStringLiteral("com.Quillon.Tavi");
    return domain;
}

QString resolveDomain(const QString& applicationID)
{
    return applicationID == kCFPreferencesCurrentApplication ? currentDomain() : applicationID;
}

bool isValidDomain(const QString& domain)
{
    return !domain.isEmpty() && !domain.startsWith(u'.') && !domain.contains(u'/') &&
           !domain.contains(u'\\') && !domain.contains(QChar(0));
}

// QSettings reads '/' and '\' in a key as group separators; they are escaped
// (and '%' with them) so every key is one entry of its own.
QString escapeKey(const QString& key)
{
    QString escaped = key;
    escaped.replace(u'%', QStringLiteral("%25"));
    escaped.replace(u'/', QStringLiteral("%2F"));
    escaped.replace(u'\\', QStringLiteral("%5C"));
    return escaped;
}

// Open settings per file, so unsynchronised changes are seen by later reads.
// Never destroyed: a QSettings flushes when it is, and at exit only an
// explicit synchronise may write.
std::map<QString, std::unique_ptr<QSettings>>& openSettings()
{
    static auto* open = new std::map<QString, std::unique_ptr<QSettings>>;
    return *open;
}

QSettings* settingsFor(const QString& applicationID)
{
    const QString domain = resolveDomain(applicationID);
    if (!isValidDomain(domain))
        return nullptr;
    const QString path = PreferencesFilePath(domain);
    auto& slot = openSettings()[path];
    if (!slot)
        slot = std::make_unique<QSettings>(path, QSettings::IniFormat);
    return slot.get();
}

bool toInt32(const QVariant& value, SInt32* out)
{
    bool ok = false;
    qlonglong number = 0;
    switch (value.typeId()) {
    case QMetaType::Bool:
        number = value.toBool() ? 1 : 0;
        ok = true;
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        number = value.toLongLong(&ok);
        break;
    case QMetaType::ULongLong: {
        const qulonglong u = value.toULongLong(&ok);
        ok = ok && u <= qulonglong(std::numeric_limits<SInt32>::max());
        number = qlonglong(u);
        break;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        // What the file holds: base-10 digits with an optional sign.
        const QString text = value.toString().trimmed();
        number = text.toLongLong(&ok, 10);
        break;
    }
    default:
        return false;
    }
    if (!ok || number < std::numeric_limits<SInt32>::min() ||
        number > std::numeric_limits<SInt32>::max())
        return false;
    *out = SInt32(number);
    return true;
}

} // namespace

void SetCurrentApplicationPreferencesDomain(const QString& domain)
{
    if (isValidDomain(domain))
        currentDomain() = domain;
}

QString CurrentApplicationPreferencesDomain()
{
    return currentDomain();
}

QString PreferencesFilePath(const QString& applicationID)
{
    return GetUserPreferencesFolder() + u'/' + resolveDomain(applicationID) +
           QStringLiteral(".ini");
}

CFIndex CFPreferencesGetAppIntegerValue(const QString& key, const QString& applicationID,
                                        Boolean* keyExistsAndHasValidFormat)
{
    SInt32 number = 0;
    bool valid = false;
    QSettings* settings = settingsFor(applicationID);
    if (settings && !key.isEmpty()) {
        const QVariant value = settings->value(escapeKey(key));
        valid = value.isValid() && toInt32(value, &number);
    }
    if (keyExistsAndHasValidFormat)
        *keyExistsAndHasValidFormat = valid;
    return valid ? number : 0;
}

void CFPreferencesSetAppValue(const QString& key, const QVariant& value,
                              const QString& applicationID)
{
    QSettings* settings = settingsFor(applicationID);
    if (!settings || key.isEmpty()) {
        std::printf("Preference '%s' of '%s' cannot be stored\n", qUtf8Printable(key),
                    qUtf8Printable(applicationID));
        return;
    }
    if (!value.isValid()) {
        settings->remove(escapeKey(key));
        return;
    }
    SInt32 number = 0;
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray ||
        !toInt32(value, &number)) {
        std::printf("Preference '%s' is not a 32-bit integer\n", qUtf8Printable(key));
        return;
    }
    settings->setValue(escapeKey(key), number);
}

void RemovePreferenceKeysExcept(const QSet<QString>& keep, const QString& applicationID)
{
    QSettings* settings = settingsFor(applicationID);
    if (!settings)
        return;
    // Everything goes and the kept keys come back: a damaged file's keys
    // need not even have a name that QSettings can remove.
    std::map<QString, QVariant> kept;
    for (const QString& key : keep) {
        const QString escaped = escapeKey(key);
        if (!key.isEmpty() && settings->contains(escaped))
            kept[escaped] = settings->value(escaped);
    }
    settings->clear();
    for (const auto& [key, value] : kept)
        settings->setValue(key, value);
}

void DiscardUnsavedPreferences(const QString& applicationID)
{
    const QString domain = resolveDomain(applicationID);
    if (isValidDomain(domain))
        openSettings().erase(PreferencesFilePath(domain));
}

namespace {

// Whether the file on disk holds exactly what `settings` holds. It is read
// through a second name of the same file, which QSettings parses afresh.
bool fileHoldsSettings(const QSettings& settings)
{
    static int checks = 0;
    const QByteArray path = QFile::encodeName(settings.fileName());
    const QByteArray check = path + ".check" + QByteArray::number(qint64(::getpid())) + '.' +
                             QByteArray::number(++checks);
    if (::link(path.constData(), check.constData()) != 0)
        return true; // nothing to compare with: the status has to do
    bool same = false;
    {
        const QSettings written(QFile::decodeName(check), QSettings::IniFormat);
        QStringList keys = settings.allKeys();
        QStringList writtenKeys = written.allKeys();
        keys.sort();
        writtenKeys.sort();
        same = keys == writtenKeys;
        for (qsizetype i = 0; same && i < keys.size(); ++i)
            same = written.value(keys[i]).toString() == settings.value(keys[i]).toString();
    }
    ::unlink(check.constData());
    return same;
}

} // namespace

Boolean CFPreferencesAppSynchronize(const QString& applicationID)
{
    QSettings* settings = settingsFor(applicationID);
    if (!settings)
        return false;
    QDir().mkpath(GetUserPreferencesFolder());
    // The file as it was, under a second name, to put back should the new
    // one come out incomplete.
    const QByteArray path = QFile::encodeName(settings->fileName());
    const QByteArray previous = path + ".previous";
    ::unlink(previous.constData());
    const bool kept = ::link(path.constData(), previous.constData()) == 0;
    settings->sync();
    // A format error is one QSettings met reading the old file; whether the
    // new one was written is what the comparison below tells.
    const char* problem = settings->status() == QSettings::AccessError ? "access error" : nullptr;
    // QSaveFile's commit misses a flush that stops part way, as on a full
    // disk, and puts the cut-off file in place of the old one.
    if (!problem && !fileHoldsSettings(*settings)) {
        problem = "incomplete write";
        if (kept)
            ::rename(previous.constData(), path.constData());
    }
    if (kept)
        ::unlink(previous.constData());
    if (problem) {
        std::printf("Could not write preferences '%s' (%s)\n", qUtf8Printable(settings->fileName()),
                    problem);
        return false;
    }
    return true;
}
