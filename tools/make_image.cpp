// Makes dictionary.dat, the compact form of the shipped dictionary that the
// program maps at start instead of reading the text: the text is loaded with
// the program's own loader, so both give the same store.
//
//   tavi_make_image <dictionary.txt> <dictionary.dat>

#include "store/dictionary.h"
#include "store/image.h"

#include <QSaveFile>

#include <cstdio>

int main(int argc, char** argv)
{
    const char* const kProgram = "tavi_make_image";
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <dictionary.txt> <dictionary.dat>\n", kProgram);
        return 2;
    }
    dictionary d;
    const ReadResult index = d.loadIndex(argv[1]);
    const ReadResult text = index.ok() ? d.load(argv[1], nullptr) : index;
    if (!text.ok() || d.count == 0) {
        std::fprintf(stderr, "%s: %s: %s\n", kProgram, argv[1],
                     text.ok() ? "no entries" : qUtf8Printable(text.describe()));
        return 1;
    }
    TextStamp stamp;
    if (!stampOfText(argv[1], &stamp)) {
        std::fprintf(stderr, "%s: cannot read %s\n", kProgram, argv[1]);
        return 1;
    }
    QSaveFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::WriteOnly) || file.write(makeDictionaryImage(d, stamp)) < 0 ||
        !file.commit()) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", kProgram, argv[2],
                     qUtf8Printable(file.errorString()));
        return 1;
    }
    return 0;
}
