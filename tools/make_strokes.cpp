// Build-time tool: makes the stroke file ("strokes.dat") from the unpacked
// npm package hanzi-writer-data, one "<character>.json" per character with
// "strokes" (SVG outlines) and "medians" (lists of [x, y]).
//
//   tavi_make_strokes <package folder> <strokes.dat>

#include "store/strokes.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <cstdio>

namespace {

const char* const kProgram = "tavi_make_strokes";

const char kNotice[] =
    "Stroke outlines and medians from the npm package hanzi-writer-data 2.0.1, "
    "licensed under the Arphic Public License "
    "(ARPHICPL.TXT, installed beside this file). Changed by Tavi's build: the JSON "
    "files were converted into this one indexed binary file, coordinates rounded to "
    "whole units; the shapes are otherwise unchanged.";

bool readCharacter(const QString& path, strokes::CharacterSource* out, QString* why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = f.errorString();
        return false;
    }
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(f.readAll(), &error).object();
    if (error.error != QJsonParseError::NoError) {
        *why = error.errorString();
        return false;
    }
    const QJsonArray outlines = o.value(QLatin1String("strokes")).toArray();
    const QJsonArray medians = o.value(QLatin1String("medians")).toArray();
    if (outlines.isEmpty() || outlines.size() != medians.size()) {
        *why =
            QStringLiteral("%1 outlines and %2 medians").arg(outlines.size()).arg(medians.size());
        return false;
    }
    for (qsizetype i = 0; i < outlines.size(); ++i) {
        strokes::Stroke s;
        if (!strokes::parseOutline(outlines.at(i).toString(), &s)) {
            *why = QStringLiteral("stroke %1 has an outline that cannot be read").arg(i + 1);
            return false;
        }
        for (const QJsonValue& v : medians.at(i).toArray()) {
            const QJsonArray xy = v.toArray();
            s.median.push_back({int16_t(std::lround(xy.at(0).toDouble())),
                                int16_t(std::lround(xy.at(1).toDouble()))});
        }
        if (s.median.empty()) {
            *why = QStringLiteral("stroke %1 has no median").arg(i + 1);
            return false;
        }
        out->strokes.push_back(std::move(s));
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <package folder> <strokes.dat>\n", kProgram);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QStringList names = folder.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    std::vector<strokes::CharacterSource> source;
    source.reserve(std::size_t(names.size()));
    int skipped = 0;
    for (const QString& name : names) {
        // Character files are named by their one character.
        const QList<uint> codes = name.chopped(5).toUcs4();
        if (codes.size() != 1)
            continue;
        strokes::CharacterSource c;
        c.code = char32_t(codes.front());
        QString why;
        if (!readCharacter(folder.filePath(name), &c, &why)) {
            std::fprintf(stderr, "%s: %s skipped: %s\n", kProgram, qUtf8Printable(name),
                         qUtf8Printable(why));
            ++skipped;
            continue;
        }
        source.push_back(std::move(c));
    }
    // The data is pinned by its checksum: a file that cannot be read means
    // the reader is wrong, so nothing is written.
    if (source.empty() || skipped > 0) {
        std::fprintf(stderr, "%s: %s: %d character files read, %d not\n", kProgram, argv[1],
                     int(source.size()), skipped);
        return 1;
    }
    const QByteArray out = strokes::StrokeStore::build(std::move(source), kNotice);
    QSaveFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit()) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", kProgram, argv[2],
                     qUtf8Printable(file.errorString()));
        return 1;
    }
    return 0;
}
