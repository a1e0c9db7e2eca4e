#pragma once
// The word dictionary: Chinese words of one or more characters, each with a
// traditional and a simplified form, a pinyin reading with tone numbers, its
// senses in English and a frequency (how often the word occurs in a large
// text corpus; 0 when unknown).
//
// The word file is made at build time with WordStore::build and read by
// mapping it: every index the look-ups need is in the file, so opening it
// costs a check of its bounds and no parsing. Words are stored most common
// first, so a word's number is its rank and every list of numbers in the
// file, kept ascending, is a list of words most common first.
//
// File layout, 32-bit little-endian numbers:
//   header     "TAVIWRD1", then the counts W K C P G T Y and the text size B
//   words      W x (text offset, text length, frequency); the text is
//              "traditional TAB simplified TAB pinyin (TAB sense)..."
//   keys       K x (word | 1 << 31 for the traditional form), by form, then word
//   characters C x (code point, first posting, posting count), by code point
//   postings   P x word: the words of two or more characters holding it
//   glosses    G x (offset, length, word): the senses' ;-separated parts, by
//              their ASCII-lowercase bytes, then word
//   tokens     T x (offset, length, word): the senses' words, sorted the same
//   readings   Y x word, by the reading without tones, then word
//   text       B bytes of UTF-8

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

namespace pinyinquery {
struct Syllable;
}

namespace words {

// One word as the build reads it from its source.
struct WordSource {
    QString traditional;
    QString simplified;
    QString pinyin; // tone numbers, syllables separated by blanks: "ni3 hao3"
    QStringList senses;
    uint32_t frequency = 0;
};

// One word as the store gives it.
struct Word {
    QString traditional;
    QString simplified;
    QString pinyin;
    QStringList senses;
    uint32_t frequency = 0;
};

// The word that a text starts with.
struct WordMatch {
    int32_t word = -1;        // the most common word of that form, or -1
    int length = 0;           // its length in code points
    bool traditional = false; // the text holds its traditional form
};

// How an English word is found among the senses.
enum class GlossMatch {
    Equal,      // a part of a sense is the word ("person" in "person; people")
    StartsWith, // a part begins with it as a whole word ("car park" for "car")
    WholeWord,  // a sense holds it as a whole word
};

class WordStore {
public:
    WordStore();
    ~WordStore();
    WordStore(const WordStore&) = delete;
    WordStore& operator=(const WordStore&) = delete;

    // The word file's contents for these words (in any order).
    static QByteArray build(std::vector<WordSource> source);

    // Maps the word file; false, with the reason, when it cannot be used
    // (the store is then empty).
    bool open(const QString& path, QString* why = nullptr);
    // The same for a file's contents held in memory.
    bool adopt(const QByteArray& bytes, QString* why = nullptr);

    uint32_t size() const { return wordCount; }
    bool isEmpty() const { return wordCount == 0; }
    // The bytes the store holds (the mapped file).
    qint64 byteSize() const { return length; }

    Word word(uint32_t index) const;
    // The form that a match found, in its script.
    QString form(uint32_t index, bool traditional) const;

    // The longest word of at least minLength characters that the text starts
    // with, in either script.
    WordMatch longestPrefix(QStringView text, int minLength = 2) const;
    // Every word with this form in either script, most common first.
    std::vector<uint32_t> wordsOfForm(QStringView form) const;
    // The frequency of the most common word with this form; 0 for none.
    uint32_t frequencyOf(QStringView form) const;
    // The most common words of two or more characters that hold the
    // character, at most limit of them.
    std::vector<uint32_t> wordsContaining(char32_t character, std::size_t limit) const;
    // The most common word whose senses match the English text so; -1 for none.
    int32_t findGloss(QStringView english, GlossMatch match) const;
    // The words whose reading is these syllables (of any tone where the
    // syllable gives none), most common first.
    std::vector<uint32_t> findReading(const std::vector<pinyinquery::Syllable>& syllables,
                                      std::size_t limit) const;

private:
    bool attach(const char* base, qint64 size, QString* why);
    void clear();
    uint32_t at(qint64 offset) const;
    QByteArray textOf(uint32_t index) const;
    QByteArray formBytes(uint32_t key) const;
    template <typename Less>
    std::pair<uint32_t, uint32_t> range(uint32_t count, Less less) const;

    std::unique_ptr<QFile> file;
    QByteArray held;
    const char* data = nullptr;
    qint64 length = 0;
    uint32_t wordCount = 0, keyCount = 0, charCount = 0, postingCount = 0, glossCount = 0,
             tokenCount = 0, readingCount = 0, textSize = 0;
    qint64 wordsAt = 0, keysAt = 0, charsAt = 0, postingsAt = 0, glossesAt = 0, tokensAt = 0,
           readingsAt = 0, textAt = 0;
};

// A reading without tones, lowercase, ü as v, syllables separated by one
// blank: "Lu:4 shi1" -> "lv shi".
QByteArray readingKey(QStringView pinyin);

// The word store of the program: the shipped word file, opened at its first
// use. When the file is missing or damaged the store stays empty and one line
// on standard error names the file.
const WordStore& programWords();
// The shipped word file's path.
QString wordFilePath();
// For tests: use this file from now on instead of the shipped one.
void setProgramWordFile(const QString& path);

} // namespace words
