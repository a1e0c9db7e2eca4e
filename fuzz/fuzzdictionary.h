#pragma once
// The field index the dictionary targets read their inputs against, and
// checks of a loaded store that hold for any file.

#include <QString>

#include <cstddef>

class dictionary;

namespace fuzzsupport {

// Fields with the special names, the kinds, and names that share their first
// eight bytes ("kDefinition", "kDefinitionLong") or are short ("kA").
extern const char kFieldIndex[];

// The store's structure: entries numbered in order, each key once, values of
// known fields, each field at most once per entry, texts as a column can
// hold them, displays by the rules of the loader.
void checkStore(dictionary& d);

// The display a value's text must have in the field of that name.
QString expectedDisplay(const QByteArray& fieldName, const QByteArray& text, bool& isNull);

} // namespace fuzzsupport
