#include "store/trace.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstring>

Q_LOGGING_CATEGORY(taviTrace, "tavi.trace", QtWarningMsg)

namespace {

QtMessageHandler otherMessages = nullptr;

// Trace lines as they are, one per line on standard output; every other
// message as Qt would show it.
void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (context.category && std::strcmp(context.category, taviTrace().categoryName()) == 0) {
        const QByteArray line = message.toUtf8() + '\n';
        std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout);
        std::fflush(stdout);
        return;
    }
    if (otherMessages)
        otherMessages(type, context, message);
}

} // namespace

void showTraceLines(bool on)
{
    static const bool installed = [] {
        otherMessages = qInstallMessageHandler(handleMessage);
        return true;
    }();
    Q_UNUSED(installed);
    QLoggingCategory::setFilterRules(on ? QStringLiteral("tavi.trace.debug=true")
                                        : QStringLiteral("tavi.trace.debug=false"));
}
