// dictionary::loadIndex on any field index: one field per line of five
// non-empty columns (and no other), each field as the columns give it, and a
// dictionary read against those fields keeps the store's structure.

#include "fuzz/fuzzdictionary.h"
#include "fuzz/fuzzsupport.h"
#include "store/dictionary.h"

#include <QByteArray>
#include <QList>

#include <cstring>
#include <string>

namespace {

std::string g_dictionaryPath;

// Lines that name a dictionary's usual fields, and the names of the index.
const char kDictionary[] = "U+4E00\tkMandarin\tyi1\n"
                           "U+4E00\tkDefinition\tone; a, an; alone\n"
                           "U+4E00\tkRSUnicode\t1.0\n"
                           "U+570B\tkSimplifiedVariant\tU+56FD\n"
                           "U+4E2D+6587\tkA\tx\n";

// The field lines of an index as the loader must see them: pieces of at
// most 1023 bytes, comments and empty lines left out, five non-empty
// TAB-separated columns.
QList<QList<QByteArray>> expectedFields(const QByteArray& text)
{
    QList<QList<QByteArray>> fields;
    qsizetype at = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (at < text.size()) {
        qsizetype length = 0;
        while (at + length < text.size() && length < 1023) {
            ++length;
            if (text[at + length - 1] == '\n')
                break;
        }
        QByteArray line = text.mid(at, length);
        at += length;
        line.truncate(qsizetype(strnlen(line.constData(), size_t(line.size()))));
        if (line.startsWith('#'))
            continue;
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        QList<QByteArray> columns = line.split('\t');
        if (columns.size() < 5)
            continue;
        columns = columns.mid(0, 5);
        bool complete = true;
        for (const QByteArray& c : columns)
            complete = complete && !c.isEmpty();
        if (complete)
            fields.append(columns);
    }
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::silenceStdout();
    g_dictionaryPath = fuzzsupport::scratchPath("dictionary.txt");
    fuzzsupport::writeFile(g_dictionaryPath, kDictionary, strlen(kDictionary));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    fuzzsupport::writeFile(g_dictionaryPath + ".index", data, size);
    dictionary d;
    FUZZ_CHECK(d.loadIndex(g_dictionaryPath.c_str()));

    const QList<QList<QByteArray>> expected = expectedFields(text);
    FUZZ_CHECK(d.fields.size() == size_t(expected.size()));
    for (size_t i = 0; i < d.fields.size(); ++i) {
        const dictFields* f = d.fields[i];
        const QList<QByteArray>& columns = expected[qsizetype(i)];
        FUZZ_CHECK(f->name == columns[0].left(255));
        const QByteArray code = (columns[1] + "    ").left(4);
        FUZZ_CHECK(f->code == (uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
                               uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3]))));
        static const QList<QByteArray> kinds = {"kDefinition", "kAltCharacter", "kRomanization",
                                                "kMetaText", "kMetaNum"};
        FUZZ_CHECK(f->kind == int32_t(kinds.indexOf(columns[2])));
        FUZZ_CHECK(f->title == QString::fromUtf8(columns[3]));
        FUZZ_CHECK(f->description == QString::fromUtf8(columns[4]));
        FUZZ_CHECK(f->width == std::max<uint32_t>(10, uint32_t(columns[3].size())));
        FUZZ_CHECK(f->flags == 1 && f->inList == 0);
        // The first field of a name or code is the one found.
        const int byName =
            d.findField(std::string(f->name.constData(), size_t(f->name.size())).c_str());
        FUZZ_CHECK(byName >= 0 && byName <= int(i) && d.fields[size_t(byName)]->name == f->name);
        const int byCode = d.findField(f->code);
        FUZZ_CHECK(byCode >= 0 && byCode <= int(i) && d.fields[size_t(byCode)]->code == f->code);
    }

    d.load(g_dictionaryPath.c_str(), nullptr);
    fuzzsupport::checkStore(d);
    return 0;
}
