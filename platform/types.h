#pragma once
// Basic types of the platform layer: status numbers, four-character codes,
// geometry records, control identifiers and command records. Everything the
// system code passes across the layer boundary that is not a Qt type.

#include <cstddef>
#include <cstdint>
#include <string>

class QPainter;
class QRegion;
class QString;

// ---------------------------------------------------------------------------
// Integer types under the names the system code uses.

using UInt8 = std::uint8_t;
using UInt16 = std::uint16_t;
using UInt32 = std::uint32_t;
using UInt64 = std::uint64_t;
using SInt8 = std::int8_t;
using SInt16 = std::int16_t;
using SInt32 = std::int32_t;
using SInt64 = std::int64_t;
using Boolean = unsigned char;
using Size = long; // byte counts of data buffers
using ByteCount = unsigned long;
using ItemCount = unsigned long;
using CFIndex = long;
using SRefCon = std::intptr_t; // a window's reference constant

using FourCharCode = UInt32;
using OSType = FourCharCode;
using ResType = FourCharCode;

// ---------------------------------------------------------------------------
// Status numbers. 0 is success; every failure is a named negative number.

using OSStatus = std::int32_t;
using OSErr = std::int16_t;

constexpr OSStatus noErr = 0;
constexpr OSStatus ioErr = -36;
constexpr OSStatus paramErr = -50;
constexpr OSStatus memFullErr = -108;
constexpr OSStatus errInvalidWindowRef = -5600;
constexpr OSStatus eventNotHandledErr = -9874;
constexpr OSStatus errDataSizeMismatch = -30591;

// ---------------------------------------------------------------------------
// Four-character codes: the 32-bit big-endian integer of four ASCII
// characters, so FOUR_CHAR_CODE("DWIN") == 0x4457494E. Only a literal of
// exactly four characters compiles.

constexpr FourCharCode FOUR_CHAR_CODE(const char (&s)[5])
{
    return (FourCharCode(UInt8(s[0])) << 24) | (FourCharCode(UInt8(s[1])) << 16) |
           (FourCharCode(UInt8(s[2])) << 8) | FourCharCode(UInt8(s[3]));
}

namespace tavi::platform::detail {
template <std::size_t N>
struct FourCharLiteral {
    char chars[N];
    constexpr FourCharLiteral(const char (&s)[N])
    {
        for (std::size_t i = 0; i < N; ++i)
            chars[i] = s[i];
    }
};
} // namespace tavi::platform::detail

// "DWIN"_4cc, the same as FOUR_CHAR_CODE("DWIN"); usable in case labels.
template <tavi::platform::detail::FourCharLiteral S>
constexpr FourCharCode operator""_4cc()
{
    static_assert(sizeof(S.chars) == 5, "a four-character code has exactly four characters");
    return FOUR_CHAR_CODE(S.chars);
}

// The four characters of a code as printf arguments, most significant first:
//   printf("Unknown app command: %c%c%c%c\n", FOUR_CHAR_ARGS(command));
#define FOUR_CHAR_ARGS(code)                                                                       \
    static_cast<char>((UInt32(code) >> 24) & 0xFF),                                                \
        static_cast<char>((UInt32(code) >> 16) & 0xFF),                                            \
        static_cast<char>((UInt32(code) >> 8) & 0xFF), static_cast<char>(UInt32(code) & 0xFF)

// ---------------------------------------------------------------------------
// Geometry. Rect and Point are 16-bit integer records (global or window
// coordinates); the HI records are 32-bit floats.

struct Point {
    SInt16 v;
    SInt16 h;
};

struct Rect {
    SInt16 top;
    SInt16 left;
    SInt16 bottom;
    SInt16 right;
};

inline void SetRect(Rect* r, short left, short top, short right, short bottom)
{
    r->left = left;
    r->top = top;
    r->right = right;
    r->bottom = bottom;
}

struct HIPoint {
    float x;
    float y;
};

struct HISize {
    float width;
    float height;
};

struct HIRect {
    HIPoint origin;
    HISize size;
};

using CGPoint = HIPoint;
using CGSize = HISize;
using CGRect = HIRect;

// A region is a QRegion; a drawing context is the QPainter of the paint.
using RgnHandle = QRegion*;
using CGContextRef = QPainter*;

struct RGBColor {
    UInt16 red;
    UInt16 green;
    UInt16 blue;
};

// ---------------------------------------------------------------------------
// Objects of the layer, handed out as pointers.

class PlatformEvent;
class EventTarget;
class EventHandler;
struct EventHandlerCall;
class PlatformWindow;
class PlatformControl;
class NibReference;
class Scrap;
class QMenu;

using EventRef = PlatformEvent*;
using EventTargetRef = EventTarget*;
using EventHandlerRef = EventHandler*;
using EventHandlerCallRef = EventHandlerCall*;
using WindowRef = PlatformWindow*;
using WindowPtr = WindowRef;
using CGrafPtr = WindowRef; // a window's drawing port is the window itself
using ControlRef = PlatformControl*;
using HIViewRef = ControlRef;
using IBNibRef = NibReference*;
using ScrapRef = Scrap*;
using MenuRef = QMenu*;

using ControlPartCode = SInt16;
using MenuItemIndex = UInt16;
using MenuCommand = UInt32;
using EventTime = double; // seconds
using WindowRegionCode = UInt16;

// A control's identifier within its window.
struct ControlID {
    OSType signature;
    SInt32 id;
};

// The command record of a command event.
struct HICommand {
    UInt32 attributes;
    UInt32 commandID;
    struct {
        MenuRef menuRef;
        MenuItemIndex menuItemIndex;
    } menu;
};

// Where a command came from (HICommand::attributes).

constexpr UInt32 kHICommandOK = FOUR_CHAR_CODE("ok  ");
constexpr UInt32 kHICommandQuit = FOUR_CHAR_CODE("quit");
