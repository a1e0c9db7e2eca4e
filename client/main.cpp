// tavi-service MESSAGE [TEXT...]: hands a text to one of Tavi's desktop
// services and prints the reply. The text is the arguments joined by
// blanks; without them, standard input when it is a pipe or a file; else
// the selected text. When no Tavi runs, the Tavi beside this program is
// started. Every failure is one line on standard error and a non-zero exit.
#include "client/servicecall.h"
#include "client/textsource.h"
#include "client/waylandselection.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;
// How long the program that owns the selection may take to hand it over.
constexpr int kSelectionWaitMs = 3000;

const char kUsageText[] =
    "usage: tavi-service MESSAGE [TEXT...]\n"
    "Hands TEXT to Tavi and prints the reply. MESSAGE is one of\n"
    "  Lookup          show the entries that hold TEXT in the dictionary window\n"
    "  LookupQuickly   show the character or word TEXT in the floating window\n"
    "  ConvertPinyin   pinyin with tone numbers to tone marks (ni3 hao3 -> n\xC7\x90 h\xC7\x8Eo)\n"
    "  ConvertUnicode  each character as a hexadecimal code (0x4E2D)\n"
    "  Convert         each character as a numeric character reference (&#20013;)\n"
    "Without TEXT, the text is read from standard input when that is a pipe or a\n"
    "file, and is otherwise the selected text (or the clipboard's).\n"
    "Tavi is started when it does not run yet.\n"
    "\n"
    "  -h, --help     print this help and exit\n"
    "  -v, --version  print the version and exit\n";

int fail(const QString& why)
{
    std::fprintf(stderr, "tavi-service: %s\n",
                 tavi_dbus::escapedForOneLine(why).toLocal8Bit().constData());
    return kFailed;
}

// What a fatal Qt message stops; set while the selection is read.
const char* fatalDoing = "Qt failed";

// Qt's own messages are not the tool's: a failure stays one line. A display
// that cannot be reached is fatal inside Qt; it becomes that one line instead
// of an abort. The rest (such as warnings Qt's D-Bus thread prints while the
// process ends, when other programs are busy on the bus) are dropped.
void qtMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtFatalMsg)
        return;
    const QString line = message.section(QLatin1Char('\n'), 0, 0);
    std::fprintf(stderr, "tavi-service: %s: %s\n", fatalDoing, line.toLocal8Bit().constData());
    std::_Exit(kFailed);
}

// The selection under Wayland through the compositor's data-control
// protocol; else, or without Wayland, the X11 selection through Qt (under
// Wayland that of Xwayland, which GNOME and KDE keep in step both ways).
// A Wayland program cannot read the selection through Qt: Wayland gives it
// only to the program with the keyboard focus, which a shortcut's never has.
struct SelectionRead {
    TextSource source;
    QString error; // why no selection could be read at all
};

SelectionRead readSelection(int argc, char** argv, std::unique_ptr<QCoreApplication>& app)
{
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    QString waylandWhy;
    if (wayland) {
        const WaylandSelection read = readWaylandSelection(kMaxSelectionBytes, kSelectionWaitMs);
        switch (read.status) {
        case WaylandSelection::Status::Read:
            app = std::make_unique<QCoreApplication>(argc, argv);
            return {textFromSelectionBytes(read.text), QString()};
        case WaylandSelection::Status::NoCompositor:
            waylandWhy = QStringLiteral("no Wayland compositor answers at WAYLAND_DISPLAY");
            break;
        case WaylandSelection::Status::NoDataControl:
            waylandWhy = QStringLiteral("the Wayland compositor does not let other programs read "
                                        "the selection (it offers no data-control protocol)");
            break;
        case WaylandSelection::Status::Failed:
            waylandWhy = read.error;
            break;
        }
        if (!x11)
            return {TextSource(),
                    QStringLiteral("cannot read the selected text: %1, and there is no X11 "
                                   "display (Xwayland) to read it from; give the text as "
                                   "arguments or on standard input")
                        .arg(waylandWhy)};
    }

    static std::vector<char*> guiArguments(argv, argv + argc);
    static char platformOption[] = "-platform";
    static char xcb[] = "xcb";
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (x11 && (platform.isEmpty() || platform.startsWith("wayland"))) {
        guiArguments.push_back(platformOption);
        guiArguments.push_back(xcb);
    }
    static int guiArgumentCount = int(guiArguments.size());
    guiArguments.push_back(nullptr);
    fatalDoing = "cannot read the selected text";
    app = std::make_unique<QGuiApplication>(guiArgumentCount, guiArguments.data());
    SelectionRead result{textFromSelection(), QString()};
    fatalDoing = "Qt failed";
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(qtMessageHandler);
    if (argc < 2) {
        std::fputs(kUsageText, stderr);
        return kUsage;
    }
    const QString first = QString::fromLocal8Bit(argv[1]);
    if (first == u"--help" || first == u"-h") {
        std::fputs(kUsageText, stdout);
        return 0;
    }
    if (first == u"--version" || first == u"-v") {
        std::fputs("tavi-service " TAVI_VERSION "\n", stdout);
        return 0;
    }
    const QString message = first;
    if (message.isEmpty())
        return fail(QStringLiteral("the message name is empty"));

    std::unique_ptr<QCoreApplication> app;
    TextSource source;
    if (argc > 2) {
        QStringList words;
        for (int i = 2; i < argc; ++i)
            words << QString::fromLocal8Bit(argv[i]);
        app = std::make_unique<QCoreApplication>(argc, argv);
        source = textFromArguments(words);
    } else if (standardInputHoldsText()) {
        app = std::make_unique<QCoreApplication>(argc, argv);
        source = textFromStandardInput();
    } else {
        if (!selectionAvailable())
            return fail(QStringLiteral("no text: none given, and no display to take the "
                                       "selected text from"));
        const SelectionRead read = readSelection(argc, argv, app);
        if (!read.error.isEmpty())
            return fail(read.error);
        source = read.source;
    }
    if (!source.error.isEmpty())
        return fail(source.error);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        const QString why = bus.lastError().message();
        return fail(QStringLiteral("no session bus to reach Tavi on (%1)")
                        .arg(why.isEmpty() ? QStringLiteral("no address") : why));
    }

    const QString tavi = QCoreApplication::applicationDirPath() + QStringLiteral("/tavi");
    const QString notRunning = ensureTaviRuns(bus, tavi, kStartWaitMs);
    if (!notRunning.isEmpty())
        return fail(notRunning);

    const ServiceAnswer answer = callService(bus, message, source.text);
    if (!answer.error.isEmpty())
        return fail(answer.error);
    if (!answer.reply.isEmpty()) {
        std::fwrite(answer.reply.constData(), 1, std::size_t(answer.reply.size()), stdout);
        std::fputc('\n', stdout);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return fail(QStringLiteral("cannot write the reply"));
    return 0;
}
