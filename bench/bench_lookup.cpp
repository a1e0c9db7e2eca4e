// Speed of the quick look-ups on the shipped dictionary
// (build/share/tavi/dictionary.txt): findDefinition for common words, a
// plural and one that matches nothing (goal: at most 10 ms each),
// findCharacter for a key (goal: at most 5 us) and for a character the
// dictionary lacks (goal: at most 5 ms), and the whole quick look-up of English and pinyin (goal:
// at most 5 ms). The search forms of the fields a look-up reads are made by the first look-up; the
// "first" benchmarks measure that cost on a fresh index. Reading a history file of 20 MB of real
// keys, the start-up cost of the largest history anyone will have (goal: under a second).

#include "store/dictionary.h"
#include "store/searchindex.h"
#include "windows/lookup.h"
#include "windows/history/history.h"
#include "windows/history/historyfile.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

const std::string kDictionary = std::string(TAVI_BUILD_SHARE_DIR) + "/dictionary.txt";

bool loadShippedDictionary()
{
    static const bool loaded = [] {
        FILE* probe = fopen(kDictionary.c_str(), "r");
        if (!probe)
            return false;
        fclose(probe);
        dict.loadIndex(kDictionary.c_str());
        dict.load(kDictionary.c_str(), nullptr);
        return !dict.entries.empty();
    }();
    return loaded;
}

std::vector<UniChar> unitsOf(const QString& text)
{
    return std::vector<UniChar>(text.utf16(), text.utf16() + text.size());
}

void lookUpDefinition(benchmark::State& state, const QString& word)
{
    if (!loadShippedDictionary()) {
        state.SkipWithError("the shipped dictionary is not built");
        return;
    }
    const auto units = unitsOf(word);
    findDefinition(units.data(), SInt32(units.size())); // builds the index
    for (auto _ : state) {
        benchmark::DoNotOptimize(findDefinition(units.data(), SInt32(units.size())));
        history.clear();
    }
}

void lookUpCharacter(benchmark::State& state, const QString& text)
{
    if (!loadShippedDictionary()) {
        state.SkipWithError("the shipped dictionary is not built");
        return;
    }
    const auto units = unitsOf(text);
    findCharacter(units.data(), SInt32(units.size()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(findCharacter(units.data(), SInt32(units.size())));
        history.clear();
    }
}

void BM_findDefinitionWater(benchmark::State& state)
{
    lookUpDefinition(state, QStringLiteral("water"));
}

// Words whose glosses decide the order: "drink" is a gloss of many
// characters; "hands" matches nothing as typed and is looked up as "hand".
void BM_findDefinitionDrink(benchmark::State& state)
{
    lookUpDefinition(state, QStringLiteral("drink"));
}

void BM_findDefinitionPlural(benchmark::State& state)
{
    lookUpDefinition(state, QStringLiteral("hands"));
}

void BM_findDefinitionNoMatch(benchmark::State& state)
{
    lookUpDefinition(state, QStringLiteral("qzxvjk"));
}

void BM_findCharacterCommon(benchmark::State& state)
{
    lookUpCharacter(state, QStringLiteral("水"));
}

void BM_findCharacterMissing(benchmark::State& state)
{
    lookUpCharacter(state, QString(QChar(0xE000))); // a private-use character
}

void quickLookUp(benchmark::State& state, const QString& text)
{
    if (!loadShippedDictionary()) {
        state.SkipWithError("the shipped dictionary is not built");
        return;
    }
    lookUpQuickly(text);
    for (auto _ : state) {
        benchmark::DoNotOptimize(lookUpQuickly(text));
        history.clear();
    }
}

void BM_quickLookUpEat(benchmark::State& state)
{
    quickLookUp(state, QStringLiteral("eat"));
}

void BM_quickLookUpPinyin(benchmark::State& state)
{
    quickLookUp(state, QStringLiteral("shuǐ"));
}

void BM_quickLookUpNothing(benchmark::State& state)
{
    quickLookUp(state, QStringLiteral("qzxvjk"));
}

// The first look-up of a run also builds the index it uses.
void BM_firstDefinitionLookUp(benchmark::State& state)
{
    if (!loadShippedDictionary()) {
        state.SkipWithError("the shipped dictionary is not built");
        return;
    }
    for (auto _ : state) {
        dictsearch::SearchIndex forms(&dict);
        tavi_lookup::LookupIndex fresh(dict, forms);
        benchmark::DoNotOptimize(fresh.findDefinition(u"water"));
    }
}

void BM_firstCharacterLookUp(benchmark::State& state)
{
    if (!loadShippedDictionary()) {
        state.SkipWithError("the shipped dictionary is not built");
        return;
    }
    for (auto _ : state) {
        dictsearch::SearchIndex forms(&dict);
        tavi_lookup::LookupIndex fresh(dict, forms);
        benchmark::DoNotOptimize(fresh.findCharacter({0x6C34}));
    }
}

} // namespace

void BM_loadHistory20MB(benchmark::State& state)
{
    if (!loadShippedDictionary()) {
        state.SkipWithError("the shipped dictionary is not built");
        return;
    }
    // Every entry's key in turn, again and again, as saved histories hold them.
    std::string text;
    char hex[16];
    for (std::size_t i = 0; text.size() < 20u * 1000 * 1000; i = (i + 7919) % dict.entries.size()) {
        text += 'U';
        for (uint32_t code : dict.entries[i]->codes)
            text.append(hex, std::size_t(snprintf(hex, sizeof hex, "+%X", code)));
        text += '\n';
    }
    char folder[] = "/tmp/tavi-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        state.SkipWithError("cannot make a folder");
        return;
    }
    setenv("XDG_CONFIG_HOME", folder, 1);
    const std::string saved = getHistoryLocation();
    FILE* file = fopen(saved.c_str(), "w");
    const bool written = file && fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file)
        fclose(file);
    if (!written) {
        state.SkipWithError("cannot write the history file");
        return;
    }
    for (auto _ : state) {
        history.clear();
        loadHistory();
        benchmark::DoNotOptimize(history.data());
    }
    state.counters["entries"] = double(history.size());
    state.counters["MB"] = double(text.size()) / 1e6;
    remove(saved.c_str());
    rmdir(folder);
}

BENCHMARK(BM_findDefinitionWater)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_findDefinitionDrink)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_findDefinitionPlural)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_findDefinitionNoMatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_findCharacterCommon)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_findCharacterMissing)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_quickLookUpEat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_quickLookUpPinyin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_quickLookUpNothing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_firstDefinitionLookUp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_firstCharacterLookUp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_loadHistory20MB)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
