// Speed and memory of the dictionary store on the shipped dictionary
// (build/share/tavi/dictionary.dat, and the text dictionary.txt it is made
// of), beside a bare pass over the text.
//
// The first benchmark is one load into a process that has not loaded anything
// yet: its time is the cold start-up case and its counters the resident memory
// that the loaded store adds. Later loads reuse memory the process already
// has, as a long-running program would. BM_TouchFreshMemory shows what the
// machine charges for first touching that much fresh memory, which bounds the
// cold load from below.

#include "store/dictionary.h"
#include "store/locations.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const std::string kDictionary = std::string(TAVI_BUILD_SHARE_DIR) + "/dictionary.txt";

long fileSize(const std::string& path)
{
    FILE* f = fopen(path.c_str(), "r");
    if (f == nullptr)
        return -1;
    fseek(f, 0, SEEK_END);
    const long size = ftell(f);
    fclose(f);
    return size;
}

// Resident memory, and the part of it that is mapped files (shared and
// clean: the system can drop it and read it again).
struct Resident {
    long bytes = 0;
    long fileBytes = 0;
};

Resident residentNow()
{
    long pages = 0, resident = 0, shared = 0;
    FILE* f = fopen("/proc/self/statm", "r");
    if (f == nullptr)
        return {};
    if (fscanf(f, "%ld %ld %ld", &pages, &resident, &shared) != 3)
        resident = shared = 0;
    fclose(f);
    const long page = sysconf(_SC_PAGESIZE);
    return {resident * page, shared * page};
}

// The loader's diagnostic lines would drown the report: send standard output
// elsewhere while a benchmark runs.
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

private:
    int saved;
};

long firstLoadBytes = 0;

bool haveDictionary(benchmark::State& state)
{
    if (fileSize(kDictionary) > 0)
        return true;
    state.SkipWithError(("no dictionary at " + kDictionary).c_str());
    return false;
}

void BM_FirstLoadAndResidentMemory(benchmark::State& state)
{
    if (!haveDictionary(state))
        return;
    Resident added;
    for (auto _ : state) {
        QuietStdout quiet;
        const Resident before = residentNow();
        auto* d = new dictionary;
        loadDictionaries(d, nullptr);
        const Resident after = residentNow();
        added = {after.bytes - before.bytes, after.fileBytes - before.fileBytes};
        benchmark::DoNotOptimize(d->count);
        // Kept on purpose: freeing it would let later benchmarks reuse the
        // memory, and this figure is about one fresh load.
    }
    const double size = double(fileSize(kDictionary));
    state.counters["file_MB"] = size / 1e6;
    state.counters["added_MB"] = double(added.bytes) / 1e6;
    // Of which the store's own memory, and pages of the mapped image.
    state.counters["private_MB"] = double(added.bytes - added.fileBytes) / 1e6;
    state.counters["mapped_MB"] = double(added.fileBytes) / 1e6;
    state.counters["ratio_to_file"] = double(added.bytes) / size;
    firstLoadBytes = added.bytes;
}
BENCHMARK(BM_FirstLoadAndResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_BareFgetsSplitOnTab(benchmark::State& state)
{
    if (!haveDictionary(state))
        return;
    char line[1024];
    for (auto _ : state) {
        FILE* f = fopen(kDictionary.c_str(), "r");
        long columns = 0;
        while (fgets(line, sizeof line, f) != nullptr) {
            for (char* p = strchr(line, '\t'); p != nullptr; p = strchr(p + 1, '\t'))
                ++columns;
        }
        fclose(f);
        benchmark::DoNotOptimize(columns);
    }
}
BENCHMARK(BM_BareFgetsSplitOnTab)->Unit(benchmark::kMillisecond);

void BM_TouchFreshMemory(benchmark::State& state)
{
    const size_t bytes = firstLoadBytes > 0 ? size_t(firstLoadBytes) : size_t(40) << 20;
    const long page = sysconf(_SC_PAGESIZE);
    for (auto _ : state) {
        auto* p = static_cast<char*>(
            mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        for (size_t i = 0; i < bytes; i += size_t(page))
            p[i] = 1;
        benchmark::ClobberMemory();
        munmap(p, bytes);
    }
    state.counters["MB"] = double(bytes) / 1e6;
}
BENCHMARK(BM_TouchFreshMemory)->Unit(benchmark::kMillisecond);

void BM_LoadDictionaries(benchmark::State& state)
{
    if (!haveDictionary(state))
        return;
    QuietStdout quiet;
    uint32_t entries = 0;
    for (auto _ : state) {
        auto* d = new dictionary;
        loadDictionaries(d, nullptr);
        entries = d->count;
        state.PauseTiming();
        delete d;
        state.ResumeTiming();
    }
    state.counters["entries"] = entries;
}
BENCHMARK(BM_LoadDictionaries)->Unit(benchmark::kMillisecond);

// The same from the text alone, as when the image cannot be used.
void BM_LoadDictionaryText(benchmark::State& state)
{
    if (!haveDictionary(state))
        return;
    QuietStdout quiet;
    for (auto _ : state) {
        auto* d = new dictionary;
        d->loadIndex(kDictionary.c_str());
        d->load(kDictionary.c_str(), nullptr);
        state.PauseTiming();
        delete d;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadDictionaryText)->Unit(benchmark::kMillisecond);

struct LoadedDictionary {
    dictionary d;
    LoadedDictionary()
    {
        QuietStdout quiet;
        loadDictionaries(&d, nullptr);
    }
};

LoadedDictionary& loaded()
{
    static LoadedDictionary instance;
    return instance;
}

void BM_LookupByCodePoint(benchmark::State& state)
{
    if (!haveDictionary(state))
        return;
    dictionary& d = loaded().d;
    long cp = 0x4E00;
    size_t found = 0;
    for (auto _ : state) {
        found += d.lookup(cp) != nullptr;
        cp = cp < 0x9FFF ? cp + 1 : 0x4E00;
    }
    state.counters["found"] = double(found) / double(state.iterations());
}
BENCHMARK(BM_LookupByCodePoint);

void BM_PinyinizeReading(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(dict.pinyinize("zhong1 guo2 ren2"));
}
BENCHMARK(BM_PinyinizeReading);

} // namespace

int main(int argc, char** argv)
{
    // loadDictionaries also reads the user dictionary: give it an empty one in
    // a folder of its own rather than the user's data folder.
    char folder[] = "/tmp/tavi-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    setenv("XDG_DATA_HOME", folder, 1);
    const std::string userFolder = std::string(folder) + "/Tavi Dictionaries";
    mkdir(userFolder.c_str(), 0700);
    fclose(fopen((userFolder + "/UserDictionary.txt").c_str(), "w"));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    unlink((userFolder + "/UserDictionary.txt").c_str());
    rmdir(userFolder.c_str());
    rmdir(folder);
    return 0;
}
