// Cost of the stroke order on the shipped data, on the offscreen platform:
// opening the stroke file and reading one character, drawing a frame of the
// animation, and opening the window until its first frame is painted. The
// memory counter is how much the resident set grows when the file is opened
// and ten characters are read from it.

#include "app/globals.h"
#include "platform/windows.h"
#include "store/strokes.h"
#include "windows/strokeorder/strokedrawing.h"
#include "windows/strokeorder/strokeorderwindow.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <string_view>

#include <unistd.h>

namespace {

const QString kStrokes = QStringLiteral(TAVI_BUILD_SHARE_DIR "/strokes.dat");

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

WindowRef strokeWindow()
{
    for (WindowRef window : GetWindowList()) {
        if (GetWRefCon(window) == SRefCon(kStrokeOrderWindowTag))
            return window;
    }
    return nullptr;
}

long residentKilobytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

void BM_OpenFileAndReadOneCharacter(benchmark::State& state)
{
    for (auto _ : state) {
        strokes::StrokeStore store;
        std::vector<strokes::Stroke> read;
        benchmark::DoNotOptimize(store.open(kStrokes));
        benchmark::DoNotOptimize(store.find(U'龍', &read));
    }
    const long before = residentKilobytes();
    strokes::StrokeStore store;
    store.open(kStrokes);
    for (char32_t c : std::u32string_view(U"水中國龍學寫字書我人")) {
        std::vector<strokes::Stroke> read;
        store.find(c, &read);
    }
    state.counters["file_kB"] = double(QFile(kStrokes).size()) / 1024;
    state.counters["resident_growth_kB"] = double(residentKilobytes() - before);
}

// A frame half-way through 龍's ninth stroke, 400 pixels square.
void BM_DrawFrame(benchmark::State& state)
{
    std::vector<strokes::Stroke> dragon;
    strokes::programStrokesOf(U'龍', &dragon);
    QImage image(400, 400, QImage::Format_ARGB32_Premultiplied);
    const strokedrawing::Colours colours{Qt::black, Qt::red, QColor(0, 0, 0, 30), Qt::gray,
                                         Qt::blue};
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        strokedrawing::drawGrid(painter, QRectF(10, 10, 380, 380), colours.grid);
        strokedrawing::drawCharacter(painter, QRectF(10, 10, 380, 380), dragon, 8, 0.5, colours,
                                     true);
    }
}

// Opening the window on a character and painting its first frame.
void BM_OpenWindowFirstFrame(benchmark::State& state)
{
    for (auto _ : state) {
        createStrokeOrderWindow(QStringLiteral("龍"));
        QWidget* widget = GetWindowWidget(strokeWindow());
        widget->grab();
        state.PauseTiming();
        DisposeWindow(strokeWindow());
        settle();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_OpenFileAndReadOneCharacter)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenWindowFirstFrame)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<strokes::Stroke> probe;
    if (!strokes::programStrokesOf(U'水', &probe)) {
        std::fprintf(stderr, "The shipped stroke file is missing\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
