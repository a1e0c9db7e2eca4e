#include "platform/scrap.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr OSStatus noTypeErr = -102;

} // namespace

std::optional<QByteArray> Scrap::flavor(ScrapFlavorType type) const
{
    const auto found = m_flavors.find(type);
    if (found == m_flavors.end())
        return std::nullopt;
    return found->second;
}

void Scrap::putText(const QString& text)
{
    put(kScrapFlavorTypeUnicode,
        QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
}

std::optional<QString> Scrap::text() const
{
    const auto data = flavor(kScrapFlavorTypeUnicode);
    if (!data)
        return std::nullopt;
    QString text(data->size() / 2, Qt::Uninitialized);
    std::memcpy(text.data(), data->constData(), size_t(text.size()) * 2);
    return text;
}

OSStatus CreateScrap(ScrapRef* outScrap)
{
    if (!outScrap)
        return paramErr;
    *outScrap = new Scrap;
    return noErr;
}

void DisposeScrap(ScrapRef scrap)
{
    delete scrap;
}

OSStatus GetScrapFlavorSize(ScrapRef scrap, ScrapFlavorType type, Size* outSize)
{
    if (!scrap || !outSize)
        return paramErr;
    const auto data = scrap->flavor(type);
    if (!data)
        return noTypeErr;
    *outSize = data->size();
    return noErr;
}

OSStatus GetScrapFlavorData(ScrapRef scrap, ScrapFlavorType type, Size* ioByteCount,
                            void* destination)
{
    if (!scrap || !ioByteCount || *ioByteCount < 0 || (*ioByteCount > 0 && !destination))
        return paramErr;
    const auto data = scrap->flavor(type);
    if (!data)
        return noTypeErr;
    const Size count = std::min<Size>(*ioByteCount, data->size());
    if (count > 0)
        std::memcpy(destination, data->constData(), size_t(count));
    *ioByteCount = count;
    return noErr;
}

OSStatus PutScrapFlavor(ScrapRef scrap, ScrapFlavorType type, ScrapFlavorFlags, Size size,
                        const void* data)
{
    if (!scrap || size < 0 || (size > 0 && !data))
        return paramErr;
    scrap->put(type, QByteArray(static_cast<const char*>(data), qsizetype(size)));
    return noErr;
}

OSStatus ClearScrap(ScrapRef* scrap)
{
    if (!scrap || !*scrap)
        return paramErr;
    (*scrap)->clear();
    return noErr;
}
