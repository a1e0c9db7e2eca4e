#include "store/dictionary.h"
#include "store/linereader.h"
#include "store/trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

int32_t kindOf(const char* p, size_t n)
{
    struct Keyword {
        const char* word;
        int32_t kind;
    };
    static const Keyword kKinds[] = {
        {"kDefinition", kDefinition},     {"kAltCharacter", kAltCharacter},
        {"kRomanization", kRomanization}, {"kMetaText", kMetaText},
        {"kMetaNum", kMetaNum},
    };
    for (const Keyword& k : kKinds) {
        if (strlen(k.word) == n && memcmp(k.word, p, n) == 0)
            return k.kind;
    }
    return -1;
}

constexpr size_t kNameMax = 255;

} // namespace

ReadResult dictionary::loadIndex(const char* path)
{
    const std::string indexPath = std::string(path != nullptr ? path : "") + ".index";
    FILE* file = openForReading(indexPath.c_str());
    const int openError = errno;
    qCDebug(taviTrace, "Loading index '%s'...", indexPath.c_str());
    if (file == nullptr) {
        fprintf(stderr, "Unable to open '%s'\n", indexPath.c_str());
        return ReadResult::failure(indexPath, openError);
    }

    LineReader reader(file);
    reader.skipByteOrderMark();
    const char* line;
    size_t length;
    while (reader.next(line, length)) {
        if (length > 0 && line[0] == '#')
            continue;
        if (length > 0 && line[length - 1] == '\n')
            --length;
        if (length == 0)
            continue;

        // Five TAB-separated columns; the last runs to the end of the line,
        // so a CR before the newline stays in the description.
        const char* column[5];
        size_t columnLength[5];
        const char* p = line;
        const char* const end = line + length;
        int found = 0;
        while (found < 5) {
            const char* tab = static_cast<const char*>(memchr(p, '\t', size_t(end - p)));
            const char* stop = tab != nullptr ? tab : end;
            column[found] = p;
            columnLength[found] = size_t(stop - p);
            ++found;
            if (tab == nullptr)
                break;
            p = tab + 1;
        }
        bool complete = found == 5;
        for (int i = 0; complete && i < 5; ++i)
            complete = columnLength[i] > 0;
        if (!complete) {
            fprintf(stderr, "Bad field line: %.*s\n", int(length), line);
            continue;
        }

        auto* f = new dictFields();
        f->name = QByteArray(column[0], qsizetype(std::min(columnLength[0], kNameMax)));
        // A code shorter than four characters is padded with blanks.
        uint32_t code = 0;
        for (size_t i = 0; i < 4; ++i)
            code = (code << 8) |
                   (i < columnLength[1] ? static_cast<unsigned char>(column[1][i]) : uint32_t(' '));
        f->code = code;
        f->kind = kindOf(column[2], columnLength[2]);
        f->title = QString::fromUtf8(column[3], qsizetype(columnLength[3]));
        f->width =
            std::max<uint32_t>(10u, uint32_t(std::min<size_t>(columnLength[3], 0xFFFFFFFFu)));
        f->description = QString::fromUtf8(column[4], qsizetype(columnLength[4]));
        f->flags = 1;
        f->inList = 0;
        fields.push_back(f);
    }
    if (reader.skippedLongLines() > 0)
        fprintf(stderr, "Skipped %ld lines longer than %zu bytes in '%s'\n",
                reader.skippedLongLines(), LineReader::kLineMax, indexPath.c_str());
    if (reader.failed())
        fprintf(stderr, "Error reading '%s'\n", indexPath.c_str());
    fclose(file);
    return reader.failed() ? ReadResult::failure(indexPath, reader.errorCode())
                           : ReadResult::success(indexPath);
}

int dictionary::findField(const char* name, size_t length) const
{
    for (size_t i = 0; i < fields.size(); ++i) {
        const QByteArray& n = fields[i]->name;
        if (size_t(n.size()) == length && memcmp(n.constData(), name, length) == 0)
            return int(i);
    }
    return -1;
}

int dictionary::findField(const char* name) const
{
    if (name == nullptr)
        return -1;
    return findField(name, strlen(name));
}

int dictionary::findField(uint32_t code) const
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i]->code == code)
            return int(i);
    }
    return -1;
}

characterEntry* dictionary::lookup(long codePoint) const
{
    if (codePoint >= 0 && !mayHoldSingle(uint32_t(codePoint)))
        return nullptr;
    characterEntry probe;
    probe.codes.push_back(uint32_t(codePoint));
    return static_cast<characterEntry*>(table->IsIn(&probe));
}
