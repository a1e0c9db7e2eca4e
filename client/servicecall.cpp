#include "client/servicecall.h"

#include "app/servicenames.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <signal.h>

#include <cerrno>

namespace {

bool nameOwned(QDBusConnection& bus)
{
    const QDBusReply<bool> owned = bus.interface()->isServiceRegistered(tavi_dbus::busName());
    return owned.isValid() && owned.value();
}

bool processGone(qint64 pid)
{
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

QString ensureTaviRuns(QDBusConnection& bus, const QString& taviProgram, int waitMs)
{
    if (nameOwned(bus))
        return QString();

    if (!QFileInfo(taviProgram).isExecutable())
        return QStringLiteral("Tavi is not running, and there is no Tavi to start at %1")
            .arg(taviProgram);

    QProcess tavi;
    tavi.setProgram(taviProgram);
    tavi.setStandardInputFile(QProcess::nullDevice());
    tavi.setStandardOutputFile(QProcess::nullDevice());
    tavi.setStandardErrorFile(QProcess::nullDevice());
    tavi.setWorkingDirectory(QDir::homePath());
    qint64 pid = 0;
    if (!tavi.startDetached(&pid))
        return QStringLiteral("Tavi could not start: %1").arg(tavi.errorString());

    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (nameOwned(bus))
            return QString();
        // A Tavi that ended may have handed over to one that started at
        // the same time: the name is asked once more before giving up.
        if (processGone(pid) || deadline.hasExpired())
            break;
        QThread::msleep(50);
    }
    if (nameOwned(bus))
        return QString();
    if (processGone(pid))
        return QStringLiteral("Tavi could not start (%1 ended without offering its services)")
            .arg(taviProgram);
    return QStringLiteral("Tavi did not offer its services within %1 seconds").arg(waitMs / 1000);
}

ServiceAnswer callService(QDBusConnection& bus, const QString& message, const QString& text)
{
    // A look-up that brings a window forward carries the token this program
    // was started with, which the desktop wants before it raises a window.
    const QVariantMap platformData = tavi_dbus::activationPlatformData();
    const bool asAction = tavi_dbus::isActionMessage(message) && !platformData.isEmpty();
    QDBusMessage call =
        asAction ? QDBusMessage::createMethodCall(tavi_dbus::busName(), tavi_dbus::objectPath(),
                                                  tavi_dbus::applicationInterface(),
                                                  tavi_dbus::activateActionMethod())
                 : QDBusMessage::createMethodCall(tavi_dbus::busName(), tavi_dbus::objectPath(),
                                                  tavi_dbus::servicesInterface(),
                                                  tavi_dbus::performMethod());
    // The Tavi of this prefix has been started if need be; the bus must not
    // start one of another prefix.
    call.setAutoStartService(false);
    if (asAction)
        call << message << QVariantList{QVariant::fromValue(QDBusVariant(text))} << platformData;
    else
        call << message << text;
    const QDBusMessage answer = bus.call(call, QDBus::Block, kCallTimeoutMs);

    ServiceAnswer result;
    if (answer.type() == QDBusMessage::ErrorMessage &&
        answer.errorName().startsWith(QStringLiteral("com.Quillon.Tavi.Error."))) {
        result.error = QStringLiteral("Tavi refused: %1").arg(answer.errorMessage());
        return result;
    }
    if (answer.type() != QDBusMessage::ReplyMessage) {
        result.error =
            QStringLiteral("Tavi did not answer: %1")
                .arg(answer.errorMessage().isEmpty() ? answer.errorName() : answer.errorMessage());
        return result;
    }
    const QVariantList arguments = answer.arguments();
    if (asAction)
        return result; // an action has no reply
    if (arguments.isEmpty()) {
        result.error = QStringLiteral("Tavi answered without a reply value");
        return result;
    }
    const QVariant value = arguments.first().value<QDBusVariant>().variant();
    if (value.typeId() == QMetaType::QByteArray)
        result.reply = value.toByteArray();
    else if (value.typeId() == QMetaType::QString)
        result.reply = value.toString().toUtf8();
    else
        result.error = QStringLiteral("Tavi answered with a reply of an unknown kind (%1)")
                           .arg(QString::fromLatin1(value.typeName()));
    return result;
}
