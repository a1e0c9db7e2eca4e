// dictionary::loadImage on any file, against a fixed field index: a damaged
// image is refused and leaves the store empty, and one that is taken gives a
// store whose every key and value can be read within the file.

#include "fuzz/fuzzdictionary.h"
#include "fuzz/fuzzsupport.h"
#include "store/dictionary.h"
#include "store/image.h"
#include "store/textutil.h"

#include <QHash>
#include <QString>

#include <cstring>
#include <string>

namespace {

std::string g_textPath;
std::string g_imagePath;
volatile size_t g_sink;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::silenceStdout();
    g_textPath = fuzzsupport::scratchPath("dictionary.txt");
    g_imagePath = fuzzsupport::scratchPath("dictionary.dat");
    const std::string index = g_textPath + ".index";
    fuzzsupport::writeFile(index, fuzzsupport::kFieldIndex, strlen(fuzzsupport::kFieldIndex));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::writeFile(g_imagePath, data, size);
    dictionary d;
    FUZZ_CHECK(d.loadIndex(g_textPath.c_str()));
    // The text the image names, so that the rest of it is read.
    TextStamp madeFrom;
    if (size >= 32) {
        memcpy(&madeFrom.size, data + 16, 8);
        memcpy(&madeFrom.hash, data + 24, 8);
    }
    QString why;
    if (!d.loadImage(QString::fromStdString(g_imagePath), madeFrom, &why)) {
        FUZZ_CHECK(!why.isEmpty() && d.count == 0 && d.entries.empty());
        return 0;
    }
    size_t hash = 0;
    for (uint32_t i = 0; i < d.count; ++i) {
        const characterEntry* e = d.entries[i];
        FUZZ_CHECK(e->index == i && d.table->IsIn(e) == e);
        FUZZ_CHECK(tavi_text::isCharacterKey(e->codes.data(), e->codes.size()));
        uint64_t seen = 0;
        for (const dictValue* v : e->values) {
            FUZZ_CHECK(v->field >= 0 && size_t(v->field) < d.fields.size());
            FUZZ_CHECK((seen & characterEntry::fieldBit(v->field)) == 0 || v->field >= 63);
            seen |= characterEntry::fieldBit(v->field);
            FUZZ_CHECK(e->lookup(v->field) == v);
            // Every byte and unit is read: the sanitizers see any overrun.
            hash ^= qHash(v->text()) ^ qHash(v->display());
        }
    }
    g_sink = hash;
    return 0;
}
