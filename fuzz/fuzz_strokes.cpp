// StrokeStore::adopt on any bytes: a damaged stroke file is refused, or each
// look-up reads within its bounds and gives strokes that keep the record's
// promises (an outline starting with M, each operation with its points), or
// says the record is damaged. The first bytes also try the outline parser.

#include "fuzz/fuzzsupport.h"
#include "store/strokes.h"

#include <QByteArray>
#include <QString>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    strokes::Stroke parsed;
    if (strokes::parseOutline(QString::fromLatin1(bytes.left(256)), &parsed))
        FUZZ_CHECK(!parsed.operations.empty() && parsed.operations.front() == 'M');

    strokes::StrokeStore store;
    if (!store.adopt(bytes)) {
        FUZZ_CHECK(store.isEmpty());
        return 0;
    }
    store.notice();
    for (uint32_t i = 0; i < std::min<uint32_t>(store.size(), 64); ++i) {
        std::vector<strokes::Stroke> read;
        const strokes::Found found = store.find(store.codeAt(i), &read);
        if (found != strokes::Found::Strokes) {
            FUZZ_CHECK(found == strokes::Found::Damaged && read.empty());
            continue;
        }
        FUZZ_CHECK(!read.empty());
        for (const strokes::Stroke& s : read) {
            std::size_t points = 0;
            for (char op : s.operations) {
                FUZZ_CHECK(strokes::pointsOf(op) >= 0);
                points += std::size_t(strokes::pointsOf(op));
            }
            FUZZ_CHECK(!s.operations.empty() && s.operations.front() == 'M' &&
                       points == s.points.size());
        }
    }
    return 0;
}
