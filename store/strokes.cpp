#include "store/strokes.h"

#include "store/programfile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace strokes {

namespace {

constexpr char kMagic[] = "TAVISTK1";
constexpr qint64 kHeaderSize = 16;
constexpr qint64 kIndexEntrySize = 12;

void putU16(QByteArray& out, uint32_t v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

void putU32(QByteArray& out, uint32_t v)
{
    putU16(out, v & 0xFFFF);
    putU16(out, v >> 16);
}

void putPoint(QByteArray& out, Point p)
{
    putU16(out, uint16_t(p.x));
    putU16(out, uint16_t(p.y));
}

uint16_t u16(const char* p)
{
    return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8);
}

Point pointAt(const char* p)
{
    return {int16_t(u16(p)), int16_t(u16(p + 2))};
}

QByteArray record(const std::vector<Stroke>& strokes)
{
    QByteArray out;
    putU16(out, uint32_t(strokes.size()));
    for (const Stroke& s : strokes) {
        putU16(out, uint32_t(s.operations.size()));
        putU16(out, uint32_t(s.median.size()));
        out.append(s.operations.data(), qsizetype(s.operations.size()));
        for (Point p : s.points)
            putPoint(out, p);
        for (Point p : s.median)
            putPoint(out, p);
    }
    return out;
}

// Reads one record; false when it is not exactly a well-formed record.
bool parseRecord(const char* p, qint64 size, std::vector<Stroke>* strokes)
{
    const char* const end = p + size;
    auto left = [&] { return qint64(end - p); };
    if (left() < 2)
        return false;
    const uint16_t strokeCount = u16(p);
    p += 2;
    if (strokeCount == 0)
        return false;
    strokes->clear();
    strokes->reserve(strokeCount);
    for (uint16_t i = 0; i < strokeCount; ++i) {
        if (left() < 4)
            return false;
        const uint16_t operationCount = u16(p), medianCount = u16(p + 2);
        p += 4;
        if (operationCount == 0 || left() < operationCount)
            return false;
        Stroke s;
        s.operations.assign(p, p + operationCount);
        p += operationCount;
        if (s.operations.front() != 'M')
            return false;
        qint64 pointCount = 0;
        for (char op : s.operations) {
            const int n = pointsOf(op);
            if (n < 0)
                return false;
            pointCount += n;
        }
        if (left() < 4 * (pointCount + medianCount))
            return false;
        s.points.reserve(std::size_t(pointCount));
        for (qint64 k = 0; k < pointCount; ++k, p += 4)
            s.points.push_back(pointAt(p));
        s.median.reserve(medianCount);
        for (uint16_t k = 0; k < medianCount; ++k, p += 4)
            s.median.push_back(pointAt(p));
        strokes->push_back(std::move(s));
    }
    return p == end;
}

} // namespace

int pointsOf(char operation)
{
    switch (operation) {
    case 'M':
    case 'L':
        return 1;
    case 'Q':
        return 2;
    case 'C':
        return 3;
    case 'Z':
        return 0;
    default:
        return -1;
    }
}

bool parseOutline(QStringView path, Stroke* stroke)
{
    stroke->operations.clear();
    stroke->points.clear();
    qsizetype i = 0;
    auto skipSpace = [&] {
        while (i < path.size() && (path[i].isSpace() || path[i] == u','))
            ++i;
    };
    auto number = [&](int16_t* out) {
        skipSpace();
        const qsizetype start = i;
        while (i < path.size() && (path[i].isDigit() || path[i] == u'-' || path[i] == u'+' ||
                                   path[i] == u'.' || path[i] == u'e' || path[i] == u'E'))
            ++i;
        bool ok = false;
        const double v = path.mid(start, i - start).toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < -32768 || v > 32767)
            return false;
        *out = int16_t(std::lround(v));
        return true;
    };
    for (skipSpace(); i < path.size(); skipSpace()) {
        const QChar c = path[i++];
        const char op = c.toLatin1();
        const int n = pointsOf(op);
        if (n < 0 || (stroke->operations.empty() && op != 'M'))
            return false;
        stroke->operations.push_back(op);
        for (int k = 0; k < n; ++k) {
            Point p;
            if (!number(&p.x) || !number(&p.y))
                return false;
            stroke->points.push_back(p);
        }
    }
    return !stroke->operations.empty();
}

StrokeStore::StrokeStore() = default;
StrokeStore::~StrokeStore() = default;

QByteArray StrokeStore::build(std::vector<CharacterSource> source, const QByteArray& notice)
{
    std::stable_sort(
        source.begin(), source.end(),
        [](const CharacterSource& a, const CharacterSource& b) { return a.code < b.code; });
    source.erase(std::unique(source.begin(), source.end(),
                             [](const CharacterSource& a, const CharacterSource& b) {
                                 return a.code == b.code;
                             }),
                 source.end());
    source.erase(std::remove_if(source.begin(), source.end(),
                                [](const CharacterSource& c) { return c.strokes.empty(); }),
                 source.end());
    QByteArray out(kMagic, 8);
    putU32(out, uint32_t(source.size()));
    putU32(out, uint32_t(notice.size()));
    out.append(notice);
    QByteArray records;
    const qint64 recordsAt = out.size() + kIndexEntrySize * qint64(source.size());
    for (const CharacterSource& c : source) {
        const QByteArray r = record(c.strokes);
        putU32(out, uint32_t(c.code));
        putU32(out, uint32_t(recordsAt + records.size()));
        putU32(out, uint32_t(r.size()));
        records.append(r);
    }
    out.append(records);
    return out;
}

void StrokeStore::clear()
{
    file.reset();
    held.clear();
    data = nullptr;
    length = 0;
    count = noticeLength = 0;
    indexAt = 0;
}

bool StrokeStore::open(const QString& path, QString* why)
{
    clear();
    qint64 size = 0;
    const char* mapped = mapWholeFile(path, &file, &size, why);
    return mapped && attach(mapped, size, why);
}

bool StrokeStore::adopt(const QByteArray& bytes, QString* why)
{
    clear();
    held = bytes;
    return attach(held.constData(), held.size(), why);
}

uint32_t StrokeStore::at(qint64 offset) const
{
    return uint32_t(u16(data + offset)) | uint32_t(u16(data + offset + 2)) << 16;
}

bool StrokeStore::attach(const char* base, qint64 size, QString* why)
{
    auto fail = [&](const char* reason) {
        clear();
        if (why)
            *why = QString::fromUtf8(reason);
        return false;
    };
    data = base;
    length = size;
    if (size < kHeaderSize || std::memcmp(base, kMagic, 8) != 0)
        return fail("not a stroke file");
    const uint32_t n = at(8), noticeSize = at(12);
    if (qint64(noticeSize) > size - kHeaderSize ||
        kIndexEntrySize * qint64(n) > size - kHeaderSize - qint64(noticeSize))
        return fail("damaged header");
    // Only the index's bounds are checked here, so that opening costs
    // nothing; a look-up checks the record it reads.
    count = n;
    noticeLength = noticeSize;
    indexAt = kHeaderSize + noticeSize;
    return true;
}

QString StrokeStore::notice() const
{
    return data ? QString::fromUtf8(data + kHeaderSize, noticeLength) : QString();
}

char32_t StrokeStore::codeAt(uint32_t i) const
{
    return i < count ? char32_t(at(indexAt + kIndexEntrySize * i)) : 0;
}

Found StrokeStore::find(char32_t code, std::vector<Stroke>* strokes) const
{
    uint32_t lo = 0, hi = count;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (codeAt(mid) < code)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo >= count || codeAt(lo) != code)
        return Found::None;
    const qint64 entry = indexAt + kIndexEntrySize * lo;
    const qint64 offset = at(entry + 4), size = at(entry + 8);
    const qint64 recordsAt = indexAt + kIndexEntrySize * count;
    std::vector<Stroke> read;
    if (offset < recordsAt || size > length - offset || !parseRecord(data + offset, size, &read))
        return Found::Damaged;
    *strokes = std::move(read);
    return Found::Strokes;
}

namespace {

ProgramFile<StrokeStore>& programFile()
{
    static ProgramFile<StrokeStore> file("strokes.dat", "stroke", "stroke order is not available");
    return file;
}

// Whether a damaged or unusable file was said already: one diagnostic for it.
bool toldDamaged = false;

} // namespace

QString strokeFilePath()
{
    return programFile().path();
}

void setProgramStrokeFile(const QString& path)
{
    programFile().setPath(path);
    toldDamaged = false;
}

const StrokeStore& programStrokes()
{
    return programFile().get(&toldDamaged);
}

bool programStrokesOf(char32_t code, std::vector<Stroke>* strokes)
{
    const Found found = programStrokes().find(code, strokes);
    if (found == Found::Damaged && !toldDamaged) {
        toldDamaged = true;
        std::fprintf(stderr,
                     "Tavi: the stroke file %s is damaged (first at U+%04X); the characters "
                     "concerned have no stroke order.\n",
                     qUtf8Printable(strokeFilePath()), unsigned(code));
    }
    return found == Found::Strokes;
}

} // namespace strokes
