// WordStore::adopt on any bytes: a damaged word file is refused or read
// within its bounds, and every look-up on what it accepts stays within them
// and keeps its promises (numbers of words, most common first).

#include "fuzz/fuzzsupport.h"
#include "store/pinyinquery.h"
#include "store/words.h"

#include <QByteArray>
#include <QString>

#include <algorithm>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    words::WordStore store;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!store.adopt(bytes)) {
        FUZZ_CHECK(store.isEmpty());
        return 0;
    }
    const uint32_t n = store.size();
    auto valid = [&](const std::vector<uint32_t>& list) {
        return std::all_of(list.begin(), list.end(), [&](uint32_t w) { return w < n; }) &&
               std::is_sorted(list.begin(), list.end());
    };
    for (uint32_t i = 0; i < std::min<uint32_t>(n, 64); ++i) {
        const words::Word w = store.word(i);
        const QString form = store.form(i, i % 2 == 1);
        const words::WordMatch m = store.longestPrefix(form + QStringLiteral("x"), 1);
        FUZZ_CHECK(m.word < int32_t(n) && m.length <= int(form.toUcs4().size()) + 1);
        FUZZ_CHECK(valid(store.wordsOfForm(form)));
        store.frequencyOf(form);
        for (char32_t c : form.toUcs4())
            FUZZ_CHECK(store.wordsContaining(c, 12).size() <= 12);
        for (const QString& sense : w.senses) {
            for (auto match : {words::GlossMatch::Equal, words::GlossMatch::StartsWith,
                               words::GlossMatch::WholeWord})
                FUZZ_CHECK(store.findGloss(sense.left(20), match) < int32_t(n));
        }
        FUZZ_CHECK(valid(store.findReading(pinyinquery::parse(w.pinyin), 8)));
    }
    return 0;
}
