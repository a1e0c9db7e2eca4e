// The object and view classes: the object protocol, the view dispatcher and
// the custom view widget that feeds it from Qt.

#include "framework/tview.h"
#include "platform/windows.h"
#include "tests/common/eventhelpers.h"
#include "tests/common/stdoutcapture.h"

#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// A view that records what reaches it.
class RecordingView : public TView {
public:
    static inline const QString kClassID = u"tavi.test.RecordingView"_s;
    static inline std::vector<std::string> log;
    static inline OSStatus initializeAnswer = noErr;
    static inline int destroyed = 0;

    static OSStatus Construct(HIObjectRef object, TObject** outObject)
    {
        log.push_back("construct");
        *outObject = new RecordingView(object);
        return noErr;
    }

    using TView::ActivateInterface;
    using TView::GetData;

    int hiliteChanges = 0;
    int draws = 0;
    int visibilityChanges = 0;
    int enabledChanges = 0;
    int commands = 0;
    int hits = 0;
    ControlPartCode lastHit = 0;
    HIRect lastBounds{};
    WindowRef lastOwner = nullptr;
    CGContextRef lastContext = nullptr;

protected:
    explicit RecordingView(HIObjectRef object) : TView(object) {}
    ~RecordingView() override
    {
        ++destroyed;
        log.push_back("destruct");
    }

    OSStatus Initialize(TCarbonEvent& event) override
    {
        log.push_back("initialize");
        const OSStatus status = TView::Initialize(event);
        return status != noErr ? status : initializeAnswer;
    }
    ControlKind GetKind() override { return {FOUR_CHAR_CODE("Test"), FOUR_CHAR_CODE("Rcrd")}; }
    UInt32 GetBehaviors() override
    {
        log.push_back("behaviors");
        return 0x1234;
    }
    void HiliteChanged(ControlPartCode, ControlPartCode) override { ++hiliteChanges; }
    void Draw(RgnHandle, CGContextRef context) override
    {
        ++draws;
        lastContext = context;
    }
    void VisibilityChanged() override { ++visibilityChanges; }
    void EnabledStateChanged() override { ++enabledChanges; }
    void BoundsChanged(UInt32, const HIRect&, const HIRect& current) override
    {
        lastBounds = current;
    }
    void OwningWindowChanged(WindowRef, WindowRef current) override { lastOwner = current; }
    // The left half of the view is part 1.
    ControlPartCode HitTest(const HIPoint& where) override
    {
        return where.x >= 0 && where.x < Bounds().size.width / 2 ? 1 : 0;
    }
    OSStatus ControlHit(ControlPartCode part, UInt32) override
    {
        ++hits;
        lastHit = part;
        return noErr;
    }
    OSStatus ProcessCommand(const HICommand&) override
    {
        ++commands;
        return noErr;
    }
    OSStatus UpdateCommandStatus(const HICommand&) override
    {
        ++commands;
        return noErr;
    }
    bool DragEnter(DragRef) override { return true; }
};

RecordingView* createView(ControlRef* outView, OSStatus* outStatus = nullptr)
{
    EventRef init = TObject::CreateInitializationEvent();
    const OSStatus status = HIObjectCreate(RecordingView::kClassID, init, outView);
    ReleaseEvent(init);
    if (outStatus)
        *outStatus = status;
    if (status != noErr)
        return nullptr;
    return static_cast<RecordingView*>(
        static_cast<TObject*>(HIObjectDynamicCast(*outView, RecordingView::kClassID)));
}

EventRef makeEvent(EventClass eventClass, EventKind kind)
{
    EventRef event = nullptr;
    CreateEvent(nullptr, eventClass, kind, 0, kEventAttributeNone, &event);
    return event;
}

// Sends a control event of `kind` to the view alone: `fill` sets its
// parameters first and `read` looks at it afterwards.
OSStatus sendToView(ControlRef view, EventKind kind, const std::function<void(EventRef)>& fill = {},
                    const std::function<void(EventRef)>& read = {})
{
    EventRef event = makeEvent(kEventClassControl, kind);
    if (fill)
        fill(event);
    const OSStatus status = SendEventToEventTargetWithOptions(event, GetControlEventTarget(view),
                                                              kEventTargetDontPropagate);
    if (read)
        read(event);
    ReleaseEvent(event);
    return status;
}

// A new view of the given size, shown in a shown window of its own.
RecordingView* createShownView(ControlRef* outView, float width, float height)
{
    auto* widget = new QWidget;
    widget->resize(300, 200);
    WindowRef window = nullptr;
    CreateWindowFromWidget(widget, &window);
    RecordingView* instance = createView(outView);
    ControlRef root = nullptr;
    GetRootControl(window, &root);
    HIViewAddSubview(root, *outView);
    const HIRect frame{{0, 0}, {width, height}};
    HIViewSetFrame(*outView, &frame);
    ShowControl(*outView);
    ShowWindow(window);
    return QTest::qWaitForWindowExposed(widget) ? instance : nullptr;
}

} // namespace

class TViewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void creationConstructsThenInitialisesBaseFirst();
    void failedInitialisationDestroysTheInstance();
    void destructEventWithNullInstanceDoesNothing();
    void printDebugInfoNamesViewThenObject();
    void hiliteRedrawsOnlyWithItsFlag_data();
    void hiliteRedrawsOnlyWithItsFlag();
    void kindAnswersWithItsSize_data();
    void kindAnswersWithItsSize();
    void commandEventsReachTheirOperations_data();
    void commandEventsReachTheirOperations();
    void dispatcherWritesResultsBack();
    void optionalGroupsAreOffUntilActivated();
    void qtChangesBecomeViewEvents();
    void clickTrackedByDefaultHitsOnlyOverThePart_data();
    void clickTrackedByDefaultHitsOnlyOverThePart();
};

void TViewTest::initTestCase()
{
    QCOMPARE(TObject::RegisterSubclass(RecordingView::kClassID, kHIViewClassID,
                                       RecordingView::Construct),
             noErr);
}

void TViewTest::init()
{
    RecordingView::log.clear();
    RecordingView::initializeAnswer = noErr;
    RecordingView::destroyed = 0;
}

void TViewTest::cleanup()
{
    for (WindowRef window : GetWindowList())
        DisposeWindow(window);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TViewTest::creationConstructsThenInitialisesBaseFirst()
{
    ControlRef view = nullptr;
    RecordingView* instance = createView(&view);
    QVERIFY(instance);
    // The base view asks for the behaviours before the instance initialises.
    const std::vector<std::string> expected{"construct", "behaviors", "initialize"};
    QCOMPARE(RecordingView::log, expected);
    QCOMPARE(GetControlFeatures(view), UInt32(0x1234));
    QCOMPARE(instance->GetObjectRef(), view);
    QVERIFY(HIObjectIsOfClass(view, RecordingView::kClassID));
    DisposeControl(view);
    QCOMPARE(RecordingView::destroyed, 1);

    QCOMPARE(TObject::RegisterSubclass(RecordingView::kClassID, kHIViewClassID, RecordingView::Construct),
             hiObjectClassExistsErr);
    QCOMPARE(HIObjectCreate(u"tavi.test.NoSuchClass"_s, nullptr, &view), hiObjectClassNotFoundErr);
}

void TViewTest::failedInitialisationDestroysTheInstance()
{
    RecordingView::initializeAnswer = paramErr;
    ControlRef view = reinterpret_cast<ControlRef>(this);
    OSStatus status = noErr;
    QVERIFY(!createView(&view, &status));
    QCOMPARE(status, paramErr);
    QCOMPARE(view, nullptr);
    QCOMPARE(RecordingView::destroyed, 1);
    QCOMPARE(RecordingView::log.back(), std::string("destruct"));
}

void TViewTest::destructEventWithNullInstanceDoesNothing()
{
    EventRef event = makeEvent(kEventClassHIObject, kEventHIObjectDestruct);
    QCOMPARE(TObject::ObjectEventHandler(nullptr, event, nullptr), eventNotHandledErr);
    QCOMPARE(GetEventRetainCount(event), ItemCount(1));
    ReleaseEvent(event);
    EventRef print = makeEvent(kEventClassHIObject, kEventHIObjectPrintDebugInfo);
    QCOMPARE(TObject::ObjectEventHandler(nullptr, print, nullptr), eventNotHandledErr);
    ReleaseEvent(print);
    QCOMPARE(RecordingView::destroyed, 0);
}

void TViewTest::printDebugInfoNamesViewThenObject()
{
    ControlRef view = nullptr;
    QVERIFY(createView(&view));
    QCOMPARE(captureStdout([&] { HIObjectPrintDebugInfo(view); }), QByteArray("TView\nTObject\n"));
    DisposeControl(view);
}

void TViewTest::hiliteRedrawsOnlyWithItsFlag_data()
{
    QTest::addColumn<UInt32>("flags");
    QTest::addColumn<bool>("redrawn");
    QTest::newRow("hilite flag") << UInt32(TView::kAutoInvalidateOnHilite) << true;
    QTest::newRow("all but hilite") << UInt32(0x1D) << false;
}

void TViewTest::hiliteRedrawsOnlyWithItsFlag()
{
    QFETCH(UInt32, flags);
    QFETCH(bool, redrawn);
    ControlRef view = nullptr;
    RecordingView* instance = createShownView(&view, 100, 50);
    QVERIFY(instance);
    QTRY_VERIFY(instance->draws > 0);
    QTest::qWait(50);
    instance->ChangeAutoInvalidateFlags(flags, ~flags);

    const int drawsBefore = instance->draws;
    HiliteControl(view, 1);
    QCOMPARE(instance->hiliteChanges, 1);
    if (redrawn) {
        QTRY_VERIFY(instance->draws > drawsBefore);
    } else {
        QTest::qWait(100);
        QCOMPARE(instance->draws, drawsBefore);
    }
}

void TViewTest::kindAnswersWithItsSize_data()
{
    QTest::addColumn<bool>("withBuffer");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<OSStatus>("status");
    QTest::newRow("no buffer") << false << 0 << noErr;
    QTest::newRow("8 bytes") << true << 8 << noErr;
    QTest::newRow("4 bytes") << true << 4 << errDataSizeMismatch;
}

void TViewTest::kindAnswersWithItsSize()
{
    QFETCH(bool, withBuffer);
    QFETCH(int, bufferSize);
    QFETCH(OSStatus, status);
    ControlRef view = nullptr;
    RecordingView* instance = createView(&view);
    QVERIFY(instance);
    unsigned char buffer[16] = {};
    Size actual = 0;
    QCOMPARE(instance->GetData(kControlKindTag, 0, bufferSize, &actual,
                               withBuffer ? buffer : nullptr),
             status);
    QCOMPARE(actual, Size(8));
    if (withBuffer && status == noErr) {
        ControlKind kind{};
        std::memcpy(&kind, buffer, sizeof kind);
        QCOMPARE(kind.signature, FOUR_CHAR_CODE("Test"));
        QCOMPARE(kind.kind, FOUR_CHAR_CODE("Rcrd"));
    }
    // Other tags are not the base's.
    QCOMPARE(instance->GetData(FOUR_CHAR_CODE("othr"), 0, 0, &actual, nullptr),
             eventNotHandledErr);
    // And the same answer through the platform's control data.
    ControlKind kind{};
    QCOMPARE(GetControlData(view, 0, kControlKindTag, sizeof kind, &kind, &actual), noErr);
    QCOMPARE(kind.kind, FOUR_CHAR_CODE("Rcrd"));
    DisposeControl(view);
}

void TViewTest::commandEventsReachTheirOperations_data()
{
    QTest::addColumn<EventKind>("kind");
    QTest::addColumn<bool>("withCommand");
    QTest::addColumn<OSStatus>("status");
    QTest::addColumn<int>("calls");
    QTest::newRow("process") << kEventCommandProcess << true << noErr << 1;
    QTest::newRow("update status") << kEventCommandUpdateStatus << true << noErr << 1;
    QTest::newRow("another kind") << EventKind(3) << true << noErr << 0;
    QTest::newRow("no command record") << kEventCommandProcess << false
                                       << eventParameterNotFoundErr << 0;
}

void TViewTest::commandEventsReachTheirOperations()
{
    QFETCH(EventKind, kind);
    QFETCH(bool, withCommand);
    QFETCH(OSStatus, status);
    QFETCH(int, calls);
    ControlRef view = nullptr;
    RecordingView* instance = createView(&view);
    QVERIFY(instance);
    TCarbonEvent event(kEventClassCommand, kind);
    if (withCommand) {
        HICommand command{};
        command.commandID = FOUR_CHAR_CODE("test");
        event.SetParameter(kEventParamDirectObject, command);
    }
    QCOMPARE(instance->HandleEvent(nullptr, event), status);
    QCOMPARE(instance->commands, calls);
    DisposeControl(view);
}

void TViewTest::dispatcherWritesResultsBack()
{
    ControlRef view = nullptr;
    RecordingView* instance = createView(&view);
    QVERIFY(instance);
    const HIRect frame{{0, 0}, {100, 40}};
    HIViewSetFrame(view, &frame);

    // Hit test: the part goes into 'cprt'.
    ControlPartCode part = -9;
    const auto at10 = [](EventRef event) {
        const HIPoint where{10, 10};
        SetEventParameter(event, kEventParamMouseLocation, typeHIPoint, sizeof where, &where);
    };
    QCOMPARE(sendToView(view, kEventControlHitTest, at10, [&](EventRef event) {
                 part = eventParameter<ControlPartCode>(event, kEventParamControlPart, typeControlPartCode, -9);
             }),
             noErr);
    QCOMPARE(part, ControlPartCode(1));
    // Operations left at their defaults are not handled.
    for (EventKind kind : {kEventControlTrack, kEventControlGetSizeConstraints, kEventControlGetPartRegion,
                           kEventControlGetOptimalBounds})
        QCOMPARE(sendToView(view, kind), eventNotHandledErr);
    DisposeControl(view);
}

void TViewTest::optionalGroupsAreOffUntilActivated()
{
    ControlRef view = nullptr;
    RecordingView* instance = createView(&view);
    QVERIFY(instance);
    auto dragEnter = [&](Boolean* accepted) {
        return sendToView(view, kEventControlDragEnter, {}, [accepted](EventRef event) {
            *accepted = eventParameter<Boolean>(event, kEventParamControlWouldAcceptDrop, typeBoolean, false);
        });
    };
    auto focus = [&]() {
        return sendToView(view, kEventControlSetFocusPart, [](EventRef event) {
            const ControlPartCode part = kControlFocusNextPart;
            SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
        });
    };
    Boolean accepted = true;
    QCOMPARE(dragEnter(&accepted), eventNotHandledErr);
    QVERIFY(!accepted);
    QCOMPARE(instance->ActivateInterface(TView::kDragAndDrop), noErr);
    QCOMPARE(dragEnter(&accepted), noErr);
    QVERIFY(accepted);
    QVERIFY(GetControlWidget(view)->acceptDrops());
    // Focus events reach the view (its default declines) only once activated.
    QCOMPARE(focus(), eventNotHandledErr);
    QCOMPARE(GetControlWidget(view)->focusPolicy(), Qt::NoFocus);
    QCOMPARE(instance->ActivateInterface(TView::kKeyboardFocus), noErr);
    QCOMPARE(GetControlWidget(view)->focusPolicy(), Qt::StrongFocus);
    QCOMPARE(instance->ActivateInterface(TView::Interface(99)), noErr);
    DisposeControl(view);
}

void TViewTest::qtChangesBecomeViewEvents()
{
    auto* widget = new QWidget;
    widget->resize(300, 200);
    WindowRef window = nullptr;
    CreateWindowFromWidget(widget, &window);
    ShowWindow(window);
    QVERIFY(QTest::qWaitForWindowExposed(GetWindowWidget(window)));
    ControlRef view = nullptr;
    RecordingView* instance = createView(&view);
    QVERIFY(instance);

    ControlRef root = nullptr;
    GetRootControl(window, &root);
    QCOMPARE(HIViewAddSubview(root, view), noErr);
    QCOMPARE(instance->lastOwner, window);
    QCOMPARE(instance->GetOwner(), window);

    // Visibility through the layer and through Qt, each reported once.
    ShowControl(view);
    QCOMPARE(instance->visibilityChanges, 1);
    QVERIFY(instance->IsVisible());
    GetControlWidget(view)->hide();
    QCOMPARE(instance->visibilityChanges, 2);
    QVERIFY(!instance->IsVisible());
    instance->Show();
    QCOMPARE(instance->visibilityChanges, 3);

    DisableControl(view);
    QCOMPARE(instance->enabledChanges, 1);
    QVERIFY(!instance->IsEnabled());
    GetControlWidget(view)->setEnabled(true);
    QCOMPARE(instance->enabledChanges, 2);

    const HIRect frame{{10, 20}, {120, 80}};
    QCOMPARE(instance->SetFrame(frame), noErr);
    auto asRect = [](const HIRect& r) { return QRectF(r.origin.x, r.origin.y, r.size.width, r.size.height); };
    QCOMPARE(asRect(instance->lastBounds), asRect(frame));
    QCOMPARE(asRect(instance->Bounds()), QRectF(0, 0, 120, 80));

    const int drawsBefore = instance->draws;
    instance->Invalidate();
    QTRY_VERIFY(instance->draws > drawsBefore);
    QVERIFY(instance->lastContext != nullptr);

    QCOMPARE(instance->RemoveFromSuperView(), noErr);
    QCOMPARE(instance->lastOwner, nullptr);
    DisposeControl(view);
}

void TViewTest::clickTrackedByDefaultHitsOnlyOverThePart_data()
{
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<int>("hits");
    QTest::newRow("released over the part") << QPoint(30, 10) << 1;
    QTest::newRow("released beside the part") << QPoint(150, 10) << 0;
}

void TViewTest::clickTrackedByDefaultHitsOnlyOverThePart()
{
    QFETCH(QPoint, release);
    QFETCH(int, hits);
    ControlRef view = nullptr;
    RecordingView* instance = createShownView(&view, 200, 40);
    QVERIFY(instance);

    QWidget* widget = GetControlWidget(view);
    std::vector<ControlPartCode> hilites;
    QTimer::singleShot(0, widget, [&] {
        hilites.push_back(GetControlHilite(view));
        QTest::mouseMove(widget, QPoint(160, 12));  // off the part
        QTest::mouseMove(widget, release);
        QTest::mouseRelease(widget, Qt::LeftButton, {}, release);
    });
    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(20, 10));

    QCOMPARE(hilites, std::vector<ControlPartCode>{1});  // hilited while held
    QCOMPARE(instance->hits, hits);
    if (hits)
        QCOMPARE(instance->lastHit, ControlPartCode(1));
    QCOMPARE(GetControlHilite(view), ControlPartCode(0));
}

QTEST_MAIN(TViewTest)
#include "tst_tview.moc"
