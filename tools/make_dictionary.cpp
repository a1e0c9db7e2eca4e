// Build-time tool: makes the shipped dictionary ("dictionary.txt") and its
// field index ("dictionary.txt.index") from the compressed Unihan files.
//
//   tavi_make_dictionary <output folder> <Unihan_*.txt.bz2>...

#include "tools/unihan.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

const char* const kProgram = "tavi_make_dictionary";

// Writes through a temporary file and renames it, so that a failed run never
// leaves a truncated file that the build would take as up to date.
bool writeFile(const std::filesystem::path& path, const std::string& text)
{
    const std::filesystem::path temporary = path.string() + ".tmp";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        std::perror((std::string(kProgram) + ": cannot create " + temporary.string()).c_str());
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        std::perror((std::string(kProgram) + ": cannot write " + temporary.string()).c_str());
        std::filesystem::remove(temporary);
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::fprintf(stderr, "%s: cannot rename %s to %s: %s\n", kProgram, temporary.c_str(),
                     path.c_str(), ec.message().c_str());
        std::filesystem::remove(temporary);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <output folder> <Unihan_*.txt.bz2>...\n", kProgram);
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();
    const std::filesystem::path outDir = argv[1];
    const int fileCount = argc - 2;
    const auto n = std::size_t(fileCount);

    // Decompression is most of the work; the files are read side by side.
    std::vector<std::string> texts(n);
    std::vector<std::string> errors(n);
    std::vector<char> ok(n, 0);
    {
        std::vector<std::thread> readers;
        for (int i = 0; i < fileCount; ++i)
            readers.emplace_back([&, i] {
                ok[std::size_t(i)] = unihan::readBzip2File(argv[i + 2], texts[std::size_t(i)],
                                                           errors[std::size_t(i)]);
            });
        for (auto& t : readers)
            t.join();
    }
    for (int i = 0; i < fileCount; ++i) {
        if (!ok[std::size_t(i)]) {
            std::fprintf(stderr, "%s: %s\n", kProgram, errors[std::size_t(i)].c_str());
            return 1;
        }
    }

    std::vector<std::string_view> sources(texts.begin(), texts.end());
    unihan::BuildStats stats;
    std::vector<std::string> warnings;
    const std::string dictionary = unihan::buildDictionary(sources, stats, warnings);
    for (std::size_t f = 0; f < unihan::kFields.size(); ++f)
        if (stats.perField[f] == 0)
            warnings.push_back(std::string("no values for ") + unihan::kFields[f].name +
                               " in the given files");
    for (const auto& w : warnings)
        std::fprintf(stderr, "%s: warning: %s\n", kProgram, w.c_str());
    if (stats.characters == 0) {
        std::fprintf(stderr, "%s: no characters found in the given files\n", kProgram);
        return 1;
    }

    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (ec) {
        std::fprintf(stderr, "%s: cannot create %s: %s\n", kProgram, outDir.c_str(),
                     ec.message().c_str());
        return 1;
    }
    if (!writeFile(outDir / "dictionary.txt", dictionary) ||
        !writeFile(outDir / "dictionary.txt.index", unihan::fieldIndexText()))
        return 1;

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%s: %zu characters (%zu above U+FFFF), %zu lines, %zu bytes in %.2f s\n", kProgram,
                stats.characters, stats.aboveBmp, stats.lines, dictionary.size(), seconds);
    if (stats.malformed + stats.duplicates + stats.repairedValues + stats.mandarinProblems > 0)
        std::printf("%s: %zu unreadable lines, %zu repeated values, %zu repaired values, "
                    "%zu doubtful Mandarin readings\n",
                    kProgram, stats.malformed, stats.duplicates, stats.repairedValues,
                    stats.mandarinProblems);
    return 0;
}
