#pragma once
// Helpers shared by the application tests: the stored preference file, and
// stand-in windows with a tag.

#include "platform/preferences.h"
#include "platform/windows.h"
#include "store/dictionary.h"
#include "tests/common/windowtesting.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QWidget>

namespace apptest {

inline QString prefsPath()
{
    return PreferencesFilePath(QStringLiteral("com.Quillon.Tavi"));
}

// Replaces the stored preferences with `text` (the file's content; null
// removes the file) and makes the store read it again.
inline void storePrefsFile(const QByteArray& text)
{
    static int generation = 0;
    const QString path = prefsPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    if (!text.isNull()) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
        file.close();
        // A new time stamp, so the store sees the file as changed even when
        // its size is the same as before.
        if (file.open(QIODevice::ReadWrite)) {
            file.setFileTime(QDateTime::currentDateTime().addSecs(++generation),
                             QFileDevice::FileModificationTime);
            file.close();
        }
    }
    CFPreferencesAppSynchronize(QStringLiteral("com.Quillon.Tavi"));
}

// What the preference file holds now, key by key, as text.
inline QMap<QString, QString> storedPrefs()
{
    QMap<QString, QString> values;
    QSettings settings(prefsPath(), QSettings::IniFormat);
    const QStringList keys = settings.allKeys();
    for (const QString& key : keys)
        values.insert(key, settings.value(key).toString());
    return values;
}

// A dictionary field as the field index loader leaves it.
inline dictFields* makeField(const char* name, const char* title, uint32_t code, int32_t kind)
{
    auto* field = new dictFields();
    field->name = QByteArray(name);
    field->kind = kind;
    field->width = 10;
    field->code = code;
    field->title = QString::fromUtf8(title);
    field->flags = 1;
    field->inList = 0;
    return field;
}

// A shown window carrying `tag`, as a window creator would make it.
inline WindowRef makeTaggedWindow(long tag, const QRect& geometry = QRect(100, 120, 300, 200))
{
    auto* widget = new QWidget;
    widget->setGeometry(geometry);
    WindowRef window = nullptr;
    CreateWindowFromWidget(widget, &window);
    SetWRefCon(window, tag);
    ShowWindow(window);
    return window;
}

using wtest::disposeAllWindows;

} // namespace apptest
