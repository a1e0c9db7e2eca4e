// The platform pieces the floating window and the history rely on: drawers,
// window groups, the toolbar button, raw key events and write streams.

#include "platform/keyboard.h"
#include "platform/windowgroups.h"
#include "platform/writestream.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
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

void disposeAll()
{
    for (WindowRef window : GetWindowList())
        DisposeWindow(window);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class PlatformAdditionsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { disposeAll(); }

    void aDrawerDocksAtTheEdgeItOpensAt_data();
    void aDrawerDocksAtTheEdgeItOpensAt();
    void aDrawerTogglesAndGoesWithItsParent();
    void aMoveTogetherGroupMovesItsWindowsAsOne();
    void theToolbarButtonAsksTheWindowToSwitch();
    void rawKeysReachTheWindowBeforeItsWidgets();
    void aWriteStreamReplacesTheFileOnlyWhenClosed();
};

void PlatformAdditionsTest::aDrawerDocksAtTheEdgeItOpensAt_data()
{
    // A parent whose content is at (300, 200), 200 x 400; a drawer of 150 x 100
    // with offsets 10 and 20. The drawer lies against the parent's frame, so
    // it is pushed outwards by the frame's width.
    QTest::addColumn<uint32_t>("edge");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<QPoint>("outwards");
    QTest::newRow("left") << kWindowEdgeLeft << QRect(150, 210, 150, 370) << QPoint(-1, 0);
    QTest::newRow("right") << kWindowEdgeRight << QRect(500, 210, 150, 370) << QPoint(1, 0);
    QTest::newRow("top") << kWindowEdgeTop << QRect(310, 100, 170, 100) << QPoint(0, -1);
    QTest::newRow("bottom") << kWindowEdgeBottom << QRect(310, 600, 170, 100) << QPoint(0, 1);
}

void PlatformAdditionsTest::aDrawerDocksAtTheEdgeItOpensAt()
{
    QFETCH(uint32_t, edge);
    QFETCH(QRect, expected);
    QFETCH(QPoint, outwards);
    WindowRef parent = makeWindow(QRect(300, 200, 200, 400));
    WindowRef drawer = makeWindow(QRect(0, 0, 150, 100));
    ShowWindow(parent);
    QCOMPARE(SetDrawerParent(drawer, parent), noErr);
    QCOMPARE(GetDrawerParent(drawer), parent);
    SetDrawerOffsets(drawer, 10.0f, 20.0f);
    QCOMPARE(OpenDrawer(drawer, edge, true), noErr);
    QCOMPARE(GetDrawerCurrentEdge(drawer), edge);
    const QWidget* p = GetWindowWidget(parent);
    const int frame = p->geometry().left() - p->frameGeometry().left();
    QCOMPARE(GetWindowWidget(drawer)->frameGeometry(), expected.translated(outwards * frame));
    WindowClass windowClass = 0;
    GetWindowClass(drawer, &windowClass);
    QCOMPARE(windowClass, kDrawerWindowClass);
}

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

void PlatformAdditionsTest::aMoveTogetherGroupMovesItsWindowsAsOne()
{
    WindowRef one = makeWindow(QRect(100, 100, 100, 100));
    WindowRef two = makeWindow(QRect(300, 100, 100, 100));
    WindowRef apart = makeWindow(QRect(500, 100, 100, 100));
    for (WindowRef w : {one, two, apart})
        ShowWindow(w);
    WindowGroupRef group = nullptr;
    QCOMPARE(CreateWindowGroup(0, &group), noErr);
    SetWindowGroup(one, group);
    SetWindowGroup(two, group);
    const QPoint start = GetWindowWidget(two)->pos();
    const QPoint elsewhere = GetWindowWidget(apart)->pos();
    GetWindowWidget(one)->move(GetWindowWidget(one)->pos() + QPoint(10, 20));
    QCOMPARE(GetWindowWidget(two)->pos(), start); // not yet moving together
    ChangeWindowGroupAttributes(group, kWindowGroupAttrMoveTogether | kWindowGroupAttrLayerTogether, 0);
    const QPoint before = GetWindowWidget(two)->pos();
    GetWindowWidget(one)->move(GetWindowWidget(one)->pos() + QPoint(-30, 15));
    QCOMPARE(GetWindowWidget(two)->pos(), before + QPoint(-30, 15));
    QCOMPARE(GetWindowWidget(apart)->pos(), elsewhere);
    QCOMPARE(GetWindowGroupContents(group), (std::vector<WindowRef>{one, two}));
    DisposeWindow(two);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(GetWindowGroupContents(group), std::vector<WindowRef>{one});
}

void PlatformAdditionsTest::theToolbarButtonAsksTheWindowToSwitch()
{
    WindowRef window = makeWindow(QRect(100, 100, 120, 80));
    auto* button = new QToolButton(GetWindowWidget(window));
    button->setProperty("toolbarButton", true);
    int switches = 0;
    constexpr EventTypeSpec kSwitch{kEventClassWindow, kEventWindowToolbarSwitchMode};
    InstallEventHandlerFunction(
        GetWindowEventTarget(window),
        [&switches](EventHandlerCallRef, EventRef) {
            ++switches;
            return noErr;
        },
        1, &kSwitch, nullptr);
    ShowWindow(window);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(switches, 0);
    ChangeWindowAttributes(window, kWindowToolbarButtonAttribute, 0);
    ChangeWindowAttributes(window, kWindowToolbarButtonAttribute, 0); // connected once
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(switches, 1);
    ChangeWindowAttributes(window, 0, kWindowToolbarButtonAttribute);
    QVERIFY(button->isHidden());
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
    QCOMPARE(readAll(path), QByteArray("old contents"));
    CFWriteStreamClose(stream);
    CFRelease(stream);
    QCOMPARE(readAll(path), QByteArray::fromHex("FEFF4E2D"));

    // A stream released without being closed leaves the file alone.
    stream = CFWriteStreamCreateWithFile(nullptr, url);
    CFWriteStreamOpen(stream);
    CFWriteStreamWrite(stream, bytes, 2);
    CFRelease(stream);
    QCOMPARE(readAll(path), QByteArray::fromHex("FEFF4E2D"));
    QVERIFY(!CFWriteStreamCreateWithFile(nullptr, QUrl(QStringLiteral("https://example.invalid/x"))));
}

QTEST_MAIN(PlatformAdditionsTest)
#include "tst_platformadditions.moc"
