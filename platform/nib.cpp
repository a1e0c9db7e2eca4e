#include "platform/nib.h"

#include "platform/internal.h"

#include "platform/commands.h"
#include "platform/folders.h"
#include "platform/menubar.h"
#include "platform/windows.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QUiLoader>
#include <QWidget>

#include <cstdio>
#include <memory>

namespace {

constexpr OSStatus eventInternalErr = -9868;

bool isPlainName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(u'\\') && !name.contains(QChar(0));
}

// One loader for every interface file. Made, a loader loads every Qt
// Designer plugin under the library paths, and one of them brings in all of
// Qt Quick; the interface files use Qt's own widgets only, so it is made
// with no library paths, which are then put back as they were.
QUiLoader& uiLoader()
{
    static QUiLoader* loader = [] {
        const QStringList paths = QCoreApplication::libraryPaths();
        QCoreApplication::setLibraryPaths({});
        // Kept for the life of the process, whichever application object
        // comes and goes.
        auto* made = new QUiLoader;
        QCoreApplication::setLibraryPaths(paths);
        return made;
    }();
    return *loader;
}

// Loads <folder>/<name>.ui as a top-level widget.
OSStatus loadUiFile(IBNibRef nibRef, const QString& name, QWidget** outWidget)
{
    *outWidget = nullptr;
    if (!nibRef || !isPlainName(name))
        return paramErr;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return eventInternalErr;
    const QString path = nibRef->folder + u'/' + name + QStringLiteral(".ui");
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "Interface resource '%s' not found\n", qUtf8Printable(path));
        return kIBCarbonRuntimeCantFindObject;
    }
    QUiLoader& loader = uiLoader();
    loader.setWorkingDirectory(QDir(nibRef->folder));
    QWidget* widget = loader.load(&file, nullptr);
    if (!widget) {
        std::fprintf(stderr, "Interface resource '%s' cannot be loaded: %s\n", qUtf8Printable(path),
                     qUtf8Printable(loader.errorString()));
        return kIBCarbonRuntimeObjectNotOfRequestedType;
    }
    *outWidget = widget;
    return noErr;
}

} // namespace

OSStatus CreateNibReference(const QString& name, IBNibRef* outNibRef)
{
    if (!outNibRef)
        return paramErr;
    *outNibRef = nullptr;
    if (!isPlainName(name))
        return paramErr;
    const QString folder = GetBundleResourcesFolder() + u'/' + name;
    if (!QFileInfo(folder).isDir()) {
        std::fprintf(stderr, "Interface resources '%s' not found\n", qUtf8Printable(folder));
        return kIBCarbonRuntimeCantFindNibFile;
    }
    *outNibRef = new NibReference(folder);
    return noErr;
}

void DisposeNibReference(IBNibRef nibRef)
{
    delete nibRef;
}

OSStatus CreateWindowFromNib(IBNibRef nibRef, const QString& name, WindowRef* outWindow)
{
    if (!outWindow)
        return paramErr;
    *outWindow = nullptr;
    QWidget* widget = nullptr;
    OSStatus status = loadUiFile(nibRef, name, &widget);
    if (status != noErr)
        return status;
    status = CreateWindowFromWidget(widget, outWindow);
    if (status != noErr) {
        delete widget;
        return status;
    }
    ConnectCommandSources(widget);
    if (WindowWantsMenuBar(*outWindow))
        AttachMenuBarToWindow(*outWindow);
    return noErr;
}

OSStatus SetMenuBarFromNib(IBNibRef nibRef, const QString& name)
{
    QWidget* widget = nullptr;
    const OSStatus status = loadUiFile(nibRef, name, &widget);
    if (status != noErr)
        return status;
    auto* source = qobject_cast<QMainWindow*>(widget);
    if (!source) {
        std::fprintf(stderr, "Interface resource '%s' is not a menu bar\n", qUtf8Printable(name));
        delete widget;
        return kIBCarbonRuntimeObjectNotOfRequestedType;
    }
    return InstallMenuBar(source);
}
