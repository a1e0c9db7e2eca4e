#include "platform/preferences.h"

#include "platform/internal.h"

#include "platform/durablefile.h"
#include "platform/folders.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QStringDecoder>

#include <cstdio>
#include <limits>
#include <map>

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

// Names each line of the file that is not valid UTF-8 on standard error:
// QSettings reads such bytes as U+FFFD without a word. A damaged file could
// hold millions of such lines; only the first hundred are named.
void reportInvalidUtf8(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray contents = file.readAll();
    int reported = 0;
    qsizetype line = 0;
    for (qsizetype start = 0; start < contents.size(); ++line) {
        qsizetype end = contents.indexOf('\n', start);
        if (end < 0)
            end = contents.size();
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString decoded = decoder(QByteArrayView(contents).sliced(start, end - start));
        Q_UNUSED(decoded); // decoding happens on the conversion to QString
        if (decoder.hasError() && ++reported <= 100)
            std::fprintf(stderr, "line %lld of %s: invalid UTF-8, kept with U+FFFD\n",
                         static_cast<long long>(line + 1), qUtf8Printable(path));
        start = end + 1;
    }
    if (reported > 100)
        std::fprintf(stderr, "%d more lines of %s were reported as above\n", reported - 100,
                     qUtf8Printable(path));
}

// The values of one preferences file. Changes stay here until the domain is
// synchronised, so later reads see them; without changes pending, a file
// changed on disk is read again. Keys are escaped (escapeKey), values are the
// file's texts or the integers set.
struct Domain {
    QString path;
    std::map<QString, QVariant> values;
    bool pending = false;
    QDateTime stamp;
    qint64 size = -1;

    void readIfChanged()
    {
        const QFileInfo file(path);
        const QDateTime fileStamp = file.exists() ? file.lastModified() : QDateTime();
        const qint64 fileSize = file.exists() ? file.size() : -1;
        if (pending || (fileStamp == stamp && fileSize == size && size != -2))
            return;
        stamp = fileStamp;
        size = fileSize;
        values.clear();
        // Only read: a QSettings that is never changed never writes.
        const QSettings settings(path, QSettings::IniFormat);
        const QStringList keys = settings.allKeys();
        for (const QString& key : keys)
            values[key] = settings.value(key);
        if (size > 0)
            reportInvalidUtf8(path);
    }
};

Domain* domainFor(const QString& applicationID)
{
    const QString domain = resolveDomain(applicationID);
    if (!isValidDomain(domain))
        return nullptr;
    static auto* open = new std::map<QString, Domain>;
    const QString path = PreferencesFilePath(domain);
    auto [slot, added] = open->try_emplace(path);
    if (added) {
        slot->second.path = path;
        slot->second.size = -2; // never read
    }
    slot->second.readIfChanged();
    return &slot->second;
}

// A key as QSettings writes it in an INI file.
QByteArray iniKey(const QString& key)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
            u == '_' || u == '-' || u == '.') {
            out += char(u);
        } else if (u <= 0xFF) {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += hex[(u >> shift) & 15];
        }
    }
    return out;
}

// A value as QSettings reads it back: plain when it can be, else quoted.
QByteArray iniValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::Int)
        return QByteArray::number(value.toInt());
    QByteArray text = value.toString().toUtf8();
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9+._-]*$"));
    if (plain.match(value.toString()).hasMatch())
        return text;
    text.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + text + '"';
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
    Domain* domain = domainFor(applicationID);
    if (domain && !key.isEmpty()) {
        const auto found = domain->values.find(escapeKey(key));
        valid = found != domain->values.end() && toInt32(found->second, &number);
    }
    if (keyExistsAndHasValidFormat)
        *keyExistsAndHasValidFormat = valid;
    return valid ? number : 0;
}

void CFPreferencesSetAppValue(const QString& key, const QVariant& value,
                              const QString& applicationID)
{
    Domain* domain = domainFor(applicationID);
    if (!domain || key.isEmpty()) {
        std::fprintf(stderr, "Preference '%s' of '%s' cannot be stored\n", qUtf8Printable(key),
                     qUtf8Printable(applicationID));
        return;
    }
    if (!value.isValid()) {
        domain->pending |= domain->values.erase(escapeKey(key)) != 0;
        return;
    }
    SInt32 number = 0;
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray ||
        !toInt32(value, &number)) {
        std::fprintf(stderr, "Preference '%s' is not a 32-bit integer\n", qUtf8Printable(key));
        return;
    }
    domain->values[escapeKey(key)] = QVariant(int(number));
    domain->pending = true;
}

void RemovePreferenceKeysExcept(const QSet<QString>& keep, const QString& applicationID)
{
    Domain* domain = domainFor(applicationID);
    if (!domain)
        return;
    QSet<QString> escaped;
    for (const QString& key : keep)
        escaped.insert(escapeKey(key));
    for (auto it = domain->values.begin(); it != domain->values.end();) {
        if (escaped.contains(it->first)) {
            ++it;
        } else {
            it = domain->values.erase(it);
            domain->pending = true;
        }
    }
}

void DiscardUnsavedPreferences(const QString& applicationID)
{
    if (Domain* domain = domainFor(applicationID)) {
        domain->pending = false;
        domain->size = -2; // read again at the next use
    }
}

Boolean CFPreferencesAppSynchronize(const QString& applicationID)
{
    return CFPreferencesAppSynchronize(applicationID, nullptr);
}

Boolean CFPreferencesAppSynchronize(const QString& applicationID, QString* outWhy)
{
    Domain* domain = domainFor(applicationID);
    if (!domain) {
        if (outWhy)
            *outWhy = QStringLiteral("the preference domain has no file");
        return false;
    }
    if (!domain->pending)
        return true; // nothing to write; the file was read again if it changed
    QDir().mkpath(GetUserPreferencesFolder());
    QByteArray contents;
    if (!domain->values.empty())
        contents = "[General]\n";
    for (const auto& [key, value] : domain->values)
        contents += iniKey(key) + '=' + iniValue(value) + '\n';
    QFileDevice::FileError error = QFileDevice::NoError;
    QString why;
    if (!WriteFileDurably(domain->path, contents, &error, &why)) {
        std::fprintf(stderr, "Could not write preferences '%s' (file error %d): %s\n",
                     qUtf8Printable(domain->path), int(error), qUtf8Printable(why));
        if (outWhy)
            *outWhy = why;
        return false;
    }
    domain->pending = false;
    const QFileInfo written(domain->path);
    domain->stamp = written.lastModified();
    domain->size = written.size();
    return true;
}
