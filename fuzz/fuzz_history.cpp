// The history file reader (loadHistory) on any file, against the shipped
// dictionary: the history it builds names existing entries or words, each once;
// saving it and reading it back gives the same history; reading never
// touches anything but the history.

#include "fuzz/fuzzsupport.h"
#include "store/dictionary.h"
#include "store/textutil.h"
#include "windows/wordentry.h"
#include "windows/history/history.h"
#include "windows/history/historyfile.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

namespace {

std::string g_historyPath;

// Beside the shipped dictionary, as a user dictionary would add them: keys
// of two code points, one of thirty-two, and the smallest characters.
const char kExtra[] =
    "U+6B61+8FCE\tkDefinition\twelcome\n"
    "U+41\tkDefinition\tthe letter\n"
    "U+1\tkDefinition\tthe first\n"
    "U+4E00+4E01+4E02+4E03+4E04+4E05+4E06+4E07+4E08+4E09+4E0A+4E0B+4E0C+4E0D+4E0E+4E0F"
    "+4E10+4E11+4E12+4E13+4E14+4E15+4E16+4E17+4E18+4E19+4E1A+4E1B+4E1C+4E1D+4E1E+4E1F"
    "\tkDefinition\tthirty-two characters\n";

void checkHistory()
{
    std::set<uint32_t> seen;
    for (uint32_t index : history) {
        FUZZ_CHECK(index < dict.entries.size() || isKnownWordRef(index));
        FUZZ_CHECK(seen.insert(index).second);
        // Only characters: no key past U+10FFFF, no surrogate, no U+0.
        if (index < dict.entries.size()) {
            const CodeList& codes = dict.entries[index]->codes;
            FUZZ_CHECK(tavi_text::isCharacterKey(codes.data(), codes.size()));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    new QCoreApplication(*argc, *argv); // for the life of the process
    fuzzsupport::silenceStdout();
    // The shipped dictionary, so that the lines name real entries.
    const std::string shipped = TAVI_FUZZ_RESOURCES_DIR "/dictionary.txt";
    FUZZ_CHECK(dict.loadIndex(shipped.c_str()));
    dict.load(shipped.c_str(), nullptr);
    const std::size_t count = dict.entries.size();
    FUZZ_CHECK(count > 10000);
    const std::string extra = fuzzsupport::scratchPath("extra.txt");
    fuzzsupport::writeFile(extra, kExtra, strlen(kExtra));
    dict.load(extra.c_str(), nullptr);
    FUZZ_CHECK(dict.entries.size() > count);
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
