#pragma once
// Stroke order: for each character it knows, the outline of every stroke in
// writing order and the points along the stroke's centre line (its median)
// from where the brush starts to where it leaves. Coordinates are in a box of
// 1024 units, y pointing up, the baseline at y = 0 and the top at y = 900.
//
// The stroke file is made at build time with StrokeStore::build and read by
// mapping it: opening checks the header and the index's bounds, and a
// character's record is read and checked only when it is asked for.
//
// File layout, little-endian numbers:
//   header   "TAVISTK1", u32 character count N, u32 notice length L
//   notice   L bytes of UTF-8: where the data comes from and how it was changed
//   index    N x (u32 code point, u32 record offset, u32 record length), by code point
//   records  per character: u16 stroke count S, then per stroke: u16 operation
//            count P, u16 median point count K, P operation bytes (M L Q C Z),
//            the operations' points (M and L one, Q two, C three, Z none) and
//            the K median points, each point two i16 (x, y)

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

namespace strokes {

struct Point {
    int16_t x = 0;
    int16_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Stroke {
    std::vector<char> operations; // 'M', 'L', 'Q', 'C', 'Z'
    std::vector<Point> points;    // the operations' points, in order
    std::vector<Point> median;    // from the stroke's start to its end
    friend bool operator==(const Stroke&, const Stroke&) = default;
};

struct CharacterSource {
    char32_t code = 0;
    std::vector<Stroke> strokes;
};

enum class Found {
    Strokes, // the character's strokes
    None,    // the file has no record of the character
    Damaged, // its record is damaged
};

// The points an operation takes; -1 for a letter that is no operation.
int pointsOf(char operation);

// Reads an SVG path of the operations M, L, Q, C and Z with absolute
// coordinates (numbers are rounded to whole units) into the stroke's outline.
// False for any other operation, a missing number or a path that does not
// start with M.
bool parseOutline(QStringView path, Stroke* stroke);

class StrokeStore {
public:
    StrokeStore();
    ~StrokeStore();
    StrokeStore(const StrokeStore&) = delete;
    StrokeStore& operator=(const StrokeStore&) = delete;

    // The stroke file's contents for these characters (in any order; a
    // character given twice keeps its first strokes).
    static QByteArray build(std::vector<CharacterSource> source, const QByteArray& notice);

    // Maps the stroke file; false, with the reason, when it cannot be used
    // (the store is then empty).
    bool open(const QString& path, QString* why = nullptr);
    // The same for a file's contents held in memory.
    bool adopt(const QByteArray& bytes, QString* why = nullptr);

    uint32_t size() const { return count; }
    bool isEmpty() const { return count == 0; }
    QString notice() const;
    // The code point of the index's entry i (i < size()).
    char32_t codeAt(uint32_t i) const;

    Found find(char32_t code, std::vector<Stroke>* strokes) const;

private:
    bool attach(const char* base, qint64 size, QString* why);
    void clear();
    uint32_t at(qint64 offset) const;

    std::unique_ptr<QFile> file;
    QByteArray held;
    const char* data = nullptr;
    qint64 length = 0;
    uint32_t count = 0;
    uint32_t noticeLength = 0;
    qint64 indexAt = 0;
};

// The stroke store of the program: the shipped stroke file, opened at its
// first use. A missing or damaged file, or a damaged record, leaves the
// characters concerned without strokes, with one line on standard error.
const StrokeStore& programStrokes();
// A character's strokes from the program's store; false for none.
bool programStrokesOf(char32_t code, std::vector<Stroke>* strokes);
// The shipped stroke file's path.
QString strokeFilePath();
// For tests: use this file from now on instead of the shipped one.
void setProgramStrokeFile(const QString& path);

} // namespace strokes
