// Runs a fuzz target once over each file of its seed corpus, as the libFuzzer
// binary does when it is given files: the regression test of the corpus,
// with any compiler. Arguments are files or folders; with none, the target's
// own corpus folder is read.

#include "fuzz/fuzzsupport.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void collect(const std::string& path, std::vector<std::string>& files)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        fprintf(stderr, "no such corpus file or folder: %s\n", path.c_str());
        return;
    }
    if (!S_ISDIR(info.st_mode)) {
        files.push_back(path);
        return;
    }
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* e = readdir(dir)) {
            if (e->d_name[0] != '.')
                names.push_back(path + "/" + e->d_name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        collect(name, files);
}

} // namespace

int main(int argc, char** argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i)
        collect(argv[i], files);
    if (argc < 2)
        collect(TAVI_FUZZ_CORPUS_DIR, files);
    // An empty or missing corpus must not pass for a clean run.
    if (files.empty()) {
        fprintf(stderr, "no corpus files to run\n");
        return 1;
    }
    for (const std::string& file : files) {
        const std::string input = fuzzsupport::readFile(file);
        fprintf(stderr, "running %s (%zu bytes)\n", file.c_str(), input.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    }
    fprintf(stderr, "ran %zu inputs\n", files.size());
    return 0;
}
