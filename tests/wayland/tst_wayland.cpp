// Tavi as a Wayland client of a headless compositor (sway, started here):
// the names its windows carry, the selection read through the compositor,
// and windows brought forward with an activation token. This process is the
// running Tavi, on a private session bus; tavi-service, a second `tavi`,
// wl-copy and another program are real programs beside it.

#include "tests/common/desktop.h"
#include "tests/services/servicestest.h"
#include "tests/wayland/swaysession.h"

#include "app/servicesbridge.h"
#include "program/startup.h"
#include "windows/floating/floatingwindow.h"

#include "xdg-activation-v1-client-protocol.h"

#include <QApplication>
#include <QStandardPaths>
#include <QWidget>
#include <qpa/qplatformnativeinterface.h>

#include <QElapsedTimer>

#include <wayland-client.h>

#include <cstring>
#include <memory>

using namespace stest;

namespace {

SwaySession* g_sway = nullptr;

QList<QJsonObject> viewsOf(qint64 pid)
{
    QList<QJsonObject> found;
    for (const QJsonObject& view : SwaySession::views(g_sway->tree())) {
        if (view.value(QLatin1String("pid")).toInteger() == pid)
            found.append(view);
    }
    return found;
}

// Whether a window of this process with the title is mapped.
bool hasView(const QString& title)
{
    for (const QJsonObject& view : viewsOf(QCoreApplication::applicationPid())) {
        if (view.value(QLatin1String("name")).toString() == title)
            return true;
    }
    return false;
}

// The process and title of the window that has the keyboard focus.
struct Focused {
    qint64 pid = 0;
    QString title;
};
Focused focused()
{
    for (const QJsonObject& view : SwaySession::views(g_sway->tree())) {
        if (view.value(QLatin1String("focused")).toBool())
            return {view.value(QLatin1String("pid")).toInteger(),
                    view.value(QLatin1String("name")).toString()};
    }
    return {};
}

// A token as a launcher gets one from the compositor (xdg-activation).
struct TokenRequest {
    xdg_activation_v1* activation = nullptr;
    QString token;
};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* request = static_cast<TokenRequest*>(data);
    if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0)
        request->activation = static_cast<xdg_activation_v1*>(
            wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
}
void onGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener = {onGlobal, onGlobalRemove};

void onDone(void* data, xdg_activation_token_v1*, const char* token)
{
    static_cast<TokenRequest*>(data)->token = QString::fromUtf8(token);
}
const xdg_activation_token_v1_listener tokenListener = {onDone};

QString activationToken()
{
    auto* display = static_cast<wl_display*>(
        QGuiApplication::platformNativeInterface()->nativeResourceForIntegration("wl_display"));
    if (!display)
        return QString();
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    wl_registry* registry = wl_display_get_registry(wrapper);
    TokenRequest request;
    wl_registry_add_listener(registry, &registryListener, &request);
    wl_display_roundtrip_queue(display, queue);
    if (request.activation) {
        xdg_activation_token_v1* token = xdg_activation_v1_get_activation_token(request.activation);
        xdg_activation_token_v1_add_listener(token, &tokenListener, &request);
        xdg_activation_token_v1_commit(token);
        for (int i = 0; i < 10 && request.token.isEmpty(); ++i)
            wl_display_roundtrip_queue(display, queue);
        xdg_activation_token_v1_destroy(token);
        xdg_activation_v1_destroy(request.activation);
    }
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(wrapper);
    wl_event_queue_destroy(queue);
    return request.token;
}

// wl-copy holding `text` as the primary selection or the clipboard.
std::unique_ptr<QProcess> offerSelection(const QString& text, bool primary)
{
    auto owner = std::make_unique<QProcess>();
    owner->setProcessEnvironment(g_sway->environment());
    QStringList arguments{QStringLiteral("--foreground")};
    if (primary)
        arguments << QStringLiteral("--primary");
    owner->start(QStringLiteral("wl-copy"), arguments << text);
    return owner;
}

} // namespace

class WaylandTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void theWindowsAreNamedFloatAndKeepTheirSavedCorners();
    void theSelectionIsReadThroughTheCompositor_data();
    void theSelectionIsReadThroughTheCompositor();
    void aTokenBringsTheDictionaryWindowForward_data();
    void aTokenBringsTheDictionaryWindowForward();
    void theHistoryDrawerIsAPanelOfTheFloatingWindow();

private:
    std::unique_ptr<ftest::AlertRecorder> alerts;
};

void WaylandTest::initTestCase()
{
    if (!g_sway->ready())
        QSKIP(qPrintable(g_sway->why()));
    if (QStandardPaths::findExecutable(QStringLiteral("wl-copy")).isEmpty())
        QSKIP("wl-copy is not installed (package wl-clipboard)");
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
    alerts = std::make_unique<ftest::AlertRecorder>();
    setDesktopIdentity();
    QVERIFY(setUpTavi());
    QCOMPARE(startDesktopServices(), DesktopServices::Offered);
    desktopServicesReady();
}

void WaylandTest::init()
{
    ftest::resetGlobals();
    history.clear();
}

void WaylandTest::cleanup()
{
    ftest::disposeAllWindows();
    QVERIFY(alerts->recorded->requests.empty());
}

// ConvertUnicode prints what it was given; LookupQuickly (out "") shows it
// in the floating window and records it.
void WaylandTest::theSelectionIsReadThroughTheCompositor_data()
{
    QTest::addColumn<QString>("primary");   // empty: none
    QTest::addColumn<QString>("clipboard"); // empty: none
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::newRow("the primary selection")
        << QStringLiteral("水") << QString() << QByteArray("0x6C34\n") << QByteArray();
    QTest::newRow("the primary selection, looked up quickly")
        << QStringLiteral("水") << QString() << QByteArray() << QByteArray();
    QTest::newRow("the primary selection before the clipboard")
        << QStringLiteral("水") << QStringLiteral("火") << QByteArray("0x6C34\n") << QByteArray();
    QTest::newRow("the clipboard when nothing is selected")
        << QString() << QStringLiteral(" 火\n") << QByteArray("0x706B\n") << QByteArray();
    QTest::newRow("neither") << QString() << QString() << QByteArray()
                             << QByteArray("tavi-service: no text: nothing is selected and the "
                                           "clipboard is empty\n");
}

void WaylandTest::theSelectionIsReadThroughTheCompositor()
{
    QFETCH(QString, primary);
    QFETCH(QString, clipboard);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    std::vector<std::unique_ptr<QProcess>> owners;
    if (!primary.isEmpty())
        owners.push_back(offerSelection(primary, true));
    if (!clipboard.isEmpty())
        owners.push_back(offerSelection(clipboard, false));
    for (const auto& owner : owners)
        QVERIFY(owner->waitForStarted(10000));
    // wl-copy owns the selection once the compositor has its offer.
    QTest::qWait(owners.empty() ? 0 : 500);

    const bool lookUp = out.isEmpty() && err.isEmpty();
    const Run run = runProgram(buildProgram("tavi-service"),
                               {QLatin1String(lookUp ? "LookupQuickly" : "ConvertUnicode")},
                               QByteArray(), 30000, g_sway->environment());
    for (const auto& owner : owners)
        wtest::stopProcess(*owner);
    QVERIFY(run.finished);
    QCOMPARE(run.err, err);
    QCOMPARE(run.out, out);
    QCOMPARE(run.exitCode, err.isEmpty() ? 0 : 1);
    if (lookUp) {
        QCOMPARE(textOf(kFloatingWindowTag, "CHAR"_4cc), QStringLiteral("水"));
        QCOMPARE(history.size(), std::size_t(1));
        QCOMPARE(dict.entries[history.front()]->display, QStringLiteral("水"));
    }
}

void WaylandTest::aTokenBringsTheDictionaryWindowForward_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("withToken");
    const QStringList lookup{QStringLiteral("Lookup"), QStringLiteral("水")};
    QTest::newRow("Lookup") << QStringLiteral("tavi-service") << lookup << true;
    QTest::newRow("a second start") << QStringLiteral("tavi") << QStringList() << true;
    // The compositor's choice: without a token the other program keeps it.
    QTest::newRow("Lookup without a token") << QStringLiteral("tavi-service") << lookup << false;
}

void WaylandTest::aTokenBringsTheDictionaryWindowForward()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(bool, withToken);
    createDictionaryWindow();
    QWidget* dictionary = GetWindowWidget(FindMyWindow(kDictionaryWindowTag, false));
    const QString title = dictionary->windowTitle();
    QTRY_COMPARE_WITH_TIMEOUT(focused().pid, QCoreApplication::applicationPid(), 30000);

    // Another program's new window takes the focus.
    QProcess other;
    QVERIFY(wtest::startOtherProgram(other, g_sway->environment()));
    QTRY_COMPARE_WITH_TIMEOUT(focused().pid, other.processId(), 30000);

    QProcessEnvironment environment = g_sway->environment();
    if (withToken) {
        const QString token = activationToken();
        QVERIFY(!token.isEmpty());
        environment.insert(QStringLiteral("XDG_ACTIVATION_TOKEN"), token);
    }
    const Run run =
        runProgram(buildProgram(qPrintable(program)), arguments, QByteArray(), 30000, environment);
    QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
    if (withToken) {
        QTRY_COMPARE_WITH_TIMEOUT(focused().pid, QCoreApplication::applicationPid(), 30000);
        QCOMPARE(focused().title, title);
    } else {
        QTest::qWait(1000);
        QCOMPARE(focused().pid, other.processId());
    }
    other.closeWriteChannel();
    QVERIFY(other.waitForFinished(10000));
}

// Both windows carry the desktop entry's name, and the floating window floats
// (a tiling compositor tiled it to half the screen). Only sizes are saved: a
// client cannot learn where its windows are, so the corners it would save
// were made up (0,19), and later runs opened there.
void WaylandTest::theWindowsAreNamedFloatAndKeepTheirSavedCorners()
{
    globals.DictLeftCorner = 300;
    globals.DictTopCorner = 200;
    globals.DictRightCorner = 1100;
    globals.DictBottomCorner = 800;
    globals.FloatLeftCorner = 320;
    globals.FloatTopCorner = 240;
    createDictionaryWindow();
    createFloatingWindow();
    const QString title = GetWindowWidget(FindMyWindow(kFloatingWindowTag, false))->windowTitle();
    QList<QJsonObject> views;
    QTRY_COMPARE_WITH_TIMEOUT((views = viewsOf(QCoreApplication::applicationPid())).size(), 2,
                              30000);
    QStringList floating;
    for (const QJsonObject& view : views) {
        QCOMPARE(view.value(QLatin1String("app_id")).toString(),
                 QStringLiteral("com.Quillon.Tavi"));
        if (view.value(QLatin1String("name")).toString() == title)
            floating << view.value(QLatin1String("type")).toString();
    }
    QCOMPARE(floating, QStringList{QStringLiteral("floating_con")});

    Rect bounds{};
    GetWindowBounds(FindMyWindow(kDictionaryWindowTag, false), kWindowContentRgn, &bounds);
    updateWindowPrefValues();
    QCOMPARE(globals.DictLeftCorner, 300);
    QCOMPARE(globals.DictTopCorner, 200);
    QCOMPARE(globals.DictRightCorner - globals.DictLeftCorner, bounds.right - bounds.left);
    QCOMPARE(globals.DictBottomCorner - globals.DictTopCorner, bounds.bottom - bounds.top);
    QCOMPARE(globals.FloatLeftCorner, 320);
    QCOMPARE(globals.FloatTopCorner, 240);
}

// Wayland gives a client no way to keep a window of its own beside another:
// the drawer is a panel inside the floating window, with the same list.
void WaylandTest::theHistoryDrawerIsAPanelOfTheFloatingWindow()
{
    history = {0, 1, 2};
    createDictionaryWindow(); // the floating window floats: its size is its own
    createFloatingWindow();
    QWidget* floating = GetWindowWidget(FindMyWindow(kFloatingWindowTag, false));
    // Counted in wall-clock time, and asked once per round: on a loaded
    // machine a query of the compositor can come back empty now and then.
    QElapsedTimer waited;
    waited.start();
    bool mapped = false;
    while (!(mapped = hasView(floating->windowTitle())) && !waited.hasExpired(30000))
        QTest::qWait(100);
    QVERIFY2(mapped, qPrintable(QStringLiteral("no view \"%1\" after %2 ms")
                                    .arg(floating->windowTitle())
                                    .arg(waited.elapsed())));
    QTest::qWait(500); // the compositor's first configure

    sendApplicationCommand("LHWN"_4cc);
    QWidget* drawer = GetWindowWidget(FindMyWindow(kHistoryWindowTag, false));
    QVERIFY(drawer);
    QCOMPARE(drawer->window(), floating);
    QTRY_VERIFY(drawer->isVisible());
    const int opened = floating->width();
    QVERIFY(floating->rect().contains(drawer->geometry()));
    QCOMPARE(wtest::listedItems(controlOf(kHistoryWindowTag, "HSDB"_4cc)).size(), std::size_t(3));
    QTest::qWait(300);
    QVERIFY(!hasView(drawer->windowTitle()));

    sendApplicationCommand("LHWN"_4cc); // closes it
    QVERIFY(!drawer->isVisible());
    // The window gives the panel's width back.
    QTRY_COMPARE_WITH_TIMEOUT(floating->width(), opened - drawer->width(), 5000);
}

int main(int argc, char** argv)
{
    if (wtest::isOtherProgram(argc, argv))
        return wtest::runOtherProgram(argc, argv);
    // Before anything in this process can connect to a bus.
    PrivateSessionBus bus;
    if (!bus.isRunning()) {
        std::fputs("cannot start dbus-daemon --session (package dbus)\n", stderr);
        return 1;
    }
    SwaySession sway;
    g_sway = &sway;
    if (sway.ready())
        sway.enter();
    QApplication app(argc, argv);
    WaylandTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wayland.moc"
