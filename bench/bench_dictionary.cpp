// Speed of the dictionary window on the shipped dictionary
// (build/share/tavi/dictionary.txt), on the offscreen platform: searching and
// filtering the entry list, sorting it, and opening the window. A search of
// all fields, in order of relevance, should take at most 10 ms.

#include "app/globals.h"
#include "platform/databrowser.h"
#include "platform/nib.h"
#include "platform/windows.h"
#include "store/dictionary.h"
#include "windows/dictionary/dictionarywindow.h"
#include "store/searchindex.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

const std::string kDictionary = std::string(TAVI_BUILD_SHARE_DIR) + "/dictionary.txt";

int listedCount(ControlRef list)
{
    return qobject_cast<QTreeView*>(GetControlWidget(list))->model()->rowCount();
}

// The diagnostic lines of the window code would drown the report.
class QuietStdout {
public:
    QuietStdout()
    {
        fflush(stdout);
        saved = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    ~QuietStdout()
    {
        fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }
    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;

private:
    int saved;
};

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

WindowRef dictionaryWindow()
{
    for (WindowRef window : GetWindowList()) {
        if (GetWRefCon(window) == SRefCon(kDictionaryWindowTag))
            return window;
    }
    return nullptr;
}

ControlRef openList()
{
    WindowRef window = dictionaryWindow();
    if (!window) {
        createDictionaryWindow();
        settle();
        window = dictionaryWindow();
    }
    ControlRef list = nullptr;
    if (window)
        GetControlByID(window, &kDictBrowserPaneID, &list);
    return list;
}

void closeWindow()
{
    if (WindowRef window = dictionaryWindow())
        DisposeWindow(window);
    settle();
}

int fieldNamed(const char* name)
{
    return dict.findField(name);
}

void BM_OpenDictionaryWindowWithAllEntries(benchmark::State& state)
{
    QuietStdout quiet;
    closeWindow();
    for (auto _ : state) {
        createDictionaryWindow();
        settle(); // laid out and painted
        state.PauseTiming();
        closeWindow();
        state.ResumeTiming();
    }
}

void BM_SearchAllFieldsForWater(benchmark::State& state)
{
    QuietStdout quiet;
    ControlRef list = openList();
    const QString water = QStringLiteral("water");
    filterDBItems(list, -1, -2, water); // the search forms are made on first use
    for (auto _ : state)
        filterDBItems(list, -1, -2, water);
    state.counters["entries"] = double(listedCount(list));
}

void BM_SearchAllFieldsForShui(benchmark::State& state)
{
    QuietStdout quiet;
    ControlRef list = openList();
    const QString shui = QStringLiteral("shui");
    filterDBItems(list, -1, -2, shui);
    for (auto _ : state)
        filterDBItems(list, -1, -2, shui);
    state.counters["entries"] = double(listedCount(list));
}

// The list without search text, sorted by frequency as on a first run.
void BM_RefillSortedByFrequency(benchmark::State& state)
{
    QuietStdout quiet;
    ControlRef list = openList();
    SetDataBrowserSortProperty(list, FOUR_CHAR_CODE("FREQ"));
    for (auto _ : state)
        filterDBItems(list, -1, -3, QString());
    // The list takes its sort column from what the browser shows.
    SetDataBrowserSortProperty(list, kDataBrowserItemNoProperty);
    filterDBItems(list, -1, -3, QString());
}

void BM_SearchCharacter(benchmark::State& state)
{
    QuietStdout quiet;
    ControlRef list = openList();
    const QString water = QStringLiteral("水");
    filterDBItems(list, -1, -1, water);
    for (auto _ : state)
        filterDBItems(list, -1, -1, water);
    state.counters["entries"] = double(listedCount(list));
}

void BM_FilterByDefinitionWithoutText(benchmark::State& state)
{
    QuietStdout quiet;
    ControlRef list = openList();
    const int field = fieldNamed("kDefinition");
    for (auto _ : state)
        filterDBItems(list, field, 0, QString());
    state.counters["entries"] = double(listedCount(list));
}

void BM_RefillAllEntries(benchmark::State& state)
{
    QuietStdout quiet;
    ControlRef list = openList();
    for (auto _ : state)
        filterDBItems(list, -1, -3, QString());
    state.counters["entries"] = double(dict.count);
}

void BM_SortByDefinition(benchmark::State& state)
{
    QuietStdout quiet;
    ControlRef list = openList();
    filterDBItems(list, -1, -3, QString());
    for (auto _ : state) {
        state.PauseTiming();
        SetDataBrowserSortProperty(list, kDataBrowserItemNoProperty);
        filterDBItems(list, -1, -3, QString()); // back to entry order
        state.ResumeTiming();
        SetDataBrowserSortProperty(list, FOUR_CHAR_CODE("EDEF"));
    }
    SetDataBrowserSortProperty(list, kDataBrowserItemNoProperty);
}

void BM_MakeSearchForms(benchmark::State& state)
{
    for (auto _ : state) {
        dictsearch::SearchIndex index(&dict);
        index.buildAll();
        benchmark::DoNotOptimize(index);
    }
}

} // namespace

BENCHMARK(BM_OpenDictionaryWindowWithAllEntries)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_SearchAllFieldsForWater)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchAllFieldsForShui)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefillSortedByFrequency)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchCharacter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterByDefinitionWithoutText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefillAllEntries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByDefinition)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_MakeSearchForms)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    {
        QuietStdout quiet;
        dict.loadIndex(kDictionary.c_str());
        dict.load(kDictionary.c_str(), nullptr);
        for (dictFields* field : dict.fields)
            field->flags = 3;
        globals.filterState = -1;
        globals.searchState = -2;
        globals.dividerRatio = 500;
        globals.ShowDictionary = 1;
        globals.DictLeftCorner = globals.DictTopCorner = -1;
        globals.DictRightCorner = globals.DictBottomCorner = -1;
        CreateNibReference(QStringLiteral("Tavi"), &nibRef);
    }
    if (dict.count == 0 || !nibRef) {
        std::fprintf(stderr, "The shipped dictionary or the interface resources are missing\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
