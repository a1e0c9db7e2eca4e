#include "store/radicals.h"

#include "store/dictionary.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <charconv>

namespace radicals {

namespace {

// The first radical of each stroke count from 1 to 17, and an end mark.
constexpr int kFirstOfStrokes[] = {1,   7,   30,  61,  95,  118, 147, 167, 176,
                                   187, 195, 201, 205, 209, 211, 212, 214, 215};

// A decimal integer at the front of text (after an optional '-'); false when
// there is none. text moves past it.
bool readInt(const char*& text, const char* end, int& value)
{
    const auto [next, error] = std::from_chars(text, end, value);
    if (error != std::errc())
        return false;
    text = next;
    return true;
}

bool readHex(QByteArrayView text, uint32_t& value)
{
    text = text.trimmed();
    const auto [next, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && next == text.data() + text.size();
}

int firstNumber(const dictValue* v, int unknown)
{
    if (!v)
        return unknown;
    const char* p = v->text().constData();
    int n = unknown;
    return readInt(p, p + v->text().size(), n) ? n : unknown;
}

} // namespace

int kangxiRadicalStrokes(int number)
{
    for (int s = 1; s <= 17; ++s) {
        if (number >= kFirstOfStrokes[s - 1] && number < kFirstOfStrokes[s])
            return s;
    }
    return 0;
}

bool RadicalIndex::build(const dictionary& d, const QByteArray& radicalsText)
{
    forms.clear();
    lists.clear();
    for (const QByteArray& text : radicalsText.split('\n')) {
        const QByteArray line = text.trimmed();
        if (line.isEmpty() || line.front() == '#')
            continue;
        const QList<QByteArray> parts = line.split(';');
        if (parts.size() != 3)
            continue;
        const QByteArray number = parts[0].trimmed();
        Radical r;
        const char* p = number.data();
        const char* end = p + number.size();
        if (!readInt(p, end, r.number) || r.number < 1 || r.number > 214)
            continue;
        // One ' marks the Chinese simplified form; other marks are left out.
        if (p != end && !(end - p == 1 && *p == '\''))
            continue;
        r.simplified = p != end;
        if (!readHex(parts[2], r.glyph))
            continue;
        r.strokes = kangxiRadicalStrokes(r.number);
        forms.push_back(r);
    }
    std::stable_sort(forms.begin(), forms.end(), [](const Radical& a, const Radical& b) {
        return a.number != b.number ? a.number < b.number : !a.simplified && b.simplified;
    });
    lists.resize(forms.size());
    if (forms.empty())
        return false;

    // The position of each form, by number and mark.
    std::vector<int> traditional(215, -1), simplified(215, -1);
    for (std::size_t i = 0; i < forms.size(); ++i)
        (forms[i].simplified ? simplified : traditional)[std::size_t(forms[i].number)] = int(i);

    const int rsField = d.findField("kRSUnicode");
    const int strokesField = d.findField("kTotalStrokes");
    const int frequencyField = d.findField("kFrequency");
    if (rsField < 0)
        return true;
    for (const characterEntry* e : d.entries) {
        if (e->codes.size() != 1)
            continue;
        const dictValue* rs = e->lookup(rsField);
        if (!rs)
            continue;
        RadicalCharacter c;
        c.entry = e->index;
        c.code = e->codes.front();
        c.total =
            std::max(0, firstNumber(strokesField >= 0 ? e->lookup(strokesField) : nullptr, 0));
        c.frequency = firstNumber(frequencyField >= 0 ? e->lookup(frequencyField) : nullptr, 6);
        if (c.frequency < 1 || c.frequency > 6)
            c.frequency = 6;
        const char* p = rs->text().constData();
        const char* end = p + rs->text().size();
        int lastForm = -1;
        while (p < end) {
            while (p < end && *p == ' ')
                ++p;
            int number = 0;
            if (!readInt(p, end, number))
                break;
            int marks = 0;
            while (p < end && *p == '\'') {
                ++marks;
                ++p;
            }
            int residual = 0;
            const bool ok = p < end && *p == '.' && readInt(++p, end, residual);
            while (p < end && *p != ' ')
                ++p;
            if (!ok || number < 1 || number > 214 || marks > 1)
                continue;
            const int form = (marks ? simplified : traditional)[std::size_t(number)];
            // The same radical twice (two residual counts) lists it once.
            if (form < 0 || form == lastForm)
                continue;
            lastForm = form;
            c.residual = residual;
            lists[std::size_t(form)].push_back(c);
        }
    }
    for (auto& list : lists) {
        std::sort(list.begin(), list.end(),
                  [](const RadicalCharacter& a, const RadicalCharacter& b) {
                      if (a.residual != b.residual)
                          return a.residual < b.residual;
                      if (a.frequency != b.frequency)
                          return a.frequency < b.frequency;
                      if (a.total != b.total)
                          return a.total < b.total;
                      return a.code < b.code;
                  });
    }
    return true;
}

const std::vector<RadicalCharacter>& RadicalIndex::characters(std::size_t form) const
{
    static const std::vector<RadicalCharacter> none;
    return form < lists.size() ? lists[form] : none;
}

int RadicalIndex::find(int number, bool isSimplified) const
{
    for (std::size_t i = 0; i < forms.size(); ++i) {
        if (forms[i].number == number && forms[i].simplified == isSimplified)
            return int(i);
    }
    return -1;
}

} // namespace radicals
