#pragma once
// The program's own data files (words, strokes): mapped whole, read from its
// resources folder on first use; tests point them elsewhere.

#include "store/locations.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <memory>

// Maps the whole file read-only into *size bytes; the file stays open in
// *file for as long as the mapping is used. Null, with the reason in *why
// (when given), when it cannot be opened or mapped or is empty.
inline const char* mapWholeFile(const QString& path, std::unique_ptr<QFile>* file, qint64* size,
                                QString* why)
{
    auto f = std::make_unique<QFile>(path);
    if (!f->open(QIODevice::ReadOnly)) {
        if (why)
            *why = f->errorString();
        return nullptr;
    }
    *size = f->size();
    const uchar* mapped = *size > 0 ? f->map(0, *size) : nullptr;
    if (!mapped) {
        if (why)
            *why = *size > 0 ? f->errorString() : QStringLiteral("the file is empty");
        return nullptr;
    }
    *file = std::move(f);
    return reinterpret_cast<const char*>(mapped);
}

// Store has open(path, &why) and adopt(bytes).

template <typename Store>
class ProgramFile {
public:
    // fileName: in the resources folder; what: "word", "stroke"; without: the
    // consequence of a file that cannot be used, "words are not available".
    ProgramFile(const char* fileName, const char* what, const char* without)
        : fileName(fileName), what(what), without(without)
    {
    }

    QString path() const
    {
        if (!overridden.isEmpty())
            return overridden;
        return QFile::decodeName(bundleResourcesPath().c_str()) + u'/' +
               QString::fromLatin1(fileName);
    }
    // Uses this file from now on, opened at the next use.
    void setPath(const QString& path)
    {
        overridden = path;
        opened = false;
        store.adopt({});
    }
    // The store, opened on first use; a file that cannot be used is said
    // once on standard error and leaves the store empty. *failed (when
    // given) is set when this call found it so.
    const Store& get(bool* failed = nullptr)
    {
        if (!opened) {
            opened = true;
            QString why;
            const QString file = path();
            if (!store.open(file, &why)) {
                std::fprintf(stderr, "Tavi: the %s file %s could not be used (%s); %s.\n", what,
                             qUtf8Printable(file), qUtf8Printable(why), without);
                if (failed)
                    *failed = true;
            }
        }
        return store;
    }

private:
    const char* fileName;
    const char* what;
    const char* without;
    QString overridden;
    Store store;
    bool opened = false;
};
