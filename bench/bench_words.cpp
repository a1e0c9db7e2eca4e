// The word dictionary on the shipped word file (build/share/tavi/words.dat):
// opening it, the cost added to start-up (goal: well under 10% of loading
// the character dictionary, see bench_dictionary); the longest word a text
// starts with (goal: at most 1 ms); the most common words holding a
// character (goal: at most 1 ms); English and pinyin look-ups. The counter
// "memory_per_file" is the memory the store holds over the file's size
// (goal: at most 2).

#include "store/pinyinquery.h"
#include "store/words.h"

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QString>

namespace {

const QString kWords = QStringLiteral(TAVI_BUILD_SHARE_DIR "/words.dat");

const words::WordStore* shipped(benchmark::State& state)
{
    static words::WordStore store;
    static const bool opened = store.open(kWords);
    if (!opened)
        state.SkipWithError("the shipped word file is not built");
    return opened ? &store : nullptr;
}

void BM_OpenWordFile(benchmark::State& state)
{
    for (auto _ : state) {
        words::WordStore store;
        if (!store.open(kWords)) {
            state.SkipWithError("the shipped word file is not built");
            return;
        }
        benchmark::DoNotOptimize(store.size());
    }
    words::WordStore store;
    store.open(kWords);
    state.counters["memory_per_file"] = double(store.byteSize()) / double(QFileInfo(kWords).size());
}
BENCHMARK(BM_OpenWordFile)->Unit(benchmark::kMillisecond);

void BM_LongestWord(benchmark::State& state, const QString& text)
{
    const words::WordStore* store = shipped(state);
    if (!store)
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(store->longestPrefix(text));
}
BENCHMARK_CAPTURE(BM_LongestWord, zhongwen, QStringLiteral("中文"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LongestWord, long_sentence,
                  QStringLiteral("中华人民共和国是一个位于东亚的国家，首都北京"))
    ->Unit(benchmark::kMicrosecond);

void BM_WordsContaining(benchmark::State& state)
{
    const words::WordStore* store = shipped(state);
    if (!store)
        return;
    for (auto _ : state) {
        // The list shows the words themselves, so that is part of the cost.
        for (uint32_t w : store->wordsContaining(U'水', 12))
            benchmark::DoNotOptimize(store->word(w));
    }
}
BENCHMARK(BM_WordsContaining)->Unit(benchmark::kMicrosecond);

void BM_Gloss(benchmark::State& state, const QString& english, words::GlossMatch match)
{
    const words::WordStore* store = shipped(state);
    if (!store)
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(store->findGloss(english, match));
}
BENCHMARK_CAPTURE(BM_Gloss, equal_computer, QStringLiteral("computer"), words::GlossMatch::Equal)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Gloss, starts_a, QStringLiteral("a"), words::GlossMatch::StartsWith)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Gloss, whole_to_be, QStringLiteral("to be"), words::GlossMatch::WholeWord)
    ->Unit(benchmark::kMicrosecond);

void BM_Reading(benchmark::State& state)
{
    const words::WordStore* store = shipped(state);
    if (!store)
        return;
    const auto syllables = pinyinquery::parse(QStringLiteral("nihao"));
    for (auto _ : state)
        benchmark::DoNotOptimize(store->findReading(syllables, 12));
}
BENCHMARK(BM_Reading)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
