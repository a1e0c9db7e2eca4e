#include "fuzz/fuzzsupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace fuzzsupport {

namespace {

std::string g_scratch;

void removeScratch()
{
    if (g_scratch.empty())
        return;
    // Two levels at most: the targets make one folder of their own inside.
    if (DIR* dir = opendir(g_scratch.c_str())) {
        std::vector<std::string> names;
        while (dirent* e = readdir(dir)) {
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
                names.push_back(g_scratch + "/" + e->d_name);
        }
        closedir(dir);
        for (const std::string& name : names) {
            if (rmdir(name.c_str()) != 0) {
                removeFilesIn(name);
                if (rmdir(name.c_str()) != 0)
                    unlink(name.c_str());
            }
        }
    }
    rmdir(g_scratch.c_str());
}

} // namespace

const std::string& scratchFolder()
{
    if (g_scratch.empty()) {
        struct stat info;
        const char* base =
            stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) && access("/dev/shm", W_OK) == 0
                ? "/dev/shm"
                : (getenv("TMPDIR") != nullptr ? getenv("TMPDIR") : "/tmp");
        std::string pattern = std::string(base) + "/tavi-fuzz.XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            fprintf(stderr, "fuzz harness: cannot make a scratch folder in %s: %s\n", base,
                    strerror(errno));
            abort();
        }
        g_scratch = pattern;
        atexit(removeScratch);
    }
    return g_scratch;
}

std::string scratchPath(const char* name)
{
    return scratchFolder() + "/" + name;
}

void writeFile(const std::string& path, const void* data, size_t size)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0;
    const auto* p = static_cast<const char*>(data);
    while (ok && size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok) {
            p += n;
            size -= size_t(n);
        }
    }
    if (fd >= 0)
        ok = close(fd) == 0 && ok;
    if (!ok) {
        fprintf(stderr, "fuzz harness: cannot write %s: %s\n", path.c_str(), strerror(errno));
        abort();
    }
}

std::string readFile(const std::string& path)
{
    std::string text;
    if (FILE* f = fopen(path.c_str(), "rbe")) {
        char buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        fclose(f);
    }
    return text;
}

void removeFilesIn(const std::string& folder)
{
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    std::vector<std::string> names;
    while (dirent* e = readdir(dir)) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            names.push_back(folder + "/" + e->d_name);
    }
    closedir(dir);
    for (const std::string& name : names)
        unlink(name.c_str());
}

void silenceStdout()
{
    fflush(stdout);
    if (freopen("/dev/null", "w", stdout) == nullptr)
        fprintf(stderr, "fuzz harness: cannot silence standard output\n");
}

void checkFailed(const char* condition, const char* file, int line)
{
    fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", condition, file, line);
    fflush(stderr);
    abort();
}

} // namespace fuzzsupport

// Read by LeakSanitizer when the program starts. Fontconfig keeps its font
// patterns for the life of the process; with the application object never
// destroyed (the windows outlive main) they are reported at exit. Not ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
