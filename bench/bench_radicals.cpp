// Speed of the look-up by radical on the shipped dictionary, on the offscreen
// platform: making the index (the first opening does it once), opening the
// window, and choosing radical 85 (water, over 1,500 characters).

#include "app/globals.h"
#include "platform/windows.h"
#include "store/dictionary.h"
#include "store/locations.h"
#include "store/radicals.h"
#include "windows/radical/radicalwindow.h"

#include <QApplication>
#include <QFile>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

const std::string kDictionary = std::string(TAVI_BUILD_SHARE_DIR) + "/dictionary.txt";

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

WindowRef radicalWindow()
{
    for (WindowRef window : GetWindowList()) {
        if (GetWRefCon(window) == SRefCon(kRadicalWindowTag))
            return window;
    }
    return nullptr;
}

void BM_BuildRadicalIndex(benchmark::State& state)
{
    QFile file(QStringLiteral(TAVI_BUILD_SHARE_DIR "/CJKRadicals.txt"));
    file.open(QIODevice::ReadOnly);
    const QByteArray text = file.readAll();
    for (auto _ : state) {
        radicals::RadicalIndex index;
        benchmark::DoNotOptimize(index.build(dict, text));
    }
}

// Opening, shown and painted once; the index is made already.
void BM_OpenRadicalWindow(benchmark::State& state)
{
    radicalIndex();
    for (auto _ : state) {
        createRadicalWindow();
        settle();
        state.PauseTiming();
        DisposeWindow(radicalWindow());
        settle();
        state.ResumeTiming();
    }
}

void BM_ChooseRadical85(benchmark::State& state)
{
    createRadicalWindow();
    settle();
    WindowRef window = radicalWindow();
    for (auto _ : state) {
        chooseRadical(window, 85, false);
        settle();
        state.PauseTiming();
        chooseRadical(window, 1, false);
        settle();
        state.ResumeTiming();
    }
    chooseRadical(window, 85, false);
    state.counters["characters"] = listedCharacterCount(window);
    DisposeWindow(window);
    settle();
}

} // namespace

BENCHMARK(BM_BuildRadicalIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenRadicalWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooseRadical85)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    dict.loadIndex(kDictionary.c_str());
    dict.load(kDictionary.c_str(), nullptr);
    if (dict.count == 0 || !radicalIndex()) {
        std::fprintf(stderr, "The shipped dictionary or the radical list is missing\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
