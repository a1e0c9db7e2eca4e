#include "platform/folders.h"

#include "platform/internal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

static QString GetUserDataFolder();

namespace {

constexpr OSType kApplicationSupportFolderType = FOUR_CHAR_CODE("asup");

QString& resourcesOverride()
{
    static QString path;
    return path;
}

QString executableFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
}

} // namespace

static QString GetUserDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString GetUserPreferencesFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString GetBundleResourcesFolder()
{
    if (!resourcesOverride().isEmpty())
        return resourcesOverride();
    return QDir::cleanPath(executableFolder() + QStringLiteral("/../share/tavi"));
}

void SetBundleResourcesFolderOverride(const QString& path)
{
    resourcesOverride() = path.isEmpty() ? QString() : QDir::cleanPath(path);
}

OSStatus FSFindFolder(SInt16, OSType folderType, Boolean createFolder, QString* outPath)
{
    if (!outPath)
        return paramErr;
    QString path;
    if (folderType == kApplicationSupportFolderType)
        path = GetUserDataFolder();
    else if (folderType == kPreferencesFolderType)
        path = GetUserPreferencesFolder();
    else
        return paramErr;
    if (path.isEmpty())
        return fnfErr;
    if (!QFileInfo(path).isDir()) {
        if (!createFolder)
            return fnfErr;
        if (!QDir().mkpath(path))
            return ioErr;
    }
    *outPath = path;
    return noErr;
}
