// The history file reader (loadHistory) on any file: the history it builds
// names existing entries, each once; saving it and reading it back gives the
// same history; reading never touches anything but the history.

#include "fuzz/fuzzsupport.h"
#include "store/dictionary.h"
#include "windows/history/history.h"
#include "windows/history/historyfile.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

namespace {

std::string g_historyPath;

const char kIndex[] =
    "kMandarin\tPYIN\tkRomanization\tMandarin\tReading\n"
    "kDefinition\tEDEF\tkDefinition\tDefinition\tEnglish definition\n"
    "kTraditionalVariant\tTRAD\tkAltCharacter\tTraditional\tTraditional form\n";

// Keys of one and two code points, one above U+FFFF, and alternative forms
// that are no entry's key, so that every entry is found by its own key.
const char kDictionary[] =
    "U+4E2D\tkMandarin\tzhong1\n"
    "U+6587\tkMandarin\twen2\n"
    "U+6C34\tkDefinition\twater\n"
    "U+53F0\tkTraditionalVariant\tU+6AAF\n"
    "U+6B61+8FCE\tkDefinition\twelcome\n"
    "U+20000\tkDefinition\t(same as U+5316) to change\n"
    "U+41\tkDefinition\tthe letter\n"
    "U+0\tkDefinition\tnothing\n"
    "U+4E00+4E01+4E02+4E03+4E04+4E05+4E06+4E07+4E08+4E09+4E0A+4E0B+4E0C+4E0D+4E0E+4E0F"
    "+4E10+4E11+4E12+4E13+4E14+4E15+4E16+4E17+4E18+4E19+4E1A+4E1B+4E1C+4E1D+4E1E+4E1F"
    "\tkDefinition\tthirty-two characters\n";

void checkHistory()
{
    std::set<uint32_t> seen;
    for (uint32_t index : history) {
        FUZZ_CHECK(index < dict.entries.size());
        FUZZ_CHECK(seen.insert(index).second);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    new QCoreApplication(*argc, *argv); // for the life of the process
    fuzzsupport::silenceStdout();
    const std::string path = fuzzsupport::scratchPath("dictionary.txt");
    fuzzsupport::writeFile(path + ".index", kIndex, strlen(kIndex));
    fuzzsupport::writeFile(path, kDictionary, strlen(kDictionary));
    dict.loadIndex(path.c_str());
    dict.load(path.c_str(), nullptr);
    FUZZ_CHECK(dict.entries.size() == 9);
    // The history file goes to the scratch folder, never the user's own.
    const std::string config = fuzzsupport::scratchPath("config");
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    g_historyPath = getHistoryLocation();
    FUZZ_CHECK(g_historyPath.rfind(config, 0) == 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::writeFile(g_historyPath, data, size);
    history.clear();
    loadHistory();
    checkHistory();
    // Nothing read: the history starts with the welcome entry.
    FUZZ_CHECK(!history.empty());

    const std::vector<uint32_t> loaded = history;
    saveHistory();
    history.clear();
    loadHistory();
    FUZZ_CHECK(history == loaded);
    return 0;
}
