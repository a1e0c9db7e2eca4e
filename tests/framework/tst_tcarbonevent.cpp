// The event wrapper: its reference to the event and its typed accessors.

#include "framework/tcarbonevent.h"

#include <QRegion>
#include <QTest>

#include <cstring>
#include <functional>
#include <stdexcept>

namespace {

constexpr EventParamName kName = FOUR_CHAR_CODE("test");

EventRef makeEvent()
{
    EventRef event = nullptr;
    CreateEvent(nullptr, FOUR_CHAR_CODE("test"), 1, 0, kEventAttributeNone, &event);
    return event;
}

// Sets the value through the typed setter and checks what the event holds:
// its type code, its size and the same bytes back through the typed getter.
template <typename T>
void checkTypedPair(const T& value, EventParamType expectedType)
{
    TCarbonEvent event(FOUR_CHAR_CODE("test"), 1);
    QCOMPARE(event.SetParameter(kName, value), noErr);
    EventParamType type = 0;
    QCOMPARE(event.GetParameterType(kName, &type), noErr);
    QCOMPARE(fourCharCodeString(type), fourCharCodeString(expectedType));
    UInt32 size = 0;
    QCOMPARE(event.GetParameterSize(kName, &size), noErr);
    QCOMPARE(size, UInt32(sizeof(T)));
    T back;
    std::memset(&back, 0, sizeof back);
    QCOMPARE(event.GetParameter(kName, &back), noErr);
    QVERIFY(std::memcmp(&back, &value, sizeof(T)) == 0);
}

} // namespace

class TCarbonEventTest : public QObject {
    Q_OBJECT
private slots:
    void wrappingLeavesTheRetainCountAsItWas_data();
    void wrappingLeavesTheRetainCountAsItWas();
    void typedAccessorsUseTheirTypeCodeAndSize();
    void getterPassesTheBufferSizeAsAsked();
};

void TCarbonEventTest::wrappingLeavesTheRetainCountAsItWas_data()
{
    QTest::addColumn<bool>("throwInside");
    QTest::addColumn<int>("nested");
    QTest::newRow("one wrapper") << false << 1;
    QTest::newRow("three wrappers") << false << 3;
    QTest::newRow("exception passes the wrapper") << true << 1;
    QTest::newRow("exception passes nested wrappers") << true << 2;
}

void TCarbonEventTest::wrappingLeavesTheRetainCountAsItWas()
{
    QFETCH(bool, throwInside);
    QFETCH(int, nested);
    EventRef event = makeEvent();
    RetainEvent(event);  // held elsewhere too
    const ItemCount before = GetEventRetainCount(event);
    bool caught = false;
    try {
        std::function<void(int)> wrap = [&](int depth) {
            TCarbonEvent wrapper(event);
            QCOMPARE(GetEventRetainCount(event), before + ItemCount(nested - depth + 1));
            QCOMPARE(wrapper.GetEventRef(), event);
            if (depth > 1)
                wrap(depth - 1);
            else if (throwInside)
                throw std::runtime_error("passing through");
        };
        wrap(nested);
    } catch (const std::runtime_error&) {
        caught = true;
    }
    QCOMPARE(caught, throwInside);
    QCOMPARE(GetEventRetainCount(event), before);
    ReleaseEvent(event);
    ReleaseEvent(event);
}

void TCarbonEventTest::typedAccessorsUseTheirTypeCodeAndSize()
{
    QRegion region;
    int stand = 0;  // any address stands for a reference
    checkTypedPair(UInt8(7), typeBoolean);
    checkTypedPair(true, typeBoolean);
    checkTypedPair(Point{-3, 12}, typeQDPoint);
    checkTypedPair(HIPoint{1.5f, -2.25f}, typeHIPoint);
    checkTypedPair(Rect{1, 2, 30, 40}, typeQDRectangle);
    checkTypedPair(HIRect{{1, 2}, {300, 400}}, typeHIRect);
    checkTypedPair(HISize{10.5f, 20}, typeHISize);
    checkTypedPair(RgnHandle(&region), typeQDRgnHandle);
    checkTypedPair(reinterpret_cast<WindowRef>(&stand), typeWindowRef);
    checkTypedPair(reinterpret_cast<ControlRef>(&stand), typeControlRef);
    checkTypedPair(reinterpret_cast<MenuRef>(&stand), typeMenuRef);
    checkTypedPair(reinterpret_cast<DragRef>(&stand), typeDragRef);
    checkTypedPair(UInt32(0xDEADBEEF), typeUInt32);
    checkTypedPair(ControlPartCode(-2), typeControlPartCode);
    HICommand command;
    std::memset(&command, 0, sizeof command);
    command.attributes = kHICommandFromMenu;
    command.commandID = FOUR_CHAR_CODE("DWIN");
    command.menu.menuItemIndex = 3;
    checkTypedPair(command, typeHICommand);

    // A Boolean set as a byte reads back as a bool and the other way round.
    TCarbonEvent event(FOUR_CHAR_CODE("test"), 1);
    QCOMPARE(event.SetParameter(kName, UInt8(1)), noErr);
    bool flag = false;
    QCOMPARE(event.GetParameter(kName, &flag), noErr);
    QVERIFY(flag);
}

void TCarbonEventTest::getterPassesTheBufferSizeAsAsked()
{
    TCarbonEvent event(FOUR_CHAR_CODE("test"), 1);
    const UInt32 value = 0x01020304;
    QCOMPARE(event.SetParameter(kName, value), noErr);

    // Larger than the parameter: filled as far as the parameter goes, no padding.
    unsigned char large[8];
    std::memset(large, 0xAA, sizeof large);
    QCOMPARE(event.GetParameter(kName, typeUInt32, sizeof large, large), noErr);
    QVERIFY(std::memcmp(large, &value, sizeof value) == 0);
    QCOMPARE(large[4], (unsigned char)0xAA);
    QCOMPARE(large[7], (unsigned char)0xAA);
    // A query for a missing parameter leaves the size alone.
    UInt32 size = 7;
    QCOMPARE(event.GetParameterSize(FOUR_CHAR_CODE("none"), &size), eventParameterNotFoundErr);
    QCOMPARE(size, UInt32(7));
}

QTEST_MAIN(TCarbonEventTest)
#include "tst_tcarbonevent.moc"
