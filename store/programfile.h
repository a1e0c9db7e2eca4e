#pragma once
// A data file of the program, read from its resources folder on first use;
// tests point it elsewhere. Store has open(path, &why) and adopt(bytes).

#include "store/locations.h"

#include <QFile>
#include <QString>

#include <cstdio>

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
