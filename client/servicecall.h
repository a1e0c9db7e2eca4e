#pragma once
// Calling Tavi's services on the session bus, starting Tavi when none runs.

#include <QByteArray>
#include <QString>

class QDBusConnection;

// How long to wait for a Tavi that was just started to offer its services.
constexpr int kStartWaitMs = 15000;
// How long a call may take: the services wait while Tavi loads its
// dictionary, and while an alert it shows is open.
constexpr int kCallTimeoutMs = 120000;

// Makes sure a Tavi offers the services: when nobody owns the name, starts
// `taviProgram` (detached, its output discarded) and waits up to `waitMs`
// for the name. Empty on success, else why not.
QString ensureTaviRuns(QDBusConnection& bus, const QString& taviProgram, int waitMs);

struct ServiceAnswer {
    QByteArray reply; // what to print: UTF-8 of a Unicode reply, or the bytes
    QString error;    // not empty when the call failed
};
ServiceAnswer callService(QDBusConnection& bus, const QString& message, const QString& text);
