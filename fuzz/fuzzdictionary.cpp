#include "fuzz/fuzzdictionary.h"

#include "fuzz/fuzzsupport.h"
#include "store/dictionary.h"
#include "store/linereader.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QStringDecoder>

namespace fuzzsupport {

const char kFieldIndex[] =
    "# name, code, kind, title, description\n"
    "kMandarin\tPYIN\tkRomanization\tMandarin\tReading with tone marks\n"
    "kDefinition\tEDEF\tkDefinition\tDefinition\tEnglish definition\n"
    "kRSUnicode\tRADS\tkMetaText\tRadical\tRadical and strokes\n"
    "kTotalStrokes\tSTRK\tkMetaNum\tStrokes\tTotal strokes\n"
    "kSimplifiedVariant\tSIMP\tkAltCharacter\tSimplified\tSimplified form\n"
    "kDefinitionLong\tLDEF\tkDefinition\tLong definition\tA name sharing eight bytes\n"
    "kA\tKA  \tkMetaText\tA\tA short name\n";

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "U+XXXX+YYYY... U+ZZZZ<sources": the characters of each blank-separated
// item, the items one space apart; a code point past U+10FFFF shows U+FFFD.
QString charList(const QByteArray& text)
{
    QString display;
    for (const QByteArray& item : text.split(' ')) {
        QString characters;
        qsizetype at = 1;
        while (item.startsWith("U+") && at + 1 < item.size() && item[at] == '+') {
            qsizetype digits = at + 1;
            unsigned long long value = 0;
            while (digits < item.size() && hexValue(item[digits]) >= 0) {
                value = std::min<unsigned long long>(value * 16 + unsigned(hexValue(item[digits])),
                                                     0xFFFFFFFFull);
                ++digits;
            }
            if (digits == at + 1)
                break;
            const char32_t cp = value > 0x10FFFF ? U'\uFFFD' : char32_t(value);
            characters += QString::fromUcs4(&cp, 1);
            at = digits;
        }
        if (characters.isEmpty())
            continue;
        if (!display.isEmpty())
            display += u' ';
        display += characters;
    }
    return display;
}

} // namespace

QString expectedDisplay(const QByteArray& fieldName, const QByteArray& text, bool& isNull)
{
    isNull = false;
    if (text.startsWith("U+"))
        return charList(text);
    if (fieldName == "kRSUnicode") {
        // The unit 0x2EFF + the leading decimal integer, in 16 bits.
        qsizetype at = 0;
        while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r')))
            ++at;
        const bool negative = at < text.size() && text[at] == '-';
        if (at < text.size() && (text[at] == '-' || text[at] == '+'))
            ++at;
        long long n = 0;
        for (int digits = 0; at < text.size() && text[at] >= '0' && text[at] <= '9';
             ++at, ++digits) {
            if (digits == 6) {
                isNull = true; // too large to say more than "one unit"
                return QString();
            }
            n = n * 10 + (text[at] - '0');
        }
        const auto unit = char16_t((0x2EFF + (negative ? -n : n)) & 0xFFFF);
        return QString(QChar(unit));
    }
    if (fieldName == "kMandarin") {
        const QString p = dict.pinyinize(text.constData());
        isNull = p.isNull();
        return p;
    }
    // Valid UTF-8 is exactly what survives decoding and encoding unchanged.
    // (QString::fromUtf8 would drop a leading U+FEFF.) Invalid bytes become
    // U+FFFD; how many of them a broken sequence gives is the decoder's own.
    QStringDecoder toUtf16(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return toUtf16(text);
}

namespace {

QString withoutReplacements(QString s)
{
    return s.remove(QChar(u'\uFFFD'));
}

// A character of a key: U+0001 to U+10FFFF, no surrogate.
bool isCharacter(uint32_t c)
{
    return c >= 1 && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

} // namespace

void checkStore(dictionary& d)
{
    FUZZ_CHECK(d.count == d.entries.size());
    FUZZ_CHECK(uint32_t(d.table->getCount()) == d.count);
    for (size_t i = 0; i < d.entries.size(); ++i) {
        characterEntry* e = d.entries[i];
        FUZZ_CHECK(e->index == i);
        FUZZ_CHECK(d.table->IsIn(e) == e); // each key once
        FUZZ_CHECK(e->display == dictionary::displayOfCodes(e->codes));
        FUZZ_CHECK(!e->codes.empty()); // a key that names no character is skipped
        for (uint32_t c : e->codes)
            FUZZ_CHECK(isCharacter(c));
        for (size_t a = 0; a < e->values.size(); ++a) {
            const dictValue* v = e->values[a];
            FUZZ_CHECK(v->field >= 0 && size_t(v->field) < d.fields.size());
            FUZZ_CHECK(v->modified == 0);
            for (size_t b = a + 1; b < e->values.size(); ++b)
                FUZZ_CHECK(e->values[b]->field != v->field);
            // A value is the rest of one line up to TAB, CR or LF.
            FUZZ_CHECK(size_t(v->text().size()) < LineReader::kLineMax);
            FUZZ_CHECK(!v->text().contains('\t') && !v->text().contains('\r') &&
                       !v->text().contains('\n'));
            FUZZ_CHECK(!v->text().contains('\0'));

            const QByteArray& name = d.fields[size_t(v->field)]->name;
            bool isNull = false;
            const QString expected = expectedDisplay(name, v->text(), isNull);
            if (isNull && name == "kRSUnicode" && !v->text().startsWith("U+")) {
                FUZZ_CHECK(v->display().size() == 1);
                continue;
            }
            FUZZ_CHECK(v->display().isNull() == isNull);
            FUZZ_CHECK(v->display().isValidUtf16());
            if (name != "kMandarin" && name != "kRSUnicode" && !v->text().startsWith("U+") &&
                expected.toUtf8() != v->text()) {
                // Not valid UTF-8: kept, with U+FFFD for what is not.
                FUZZ_CHECK(v->display().contains(QChar(u'\uFFFD')));
                FUZZ_CHECK(withoutReplacements(v->display()) == withoutReplacements(expected));
                continue;
            }
            FUZZ_CHECK(v->display() == expected);
        }
    }
}

} // namespace fuzzsupport
