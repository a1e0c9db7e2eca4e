// Events, handler stacks, propagation and parameters.

#include "platform/events.h"
#include "platform/internal.h"
#include "tests/common/eventhelpers.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTest>

namespace {

constexpr EventTypeSpec kTestEvent{FOUR_CHAR_CODE("test"), 1};

EventRef makeTestEvent(EventKind kind = kTestEvent.eventKind)
{
    EventRef event = nullptr;
    CreateEvent(nullptr, kTestEvent.eventClass, kind, 0, kEventAttributeNone, &event);
    return event;
}

// Installs a handler that records its name and answers the given status.
EventHandlerRef installRecorder(EventTargetRef target, QStringList& log, QString name,
                                OSStatus answer)
{
    return onEvent(target, kTestEvent.eventClass, kTestEvent.eventKind,
                   [&log, name, answer](EventRef) {
                       log.append(name);
                       return answer;
                   });
}

} // namespace

class EventsTest : public QObject {
    Q_OBJECT
private slots:
    void dispatchRunsNewestFirstThenStandardThenParent();
    void removedHandlersAreNotCalledAndNotRemovedTwice();
    void aRetainingHandlerKeepsTheEventAlive();
    void parameters_data();
    void parameters();
};

void EventsTest::dispatchRunsNewestFirstThenStandardThenParent()
{
    auto parent = EventTarget::create();
    auto child = EventTarget::create();
    child->setParentResolver([p = parent.get()] { return p; });
    QStringList log;
    child->setStandardHandler([&](EventRef) {
        log.append(u"standard"_qs);
        return OSStatus(eventNotHandledErr);
    });
    installRecorder(parent.get(), log, u"parent"_qs, noErr);
    installRecorder(child.get(), log, u"oldest"_qs, eventNotHandledErr);
    installRecorder(child.get(), log, u"newest"_qs, eventNotHandledErr);
    EventRef event = makeTestEvent();
    QCOMPARE(SendEventToEventTarget(event, child.get()), noErr);
    QCOMPARE(log, (QStringList{u"newest"_qs, u"oldest"_qs, u"standard"_qs, u"parent"_qs}));

    // A handler that consumes the event keeps everything below it out.
    log.clear();
    installRecorder(child.get(), log, u"consumer"_qs, noErr);
    QCOMPARE(SendEventToEventTarget(event, child.get()), noErr);
    QCOMPARE(log, QStringList{u"consumer"_qs});
    ReleaseEvent(event);

    // Handlers only see the event kinds they asked for.
    log.clear();
    event = makeTestEvent(2);
    QCOMPARE(SendEventToEventTarget(event, child.get()), eventNotHandledErr);
    QCOMPARE(log, QStringList{u"standard"_qs});
    ReleaseEvent(event);
}

void EventsTest::removedHandlersAreNotCalledAndNotRemovedTwice()
{
    auto target = EventTarget::create();
    QStringList log;
    EventHandlerRef lower = installRecorder(target.get(), log, u"lower"_qs, noErr);
    onEvent(target.get(), kTestEvent.eventClass, kTestEvent.eventKind, [&](EventRef) {
        log.append(u"upper"_qs);
        RemoveEventHandler(lower);
        return eventNotHandledErr;
    });
    EventRef event = makeTestEvent();
    QCOMPARE(SendEventToEventTarget(event, target.get()), eventNotHandledErr);
    QCOMPARE(log, QStringList{u"upper"_qs});
    QCOMPARE(RemoveEventHandler(lower), paramErr);
    ReleaseEvent(event);
}

void EventsTest::aRetainingHandlerKeepsTheEventAlive()
{
    auto target = EventTarget::create();
    EventRef kept = nullptr;
    onEvent(target.get(), kTestEvent.eventClass, kTestEvent.eventKind, [&](EventRef event) {
        kept = RetainEvent(event);
        return noErr;
    });
    EventRef event = makeTestEvent();
    SendEventToEventTarget(event, target.get());
    ReleaseEvent(event);
    QCOMPARE(GetEventKind(kept),
             kTestEvent.eventKind); // a use after free shows in the sanitizer build
    ReleaseEvent(kept);
}

void EventsTest::parameters_data()
{
    QTest::addColumn<uint>("askedType");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("expectedValue");
    const uint magn = typeUInt32;
    QTest::newRow("exact type and size") << magn << 4 << int(noErr) << 0x12345678;
    QTest::newRow("short buffer receives nothing") << magn << 2 << int(errDataSizeMismatch) << -1;
    QTest::newRow("other type") << uint(typeLongInteger) << 4 << int(errAECoercionFail) << -1;
}

void EventsTest::parameters()
{
    QFETCH(uint, askedType);
    QFETCH(int, bufferSize);
    QFETCH(int, status);
    QFETCH(int, expectedValue);
    EventRef event = makeTestEvent();
    const UInt32 stored = 0x12345678;
    QCOMPARE(SetEventParameter(event, kEventParamAttributes, typeUInt32, sizeof stored, &stored),
             noErr);
    SInt32 buffer[2] = {-1, -1};
    QCOMPARE(GetEventParameter(event, kEventParamAttributes, askedType, nullptr,
                               ByteCount(bufferSize), nullptr, buffer),
             OSStatus(status));
    QCOMPARE(buffer[0], expectedValue);
    QCOMPARE(buffer[1], -1);
    QCOMPARE(GetEventParameter(event, kEventParamDirectObject, typeWildCard, nullptr, 4, nullptr,
                               buffer),
             eventParameterNotFoundErr);
    ReleaseEvent(event);
}

QTEST_GUILESS_MAIN(EventsTest)
#include "tst_events.moc"
