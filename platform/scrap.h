#pragma once
// Scraps: small in-memory sets of data flavours, made for each services call
// and handed to the handlers as the kEventParamScrapRef parameter
// (typeScrapRef). Unicode text is 'utxt' (UTF-16 units in host order, no
// byte-order mark, no terminator); 8-bit text is 'TEXT'.

#include "platform/types.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>

using ScrapFlavorType = FourCharCode;
using ScrapFlavorFlags = UInt32;
constexpr ScrapFlavorType kScrapFlavorTypeUnicode = FOUR_CHAR_CODE("utxt");
constexpr ScrapFlavorType kScrapFlavorTypeText = FOUR_CHAR_CODE("TEXT");
constexpr ScrapFlavorFlags kScrapFlavorMaskNone = 0;

class Scrap {
public:
    void clear() { m_flavors.clear(); }
    void put(ScrapFlavorType type, QByteArray data) { m_flavors[type] = std::move(data); }
    std::optional<QByteArray> flavor(ScrapFlavorType type) const;
    bool has(ScrapFlavorType type) const { return m_flavors.count(type) != 0; }

    // Unicode text as 'utxt', and back (an odd last byte is dropped).
    void putText(const QString& text);
    std::optional<QString> text() const;

private:
    std::map<ScrapFlavorType, QByteArray> m_flavors;
};

OSStatus CreateScrap(ScrapRef* outScrap);
void DisposeScrap(ScrapRef scrap);

// noTypeErr when the flavour is not on the scrap.
OSStatus GetScrapFlavorSize(ScrapRef scrap, ScrapFlavorType type, Size* outSize);
// ioByteCount: the buffer's size in, the bytes copied out (at most the
// buffer's size; a short buffer receives the first bytes).
OSStatus GetScrapFlavorData(ScrapRef scrap, ScrapFlavorType type, Size* ioByteCount,
                            void* destination);
// Puts (or replaces) a flavour.
OSStatus PutScrapFlavor(ScrapRef scrap, ScrapFlavorType type, ScrapFlavorFlags flags, Size size,
                        const void* data);
OSStatus ClearScrap(ScrapRef* scrap);
