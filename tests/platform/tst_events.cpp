// Events, handler stacks, propagation and four-character codes.

#include "platform/events.h"

#include <QCoreApplication>
#include <QString>
#include <QTest>

#include <vector>

namespace {

constexpr EventTypeSpec kTestEvent{FOUR_CHAR_CODE("test"), 1};

EventRef makeTestEvent()
{
    EventRef event = nullptr;
    CreateEvent(nullptr, kTestEvent.eventClass, kTestEvent.eventKind, 0, kEventAttributeNone, &event);
    return event;
}

// Installs a handler that records its name and answers the given status.
EventHandlerRef installRecorder(EventTargetRef target, std::vector<QString>& log, QString name,
                                OSStatus answer)
{
    EventHandlerRef ref = nullptr;
    InstallEventHandlerFunction(
        target,
        [&log, name, answer](EventHandlerCallRef, EventRef) {
            log.push_back(name);
            return answer;
        },
        1, &kTestEvent, &ref);
    return ref;
}

} // namespace

class EventsTest : public QObject {
    Q_OBJECT
private slots:
    void fourCharCodesAreBigEndianAndPrintMostSignificantFirst();
    void fourCharCodeParsingRejectsWrongLengths_data();
    void fourCharCodeParsingRejectsWrongLengths();

    void handlersRunNewestFirstUntilOneHandlesTheEvent();
    void callNextEventHandlerRunsTheRestOfTheStackOnce();
    void standardHandlerRunsBelowTheInstalledHandlers();
    void unhandledEventsGoOnToTheParentTarget();
    void dontPropagateKeepsTheEventOnItsTarget();
    void handlersOnlySeeTheTypesTheyAskedFor();
    void aHandlerRemovedDuringDispatchIsNotCalled();
    void removingAHandlerTwiceOrAfterItsTargetIsAStatus();

    void eventsAreReferenceCounted();
    void dispatchLeavesTheRetainCountAsItWas();
    void parameters_data();
    void parameters();
    void stringParametersAreCopiedAsValues();
    void postedEventsReachTheirTargetLater();
    void postedEventsToAVanishedTargetAreDropped();
};

void EventsTest::fourCharCodesAreBigEndianAndPrintMostSignificantFirst()
{
    QCOMPARE(FOUR_CHAR_CODE("DWIN"), 0x4457494Eu);
    QCOMPARE("ok  "_4cc, 0x6F6B2020u);
    QCOMPARE(fourCharCodeString(FOUR_CHAR_CODE("ADD ")), std::string("ADD "));
    char printed[16];
    std::snprintf(printed, sizeof printed, "%c%c%c%c", FOUR_CHAR_ARGS(FOUR_CHAR_CODE("LHWN")));
    QCOMPARE(QString::fromLatin1(printed), QStringLiteral("LHWN"));
}

void EventsTest::fourCharCodeParsingRejectsWrongLengths_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<uint>("code");
    QTest::newRow("four letters") << QStringLiteral("SRCH") << true << uint(FOUR_CHAR_CODE("SRCH"));
    QTest::newRow("trailing blanks kept") << QStringLiteral("ok  ") << true << uint(kHICommandOK);
    QTest::newRow("three") << QStringLiteral("ok ") << false << 0u;
    QTest::newRow("five") << QStringLiteral("SRCHX") << false << 0u;
    QTest::newRow("empty") << QString() << false << 0u;
    QTest::newRow("beyond Latin-1") << QStringLiteral("AB\u4E2D") + u'C' << false << 0u;
}

void EventsTest::fourCharCodeParsingRejectsWrongLengths()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(uint, code);
    FourCharCode parsed = 0;
    QCOMPARE(fourCharCodeFromString(text, &parsed), valid);
    if (valid)
        QCOMPARE(parsed, code);
}

void EventsTest::handlersRunNewestFirstUntilOneHandlesTheEvent()
{
    auto target = EventTarget::create();
    std::vector<QString> log;
    installRecorder(target.get(), log, QStringLiteral("oldest"), noErr);
    installRecorder(target.get(), log, QStringLiteral("middle"), eventNotHandledErr);
    installRecorder(target.get(), log, QStringLiteral("newest"), eventNotHandledErr);
    EventRef event = makeTestEvent();
    QCOMPARE(SendEventToEventTarget(event, target.get()), noErr);
    QCOMPARE(log, (std::vector<QString>{QStringLiteral("newest"), QStringLiteral("middle"),
                                         QStringLiteral("oldest")}));
    ReleaseEvent(event);
}

void EventsTest::callNextEventHandlerRunsTheRestOfTheStackOnce()
{
    auto target = EventTarget::create();
    std::vector<QString> log;
    installRecorder(target.get(), log, QStringLiteral("bottom"), paramErr);
    OSStatus seenByTop = 0;
    InstallEventHandlerFunction(
        target.get(),
        [&](EventHandlerCallRef call, EventRef event) {
            log.push_back(QStringLiteral("top before"));
            seenByTop = CallNextEventHandler(call, event);
            log.push_back(QStringLiteral("top after"));
            // Passing on after calling the next ones must not run them again.
            return eventNotHandledErr;
        },
        1, &kTestEvent, nullptr);
    EventRef event = makeTestEvent();
    QCOMPARE(SendEventToEventTarget(event, target.get()), eventNotHandledErr);
    QCOMPARE(seenByTop, paramErr);
    QCOMPARE(log, (std::vector<QString>{QStringLiteral("top before"), QStringLiteral("bottom"),
                                         QStringLiteral("top after")}));
    ReleaseEvent(event);
}

void EventsTest::standardHandlerRunsBelowTheInstalledHandlers()
{
    auto target = EventTarget::create();
    std::vector<QString> log;
    target->setStandardHandler([&](EventRef) {
        log.push_back(QStringLiteral("standard"));
        return noErr;
    });
    installRecorder(target.get(), log, QStringLiteral("installed"), eventNotHandledErr);
    EventRef event = makeTestEvent();
    QCOMPARE(SendEventToEventTarget(event, target.get()), noErr);
    QCOMPARE(log, (std::vector<QString>{QStringLiteral("installed"), QStringLiteral("standard")}));

    // A handler that consumes the event keeps the standard handler out.
    log.clear();
    installRecorder(target.get(), log, QStringLiteral("consumer"), noErr);
    QCOMPARE(SendEventToEventTarget(event, target.get()), noErr);
    QCOMPARE(log, (std::vector<QString>{QStringLiteral("consumer")}));
    ReleaseEvent(event);
}

void EventsTest::unhandledEventsGoOnToTheParentTarget()
{
    auto parent = EventTarget::create();
    auto child = EventTarget::create();
    EventTarget* parentRef = parent.get();
    child->setParentResolver([parentRef] { return parentRef; });
    std::vector<QString> log;
    installRecorder(parent.get(), log, QStringLiteral("parent"), noErr);
    EventHandlerRef childHandler = installRecorder(child.get(), log, QStringLiteral("child"), eventNotHandledErr);
    EventRef event = makeTestEvent();
    QCOMPARE(SendEventToEventTarget(event, child.get()), noErr);
    QCOMPARE(log, (std::vector<QString>{QStringLiteral("child"), QStringLiteral("parent")}));

    RemoveEventHandler(childHandler);
    installRecorder(child.get(), log, QStringLiteral("child consumes"), noErr);
    log.clear();
    QCOMPARE(SendEventToEventTarget(event, child.get()), noErr);
    QCOMPARE(log, (std::vector<QString>{QStringLiteral("child consumes")}));
    ReleaseEvent(event);
}

void EventsTest::dontPropagateKeepsTheEventOnItsTarget()
{
    auto parent = EventTarget::create();
    auto child = EventTarget::create();
    EventTarget* parentRef = parent.get();
    child->setParentResolver([parentRef] { return parentRef; });
    std::vector<QString> log;
    installRecorder(parent.get(), log, QStringLiteral("parent"), noErr);
    EventRef event = makeTestEvent();
    QCOMPARE(SendEventToEventTargetWithOptions(event, child.get(), kEventTargetDontPropagate),
             eventNotHandledErr);
    QVERIFY(log.empty());
    ReleaseEvent(event);
}

void EventsTest::handlersOnlySeeTheTypesTheyAskedFor()
{
    auto target = EventTarget::create();
    int calls = 0;
    EventHandlerRef handler = nullptr;
    InstallEventHandlerFunction(
        target.get(),
        [&](EventHandlerCallRef, EventRef) {
            ++calls;
            return noErr;
        },
        1, &kTestEvent, &handler);
    EventRef other = nullptr;
    CreateEvent(nullptr, kTestEvent.eventClass, 2, 0, kEventAttributeNone, &other);
    QCOMPARE(SendEventToEventTarget(other, target.get()), eventNotHandledErr);
    QCOMPARE(calls, 0);

    const EventTypeSpec kind2{kTestEvent.eventClass, 2};
    QCOMPARE(AddEventTypesToHandler(handler, 1, &kind2), noErr);
    QCOMPARE(SendEventToEventTarget(other, target.get()), noErr);
    QCOMPARE(calls, 1);
    QCOMPARE(RemoveEventTypesFromHandler(handler, 1, &kind2), noErr);
    QCOMPARE(SendEventToEventTarget(other, target.get()), eventNotHandledErr);
    QCOMPARE(calls, 1);
    ReleaseEvent(other);
}

void EventsTest::aHandlerRemovedDuringDispatchIsNotCalled()
{
    auto target = EventTarget::create();
    std::vector<QString> log;
    EventHandlerRef lower = installRecorder(target.get(), log, QStringLiteral("lower"), noErr);
    InstallEventHandlerFunction(
        target.get(),
        [&](EventHandlerCallRef, EventRef) {
            log.push_back(QStringLiteral("upper"));
            RemoveEventHandler(lower);
            return eventNotHandledErr;
        },
        1, &kTestEvent, nullptr);
    EventRef event = makeTestEvent();
    QCOMPARE(SendEventToEventTarget(event, target.get()), eventNotHandledErr);
    QCOMPARE(log, (std::vector<QString>{QStringLiteral("upper")}));
    ReleaseEvent(event);
}

void EventsTest::removingAHandlerTwiceOrAfterItsTargetIsAStatus()
{
    auto target = EventTarget::create();
    std::vector<QString> log;
    EventHandlerRef handler = installRecorder(target.get(), log, QStringLiteral("h"), noErr);
    QCOMPARE(RemoveEventHandler(handler), noErr);
    QCOMPARE(RemoveEventHandler(handler), paramErr);

    handler = installRecorder(target.get(), log, QStringLiteral("h"), noErr);
    target->invalidate();
    QCOMPARE(RemoveEventHandler(handler), paramErr);
    QCOMPARE(installRecorder(target.get(), log, QStringLiteral("late"), noErr), nullptr);
}

void EventsTest::eventsAreReferenceCounted()
{
    EventRef event = makeTestEvent();
    QCOMPARE(GetEventRetainCount(event), ItemCount(1));
    QCOMPARE(RetainEvent(event), event);
    QCOMPARE(GetEventRetainCount(event), ItemCount(2));
    ReleaseEvent(event);
    QCOMPARE(GetEventRetainCount(event), ItemCount(1));
    QCOMPARE(GetEventClass(event), kTestEvent.eventClass);
    QCOMPARE(GetEventKind(event), kTestEvent.eventKind);
    QVERIFY(GetEventTime(event) > 0);
    QVERIFY(GetEventTime(event) <= GetCurrentEventTime());
    ReleaseEvent(event);  // the last reference: freed (checked by the sanitizer build)
}

void EventsTest::dispatchLeavesTheRetainCountAsItWas()
{
    auto target = EventTarget::create();
    EventRef kept = nullptr;
    ItemCount countInside = 0;
    InstallEventHandlerFunction(
        target.get(),
        [&](EventHandlerCallRef, EventRef event) {
            countInside = GetEventRetainCount(event);
            kept = RetainEvent(event);
            return noErr;
        },
        1, &kTestEvent, nullptr);
    EventRef event = makeTestEvent();
    SendEventToEventTarget(event, target.get());
    QCOMPARE(countInside, ItemCount(2));                 // the sender's and the dispatch's
    QCOMPARE(GetEventRetainCount(event), ItemCount(2));  // the sender's and the handler's
    ReleaseEvent(event);
    QCOMPARE(GetEventKind(kept), kTestEvent.eventKind);  // still alive through the handler's reference
    ReleaseEvent(kept);
}

void EventsTest::parameters_data()
{
    QTest::addColumn<uint>("askedType");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<bool>("withBuffer");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("expectedValue");
    const uint magn = typeUInt32;
    QTest::newRow("exact type and size") << magn << 4 << true << int(noErr) << 0x12345678;
    QTest::newRow("larger buffer") << magn << 8 << true << int(noErr) << 0x12345678;
    QTest::newRow("wildcard") << uint(typeWildCard) << 4 << true << int(noErr) << 0x12345678;
    QTest::newRow("short buffer receives nothing") << magn << 2 << true << int(errDataSizeMismatch) << -1;
    QTest::newRow("other type") << uint(typeSInt32) << 4 << true << int(errAECoercionFail) << -1;
    QTest::newRow("size only") << magn << 0 << false << int(noErr) << -1;
}

void EventsTest::parameters()
{
    QFETCH(uint, askedType);
    QFETCH(int, bufferSize);
    QFETCH(bool, withBuffer);
    QFETCH(int, status);
    QFETCH(int, expectedValue);
    EventRef event = makeTestEvent();
    const UInt32 stored = 0x12345678;
    QCOMPARE(SetEventParameter(event, kEventParamAttributes, typeUInt32, sizeof stored, &stored), noErr);
    SInt32 buffer[2] = {-1, -1};
    EventParamType actualType = 0;
    ByteCount actualSize = 0;
    QCOMPARE(GetEventParameter(event, kEventParamAttributes, askedType, &actualType, ByteCount(bufferSize),
                               &actualSize, withBuffer ? buffer : nullptr),
             OSStatus(status));
    QCOMPARE(buffer[0], expectedValue);
    QCOMPARE(buffer[1], -1);
    if (status == noErr) {
        QCOMPARE(actualType, typeUInt32);
        QCOMPARE(actualSize, ByteCount(4));
    }
    QCOMPARE(GetEventParameter(event, kEventParamDirectObject, typeWildCard, nullptr, 4, nullptr, buffer),
             eventParameterNotFoundErr);
    ReleaseEvent(event);
}

void EventsTest::stringParametersAreCopiedAsValues()
{
    EventRef event = makeTestEvent();
    QString name = QStringLiteral("LookupQuickly");
    QCOMPARE(SetEventParameter(event, kEventParamServiceMessageName, typeCFStringRef, sizeof name, &name), noErr);
    name = QStringLiteral("changed afterwards");
    QString read;
    QCOMPARE(GetEventParameter(event, kEventParamServiceMessageName, typeCFStringRef, nullptr, sizeof read,
                               nullptr, &read),
             noErr);
    QCOMPARE(read, QStringLiteral("LookupQuickly"));
    QCOMPARE(SetEventParameter(event, kEventParamServiceMessageName, typeCFStringRef, 4, &name), paramErr);
    ReleaseEvent(event);
}

void EventsTest::postedEventsReachTheirTargetLater()
{
    auto target = EventTarget::create();
    std::vector<QString> log;
    installRecorder(target.get(), log, QStringLiteral("delivered"), noErr);
    EventRef event = makeTestEvent();
    EventTargetRef ref = target.get();
    SetEventParameter(event, kEventParamPostTarget, typeEventTargetRef, sizeof ref, &ref);
    QCOMPARE(PostEventToQueue(GetMainEventQueue(), event, kEventPriorityStandard), noErr);
    QCOMPARE(GetEventRetainCount(event), ItemCount(2));
    ReleaseEvent(event);
    QVERIFY(log.empty());
    QCoreApplication::processEvents();
    QCOMPARE(log, (std::vector<QString>{QStringLiteral("delivered")}));
}

void EventsTest::postedEventsToAVanishedTargetAreDropped()
{
    auto target = EventTarget::create();
    std::vector<QString> log;
    installRecorder(target.get(), log, QStringLiteral("delivered"), noErr);
    EventRef event = makeTestEvent();
    EventTargetRef ref = target.get();
    SetEventParameter(event, kEventParamPostTarget, typeEventTargetRef, sizeof ref, &ref);
    PostEventToQueue(GetMainEventQueue(), event, kEventPriorityStandard);
    ReleaseEvent(event);
    target.reset();
    QCoreApplication::processEvents();
    QVERIFY(log.empty());
}

QTEST_GUILESS_MAIN(EventsTest)
#include "tst_events.moc"
