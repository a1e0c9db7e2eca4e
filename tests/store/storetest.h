#pragma once

// Helpers shared by the store's tests.

#include <QByteArray>
#include <QFile>
#include <QString>

#include "tests/common/stdoutcapture.h"

inline QByteArray fixturePath(const char* name)
{
    return QByteArray(TAVI_FIXTURES_DIR "/store/") + name;
}

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
