// dictionary::load on any file, read against a fixed field index: the store
// keeps its structure, every value shows what the display rules say, the
// progress bar only moves forward and ends at 1000, and every value written
// back to the user dictionary reads back the same.

#include "fuzz/fuzzdictionary.h"
#include "fuzz/fuzzsupport.h"
#include "store/dictionary.h"
#include "store/locations.h"
#include "store/progress.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

std::string g_dictionaryPath;
std::string g_userPath;

class CheckedProgress : public LoadProgress {
public:
    void setProgressMaximum(int32_t maximum) override
    {
        FUZZ_CHECK(maximum == 1000);
        ++maxima;
    }
    void setProgressValue(int32_t value) override
    {
        FUZZ_CHECK(value >= last && value <= 1000);
        last = value;
    }
    int maxima = 0;
    int32_t last = 0;
};

using Values = std::map<std::pair<std::vector<uint32_t>, int>, std::pair<QByteArray, QString>>;

Values valuesOf(const dictionary& d)
{
    Values values;
    for (const characterEntry* e : d.entries) {
        for (const dictValue* v : e->values)
            values[{std::vector<uint32_t>(e->codes.begin(), e->codes.end()), v->field}] = {
                v->text(), v->display()};
    }
    return values;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::silenceStdout();
    g_dictionaryPath = fuzzsupport::scratchPath("dictionary.txt");
    const std::string index = g_dictionaryPath + ".index";
    fuzzsupport::writeFile(index, fuzzsupport::kFieldIndex, strlen(fuzzsupport::kFieldIndex));
    // The user dictionary goes to the scratch folder, never the user's own.
    const std::string dataHome = fuzzsupport::scratchPath("data");
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    g_userPath = getCustomDictLocation();
    FUZZ_CHECK(g_userPath.rfind(dataHome, 0) == 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::writeFile(g_dictionaryPath, data, size);
    dictionary d;
    FUZZ_CHECK(d.loadIndex(g_dictionaryPath.c_str()));
    CheckedProgress progress;
    d.load(g_dictionaryPath.c_str(), &progress);
    FUZZ_CHECK(progress.maxima == 1 && progress.last == 1000);
    fuzzsupport::checkStore(d);

    // Every value as an edit: saved, then read back as the next start would.
    const Values before = valuesOf(d);
    if (before.empty())
        return 0;
    for (characterEntry* e : d.entries) {
        for (dictValue* v : e->values)
            v->modified = 1;
    }
    unlink(g_userPath.c_str());
    saveCustomDictionary(&d);
    for (const characterEntry* e : d.entries) {
        for (const dictValue* v : e->values)
            FUZZ_CHECK(v->modified == 0);
    }
    dictionary again;
    again.loadIndex(g_dictionaryPath.c_str());
    again.load(g_userPath.c_str(), nullptr);
    fuzzsupport::checkStore(again);
    FUZZ_CHECK(valuesOf(again) == before);
    return 0;
}
