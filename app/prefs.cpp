#include "app/prefs.h"

#include "app/globals.h"
#include "app/windowlookup.h"
#include "platform/controls.h"
#include "platform/preferences.h"
#include "platform/windows.h"
#include "splitview/splitview.h"
#include "store/dictionary.h"
#include "store/locations.h"

#include <QFile>
#include <QSet>
#include <QString>

#include <cmath>
#include <cstdio>
#include <limits>

ListSort listSort;

namespace {

// Reads, writes and the flush all name the same domain, so no write can miss
// the flush.
QString preferenceDomain()
{
    return kCFPreferencesCurrentApplication;
}

const char* const kGlobalKeys[] = {"floatingCharType", "floatingRomanType", "floatingDefnType",
                                   "filterState",      "searchState",       "biggerFonts",
                                   "dividerRatio",     "DictLeftCorner",    "DictTopCorner",
                                   "DictRightCorner",  "DictBottomCorner",  "ShowFloating",
                                   "ShowDictionary",   "FloatLeftCorner",   "FloatTopCorner",
                                   "listSortColumn",   "listSortOrder"};

// A stored value that the setting cannot take is said once on standard
// error (not at every read), naming what is used instead.
void reportIgnored(const QString& key, long value, const QString& instead)
{
    static QSet<QString> reported;
    const QString line = QStringLiteral("%1=%2").arg(key).arg(value);
    if (reported.contains(line))
        return;
    reported.insert(line);
    std::fprintf(stderr, "Tavi: the preference %s is out of range; %s is used instead\n",
                 qUtf8Printable(line), qUtf8Printable(instead));
}

QString codeText(uint32_t code)
{
    if (code == 0)
        return QStringLiteral("none");
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text += QChar(char16_t((code >> shift) & 0xFF));
    return u'\'' + text + u'\'';
}

// A stored value outside [low, high] is treated as a missing one.
void readLong(const QString& key, int32_t& field, int32_t fallback, long low, long high)
{
    long value = 0;
    if (!getPrefValue(key, value)) {
        field = fallback;
    } else if (value < low || value > high) {
        reportIgnored(key, value, QString::number(fallback));
        field = fallback;
    } else {
        field = static_cast<int32_t>(value);
    }
}

// A window corner is a 16-bit screen coordinate.
void readCorner(const QString& key, int32_t& field)
{
    readLong(key, field, -1, std::numeric_limits<int16_t>::min(),
             std::numeric_limits<int16_t>::max());
}

// A four-character code counts only when it is the code of a field of the
// kind it chooses, or the default itself (which a save writes back).
void readCode(const QString& key, uint32_t& field, uint32_t fallback, int32_t kind)
{
    long value = 0;
    field = fallback;
    if (!getPrefValue(key, value) || static_cast<uint32_t>(value) == fallback)
        return;
    for (const dictFields* f : dict.fields) {
        if (f->kind == kind && f->code == static_cast<uint32_t>(value)) {
            field = f->code;
            return;
        }
    }
    reportIgnored(key, value, codeText(fallback));
}

void readBool(const QString& key, int32_t& field, bool fallback)
{
    bool value = false;
    field = (getPrefValue(key, value) ? value : fallback) ? 1 : 0;
}

} // namespace

bool getPrefValue(const QString& key, long& value)
{
    Boolean valid = false;
    value = CFPreferencesGetAppIntegerValue(key, preferenceDomain(), &valid);
    return valid;
}

bool getPrefValue(const QString& key, bool& value)
{
    long number = 0;
    const bool valid = getPrefValue(key, number);
    value = number != 0;
    return valid;
}

void setPrefValue(const QString& key, long value)
{
    CFPreferencesSetAppValue(key, QVariant(static_cast<int32_t>(value)), preferenceDomain());
}

void setPrefValue(const QString& key, bool value)
{
    CFPreferencesSetAppValue(key, QVariant(static_cast<int32_t>(value ? 1 : 0)),
                             preferenceDomain());
}

void readPrefValues()
{
    const int32_t fieldCount = int32_t(dict.fields.size());
    for (dictFields* field : dict.fields) {
        // Bits 0 and 1 are all a field's flags can be.
        int32_t flags = 3;
        readLong(field->title, flags, 3, 0, 3);
        field->flags = static_cast<uint32_t>(flags);
    }

    readCode(QStringLiteral("floatingCharType"), globals.floatingCharType, FOUR_CHAR_CODE("CHAR"),
             kAltCharacter);
    readCode(QStringLiteral("floatingRomanType"), globals.floatingRomanType, FOUR_CHAR_CODE("PYIN"),
             kRomanization);
    readCode(QStringLiteral("floatingDefnType"), globals.floatingDefnType, FOUR_CHAR_CODE("EDEF"),
             kDefinition);
    // A field number must name a field; -1 (and for the search, -2) are the
    // scopes that need none.
    readLong(QStringLiteral("filterState"), globals.filterState, -1, -1, fieldCount - 1);
    readLong(QStringLiteral("searchState"), globals.searchState, -2, -2, fieldCount - 1);
    readBool(QStringLiteral("biggerFonts"), globals.biggerFonts, false);
    // The bar a little below the middle, so a new user sees the entry text view.
    readLong(QStringLiteral("dividerRatio"), globals.dividerRatio, 600, 0, 1000);
    readCorner(QStringLiteral("DictLeftCorner"), globals.DictLeftCorner);
    readCorner(QStringLiteral("DictTopCorner"), globals.DictTopCorner);
    readCorner(QStringLiteral("DictRightCorner"), globals.DictRightCorner);
    readCorner(QStringLiteral("DictBottomCorner"), globals.DictBottomCorner);
    readBool(QStringLiteral("ShowFloating"), globals.ShowFloating, false);
    readBool(QStringLiteral("ShowDictionary"), globals.ShowDictionary, true);
    readCorner(QStringLiteral("FloatLeftCorner"), globals.FloatLeftCorner);
    readCorner(QStringLiteral("FloatTopCorner"), globals.FloatTopCorner);

    // The entry list starts sorted by frequency, the most common first; a
    // stored column counts only when it is a field's code.
    const int frequency = dict.findField("kFrequency");
    listSort.column =
        frequency >= 0 ? dict.fields[std::size_t(frequency)]->code : kDataBrowserItemNoProperty;
    long column = 0;
    if (getPrefValue(QStringLiteral("listSortColumn"), column)) {
        bool known = static_cast<uint32_t>(column) == kCharacterColumn;
        for (const dictFields* f : dict.fields)
            known = known || f->code == static_cast<uint32_t>(column);
        if (known)
            listSort.column = static_cast<uint32_t>(column);
        else
            reportIgnored(QStringLiteral("listSortColumn"), column, codeText(listSort.column));
    }
    int32_t order = kDataBrowserOrderIncreasing;
    readLong(QStringLiteral("listSortOrder"), order, kDataBrowserOrderIncreasing,
             kDataBrowserOrderIncreasing, kDataBrowserOrderDecreasing);
    listSort.order = DataBrowserSortOrder(order);
}

OSStatus loadPrefs()
{
    readPrefValues();
    return noErr;
}

void writePrefValues()
{
    QSet<QString> keys;
    for (const dictFields* field : dict.fields) {
        setPrefValue(field->title, static_cast<long>(static_cast<int32_t>(field->flags)));
        keys.insert(field->title);
    }
    for (const char* key : kGlobalKeys)
        keys.insert(QLatin1String(key));

    setPrefValue(QStringLiteral("floatingCharType"),
                 static_cast<long>(static_cast<int32_t>(globals.floatingCharType)));
    setPrefValue(QStringLiteral("floatingRomanType"),
                 static_cast<long>(static_cast<int32_t>(globals.floatingRomanType)));
    setPrefValue(QStringLiteral("floatingDefnType"),
                 static_cast<long>(static_cast<int32_t>(globals.floatingDefnType)));
    setPrefValue(QStringLiteral("filterState"), static_cast<long>(globals.filterState));
    setPrefValue(QStringLiteral("searchState"), static_cast<long>(globals.searchState));
    setPrefValue(QStringLiteral("biggerFonts"), globals.biggerFonts != 0);

    setPrefValue(QStringLiteral("dividerRatio"), static_cast<long>(globals.dividerRatio));
    setPrefValue(QStringLiteral("DictLeftCorner"), static_cast<long>(globals.DictLeftCorner));
    setPrefValue(QStringLiteral("DictTopCorner"), static_cast<long>(globals.DictTopCorner));
    setPrefValue(QStringLiteral("DictRightCorner"), static_cast<long>(globals.DictRightCorner));
    setPrefValue(QStringLiteral("DictBottomCorner"), static_cast<long>(globals.DictBottomCorner));
    setPrefValue(QStringLiteral("ShowFloating"), globals.ShowFloating != 0);
    setPrefValue(QStringLiteral("ShowDictionary"), globals.ShowDictionary != 0);
    setPrefValue(QStringLiteral("FloatLeftCorner"), static_cast<long>(globals.FloatLeftCorner));
    setPrefValue(QStringLiteral("FloatTopCorner"), static_cast<long>(globals.FloatTopCorner));
    setPrefValue(QStringLiteral("listSortColumn"),
                 static_cast<long>(static_cast<int32_t>(listSort.column)));
    setPrefValue(QStringLiteral("listSortOrder"), static_cast<long>(listSort.order));

    // Whatever else the file held (a damaged line, a key of an older
    // dictionary's field) is not carried forward.
    RemovePreferenceKeysExcept(keys, preferenceDomain());
}

OSStatus savePrefs(std::vector<SaveFailure>* failures)
{
    writePrefValues();

    OSStatus status = noErr;
    QString why;
    // The user dictionary is saved whether or not the preferences could be.
    if (!CFPreferencesAppSynchronize(preferenceDomain(), &why)) {
        status = ioErr;
        if (failures)
            failures->push_back({PreferencesFilePath(preferenceDomain()), why});
    }

    std::string reason;
    if (!saveCustomDictionary(&dict, &reason)) {
        status = ioErr;
        if (failures)
            failures->push_back({QFile::decodeName(getCustomDictLocation().c_str()),
                                 QString::fromLocal8Bit(reason.c_str())});
    }
    return status;
}
