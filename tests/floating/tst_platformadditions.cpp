// Platform pieces of the history drawer that its own tests do not reach:
// a drawer's life beside its parent, raw key events and write streams.
// Docking, moving together and the toolbar button are driven through the
// real windows in the floating-window and history tests.

#include "platform/keyboard.h"
#include "platform/windowgroups.h"
#include "platform/writestream.h"
#include "tests/common/windowtesting.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

namespace {

WindowRef makeWindow(const QRect& geometry)
{
    auto* widget = new QWidget;
    widget->setGeometry(geometry);
    WindowRef window = nullptr;
    CreateWindowFromWidget(widget, &window);
    return window;
}

} // namespace

class PlatformAdditionsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { wtest::disposeAllWindows(); }

    void aDrawerTogglesAndGoesWithItsParent();
    void rawKeysReachTheWindowBeforeItsWidgets();
    void aWriteStreamReplacesTheFileOnlyWhenClosed();
};

void PlatformAdditionsTest::aDrawerTogglesAndGoesWithItsParent()
{
    WindowRef parent = makeWindow(QRect(300, 200, 200, 400));
    WindowRef drawer = makeWindow(QRect(0, 0, 150, 100));
    QCOMPARE(OpenDrawer(drawer, kWindowEdgeDefault, false), errInvalidWindowRef); // no parent yet
    ShowWindow(parent);
    SetDrawerParent(drawer, parent);
    QCOMPARE(GetDrawerState(drawer), kWindowDrawerClosed);
    ToggleDrawer(drawer);
    QCOMPARE(GetDrawerState(drawer), kWindowDrawerOpen);
    QVERIFY(IsWindowVisible(drawer));
    GetWindowWidget(parent)->resize(200, 300);
    QCOMPARE(GetWindowWidget(drawer)->height(), 300);
    ToggleDrawer(drawer);
    QCOMPARE(GetDrawerState(drawer), kWindowDrawerClosed);
    QVERIFY(!IsWindowVisible(drawer));
    QVERIFY(GetWindowWidget(drawer)); // closed, not disposed

    QPointer<QWidget> drawerWidget = GetWindowWidget(drawer);
    DisposeWindow(parent);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!drawerWidget);
    QVERIFY(GetWindowList().empty());
}

void PlatformAdditionsTest::rawKeysReachTheWindowBeforeItsWidgets()
{
    WindowRef window = makeWindow(QRect(100, 100, 200, 80));
    auto* edit = new QLineEdit(GetWindowWidget(window));
    new QVBoxLayout(GetWindowWidget(window));
    GetWindowWidget(window)->layout()->addWidget(edit);
    std::vector<int> characters;
    bool consume = true;
    constexpr EventTypeSpec kKey{kEventClassKeyboard, kEventRawKeyDown};
    InstallEventHandlerFunction(
        GetWindowEventTarget(window),
        [&](EventHandlerCallRef, EventRef event) {
            char c = 0;
            GetEventParameter(event, kEventParamKeyMacCharCodes, typeChar, nullptr, 1, nullptr, &c);
            characters.push_back(c);
            return consume ? noErr : eventNotHandledErr;
        },
        1, &kKey, nullptr);
    QCOMPARE(SetWindowSendsRawKeyEvents(window, true), noErr);
    ShowWindow(window);
    edit->setFocus();
    QWindow* handle = GetWindowWidget(window)->windowHandle();
    QTest::keyClick(handle, Qt::Key_A);
    QCOMPARE(edit->text(), QString()); // consumed
    consume = false;
    QTest::keyClick(handle, Qt::Key_B);
    QTest::keyClick(handle, Qt::Key_Backspace);
    QTest::keyClick(handle, Qt::Key_Delete);
    QCOMPARE(characters, (std::vector<int>{'a', 'b', 8, 8}));
    QCOMPARE(edit->text(), QString()); // b typed, then erased by Backspace
    SetWindowSendsRawKeyEvents(window, false);
    QTest::keyClick(handle, Qt::Key_C);
    QCOMPARE(characters.size(), std::size_t(4));
    QCOMPARE(edit->text(), QStringLiteral("c"));
}

void PlatformAdditionsTest::aWriteStreamReplacesTheFileOnlyWhenClosed()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();
    const QUrl url = CFURLCreateCopyAppendingPathComponent(
        nullptr, CFURLCreateWithFileSystemPath(nullptr, dir.path(), kCFURLPOSIXPathStyle, true),
        QStringLiteral("out.txt"), false);
    CFWriteStreamRef stream = CFWriteStreamCreateWithFile(nullptr, url);
    QVERIFY(stream && CFWriteStreamOpen(stream));
    const UInt8 bytes[] = {0xFE, 0xFF, 0x4E, 0x2D};
    QCOMPARE(CFWriteStreamWrite(stream, bytes, 4), CFIndex(4));
    QCOMPARE(wtest::readFile(path), QByteArray("old contents"));
    CFWriteStreamClose(stream);
    CFRelease(stream);
    QCOMPARE(wtest::readFile(path), QByteArray::fromHex("FEFF4E2D"));

    // A stream released without being closed leaves the file alone.
    stream = CFWriteStreamCreateWithFile(nullptr, url);
    CFWriteStreamOpen(stream);
    CFWriteStreamWrite(stream, bytes, 2);
    CFRelease(stream);
    QCOMPARE(wtest::readFile(path), QByteArray::fromHex("FEFF4E2D"));
    QVERIFY(!CFWriteStreamCreateWithFile(nullptr, QUrl(QStringLiteral("https://example.invalid/x"))));
}

QTEST_MAIN(PlatformAdditionsTest)
#include "tst_platformadditions.moc"
