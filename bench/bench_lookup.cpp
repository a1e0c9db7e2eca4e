// Speed of the quick look-ups on the shipped dictionary
// (build/share/tavi/dictionary.txt): findDefinition for a common word and for
// one that matches nothing (goal: at most 20 ms each), findCharacter for a
// common character and for one the dictionary lacks (goal: at most 5 ms
// each). The indexes are built by the first look-up; the "first" benchmarks
// measure that cost on a fresh index.

#include "store/dictionary.h"
#include "windows/floating/lookup.h"
#include "windows/history/history.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <cstdio>
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

// The first look-up of a run also builds the index it uses.
void BM_firstDefinitionLookUp(benchmark::State& state)
{
    if (!loadShippedDictionary()) {
        state.SkipWithError("the shipped dictionary is not built");
        return;
    }
    for (auto _ : state) {
        tavi_lookup::LookupIndex fresh(dict);
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
        tavi_lookup::LookupIndex fresh(dict);
        benchmark::DoNotOptimize(fresh.findCharacter({0x6C34}));
    }
}

} // namespace

BENCHMARK(BM_findDefinitionWater)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_findDefinitionNoMatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_findCharacterCommon)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_findCharacterMissing)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_firstDefinitionLookUp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_firstCharacterLookUp)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
