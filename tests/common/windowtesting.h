#pragma once

// Helpers shared by the window tests: disposing every window between tests,
// recorded alerts as "message / explanation" lines, and whole files.

#include "platform/windows.h"
#include "tests/common/testdoubles.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

namespace wtest {

inline void disposeAllWindows()
{
    for (WindowRef window : GetWindowList())
        DisposeWindow(window);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline QStringList alertTexts(const RecordingAlertPresenter* alerts)
{
    QStringList texts;
    for (const AlertRequest& request : alerts->requests)
        texts << request.message + QStringLiteral(" / ") + request.explanation;
    return texts;
}

// The file's bytes; empty when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace wtest
