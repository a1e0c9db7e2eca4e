#include "app/windowlookup.h"

#include "platform/alerts.h"
#include "platform/windows.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

// One Pascal string: a length byte and at most 255 bytes.
using PascalBuffer = std::array<unsigned char, 256>;

// The longest prefix of at most `limit` bytes that does not end inside a
// UTF-8 sequence, so a cut text still decodes to whole characters.
std::size_t utf8PrefixLength(const unsigned char* text, std::size_t length, std::size_t limit)
{
    if (length <= limit)
        return length;
    std::size_t cut = limit;
    // Step back over continuation bytes to the start of the cut character.
    while (cut > 0 && (text[cut] & 0xC0) == 0x80)
        --cut;
    return cut;
}

// Sets `out` to `text` (length bytes) followed by `suffix`; when both do not
// fit in 255 bytes, the text is shortened so that the suffix still does.
void makePascal(PascalBuffer& out, const unsigned char* text, std::size_t length,
                const char* suffix)
{
    const std::size_t suffixLength = std::min<std::size_t>(std::strlen(suffix), 255);
    const std::size_t textLength = utf8PrefixLength(text, length, 255 - suffixLength);
    if (textLength > 0)
        std::memcpy(out.data() + 1, text, textLength);
    std::memcpy(out.data() + 1 + textLength, suffix, suffixLength);
    out[0] = static_cast<unsigned char>(textLength + suffixLength);
}

} // namespace

WindowRef FindMyWindow(long tag, bool select)
{
    WindowRef window = FrontWindow();
    while (window != nullptr && GetWRefCon(window) != tag)
        window = GetNextWindow(window);
    if (window != nullptr && select)
        SelectWindow(window);
    return window;
}

void minorError(const unsigned char* title, const unsigned char* message, long err)
{
    if (title == nullptr)
        return;
    AlertStdAlertParamRec param{};
    param.movable = true;
    SInt16 itemHit = 0;
    PascalBuffer buffer{};
    char suffix[64];
    if (message == nullptr) {
        std::snprintf(suffix, sizeof suffix, "Unknown error (%ld)", err);
        makePascal(buffer, nullptr, 0, suffix);
        StandardAlert(kAlertNoteAlert, title, buffer.data(), &param, &itemHit);
    } else if (err == 0) {
        StandardAlert(kAlertNoteAlert, title, message, &param, &itemHit);
    } else {
        std::snprintf(suffix, sizeof suffix, " (%ld)", err);
        makePascal(buffer, title + 1, title[0], suffix);
        StandardAlert(kAlertNoteAlert, buffer.data(), message, &param, &itemHit);
    }
}

void minorError(const char* title, const char* message, long err)
{
    PascalBuffer pascalTitle{};
    PascalBuffer pascalMessage{};
    const char* t = title != nullptr ? title : "";
    makePascal(pascalTitle, reinterpret_cast<const unsigned char*>(t), std::strlen(t), "");
    if (message != nullptr)
        makePascal(pascalMessage, reinterpret_cast<const unsigned char*>(message),
                   std::strlen(message), "");
    minorError(pascalTitle.data(), message != nullptr ? pascalMessage.data() : nullptr, err);
}
