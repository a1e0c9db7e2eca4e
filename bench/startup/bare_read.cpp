// The floor for reading a dictionary file: read it line by line and split
// each line at its TABs, and nothing else.

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    long columns = 0;
    char line[1024];
    for (int i = 1; i < argc; ++i) {
        FILE* f = std::fopen(argv[i], "r");
        if (f == nullptr) {
            std::fprintf(stderr, "bare_read: cannot open %s\n", argv[i]);
            return 1;
        }
        while (std::fgets(line, sizeof line, f) != nullptr) {
            for (char* p = std::strchr(line, '\t'); p != nullptr; p = std::strchr(p + 1, '\t'))
                ++columns;
        }
        std::fclose(f);
    }
    std::printf("%ld\n", columns);
    return 0;
}
