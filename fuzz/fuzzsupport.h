#pragma once
// What the fuzz targets share: a private scratch folder for the files the
// readers open, quiet diagnostics, and a check that stops the run.
//
// Each target defines LLVMFuzzerInitialize and LLVMFuzzerTestOneInput. The
// libFuzzer build links them with libFuzzer's main; the test build links them
// with a driver that runs every file of the target's corpus once.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzzsupport {

// A folder of this process's own, in memory where the system has /dev/shm;
// removed at exit.
const std::string& scratchFolder();
// scratchFolder() + "/" + name.
std::string scratchPath(const char* name);

// Replaces the file's content; a harness that cannot write its input stops.
void writeFile(const std::string& path, const void* data, size_t size);
// The whole file, or an empty string when it cannot be read.
std::string readFile(const std::string& path);
// Empties a folder of its files (not recursively).
void removeFilesIn(const std::string& folder);

// The readers print their diagnostics on standard output; a run of millions
// of inputs sends them nowhere. Standard error stays for the findings.
void silenceStdout();

[[noreturn]] void checkFailed(const char* condition, const char* file, int line);

} // namespace fuzzsupport

// A property that must hold for every input; a failure is a finding.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::fuzzsupport::checkFailed(#condition, __FILE__, __LINE__);                            \
    } while (false)
