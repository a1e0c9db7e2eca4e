#pragma once
// Helpers shared by the floating-window and history tests.

#include "app/globals.h"
#include "platform/alerts.h"
#include "platform/events.h"
#include "platform/nib.h"
#include "platform/windows.h"
#include "store/dictionary.h"
#include "tests/common/stdoutcapture.h"
#include "tests/common/testdoubles.h"
#include "tests/common/windowtesting.h"
#include "windows/lookup.h"
#include "windows/history/history.h"
#include "program/appcommands.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace ftest {

inline QByteArray fixturePath(const char* name)
{
    return QByteArray(TAVI_FIXTURES_DIR "/floating/") + name;
}

// The test dictionary (tests/fixtures/floating/lookup.txt) in `dict`, once.
inline void loadFixtureDictionary()
{
    if (!dict.entries.empty())
        return;
    const QByteArray path = fixturePath("lookup.txt");
    dict.loadIndex(path.constData());
    dict.load(path.constData(), nullptr);
}

// The preference defaults the floating window starts from.
inline void resetGlobals()
{
    globals = Globals{};
    globals.filterState = -1;
    globals.searchState = -2;
    globals.floatingCharType = FOUR_CHAR_CODE("CHAR");
    globals.floatingRomanType = FOUR_CHAR_CODE("PYIN");
    globals.floatingDefnType = FOUR_CHAR_CODE("EDEF");
    globals.ShowDictionary = 1;
    globals.dividerRatio = 1000;
    globals.DictLeftCorner = globals.DictTopCorner = -1;
    globals.DictRightCorner = globals.DictBottomCorner = -1;
    globals.FloatLeftCorner = globals.FloatTopCorner = -1;
}

inline std::vector<UniChar> unitsOf(const QString& text)
{
    return std::vector<UniChar>(text.utf16(), text.utf16() + text.size());
}

inline SInt32 lookUpCharacter(const QString& text)
{
    const auto units = unitsOf(text);
    return findCharacter(units.data(), SInt32(units.size()));
}

// A dictionary of its own, made from the text of a field index and of a
// dictionary file.
inline std::unique_ptr<dictionary> makeDictionary(const QByteArray& index, const QByteArray& lines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dictionary.txt"));
    for (const auto& [name, text] :
         {std::pair(path + QStringLiteral(".index"), index), std::pair(path, lines)}) {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return nullptr;
    }
    auto d = std::make_unique<dictionary>();
    const QByteArray encoded = QFile::encodeName(path);
    d->loadIndex(encoded.constData());
    d->load(encoded.constData(), nullptr);
    return d;
}

// The interface resources of the build tree, opened once.
inline bool openResources()
{
    return nibRef || CreateNibReference(QStringLiteral("Tavi"), &nibRef) == noErr;
}

// The application's handler of commands and services, installed once.
inline void installApplicationHandler()
{
    static const bool installed = [] {
        return InstallEventHandler(GetApplicationEventTarget(),
                                   NewEventHandlerUPP(applicationEventHandler),
                                   GetEventTypeCount(kApplicationEventTypes),
                                   kApplicationEventTypes, nullptr, nullptr) == noErr;
    }();
    Q_UNUSED(installed);
}

// Alerts are recorded instead of shown while this lives.
class AlertRecorder {
public:
    AlertRecorder()
    {
        auto recorder = std::make_unique<RecordingAlertPresenter>();
        recorded = recorder.get();
        previous = SetAlertPresenter(std::move(recorder));
    }
    ~AlertRecorder() { SetAlertPresenter(std::move(previous)); }
    AlertRecorder(const AlertRecorder&) = delete;
    AlertRecorder& operator=(const AlertRecorder&) = delete;
    RecordingAlertPresenter* recorded = nullptr;

private:
    std::unique_ptr<AlertPresenter> previous;
};

using wtest::disposeAllWindows;

} // namespace ftest
