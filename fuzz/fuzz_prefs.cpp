// The preferences reader on any preferences file: every setting it gives is
// one the program can use (a field number names a field, a code names a
// field of its kind, corners are 16-bit, flags two bits, the ratio in
// thousandths of one); writing them back succeeds, leaves only the
// program's own keys in the file, and reading that file gives the same.

#include "fuzz/fuzzsupport.h"

#include "app/globals.h"
#include "app/prefs.h"
#include "platform/preferences.h"
#include "store/dictionary.h"

#include <QCoreApplication>
#include <QSet>
#include <QSettings>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string g_prefsPath;
const QString kDomain = QStringLiteral("com.Quillon.Tavi");

// Titles with the characters the store escapes, and two fields that share
// a title and so a key.
const char kIndex[] =
    "kMandarin\tPYIN\tkRomanization\tMandarin\tReading\n"
    "kDefinition\tEDEF\tkDefinition\tDefinition\tEnglish definition\n"
    "kTraditionalVariant\tTRAD\tkAltCharacter\tTrad/Simp %2F\\x\tTraditional form\n"
    "kFrequency\tFREQ\tkMetaNum\tFrequency\tHow common\n"
    "kFrequency2\tFRQ2\tkMetaNum\tFrequency\tHow common, again\n";

bool hasField(uint32_t code, int32_t kind)
{
    for (const dictFields* f : dict.fields)
        if (f->code == code && f->kind == kind)
            return true;
    return false;
}

bool isCorner(int32_t v)
{
    return v >= -32768 && v <= 32767;
}

std::vector<int32_t> settings()
{
    std::vector<int32_t> all = {globals.filterState,
                                globals.searchState,
                                int32_t(globals.floatingCharType),
                                int32_t(globals.floatingRomanType),
                                int32_t(globals.floatingDefnType),
                                globals.biggerFonts,
                                globals.dividerRatio,
                                globals.DictLeftCorner,
                                globals.DictTopCorner,
                                globals.DictRightCorner,
                                globals.DictBottomCorner,
                                globals.FloatLeftCorner,
                                globals.FloatTopCorner};
    for (const dictFields* f : dict.fields)
        all.push_back(int32_t(f->flags));
    return all;
}

void checkSettings()
{
    const int32_t n = int32_t(dict.fields.size());
    FUZZ_CHECK(globals.filterState >= -1 && globals.filterState < n);
    FUZZ_CHECK(globals.searchState >= -2 && globals.searchState < n);
    FUZZ_CHECK(globals.floatingCharType == FOUR_CHAR_CODE("CHAR") ||
               hasField(globals.floatingCharType, kAltCharacter));
    FUZZ_CHECK(hasField(globals.floatingRomanType, kRomanization));
    FUZZ_CHECK(hasField(globals.floatingDefnType, kDefinition));
    FUZZ_CHECK(globals.biggerFonts == 0 || globals.biggerFonts == 1);
    FUZZ_CHECK(globals.ShowFloating == 0 || globals.ShowFloating == 1);
    FUZZ_CHECK(globals.ShowDictionary == 0 || globals.ShowDictionary == 1);
    FUZZ_CHECK(globals.dividerRatio >= 0 && globals.dividerRatio <= 1000);
    FUZZ_CHECK(isCorner(globals.DictLeftCorner) && isCorner(globals.DictTopCorner) &&
               isCorner(globals.DictRightCorner) && isCorner(globals.DictBottomCorner) &&
               isCorner(globals.FloatLeftCorner) && isCorner(globals.FloatTopCorner));
    for (const dictFields* f : dict.fields)
        FUZZ_CHECK(f->flags <= 3);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    new QCoreApplication(*argc, *argv); // for the life of the process
    fuzzsupport::silenceStdout();
    const std::string config = fuzzsupport::scratchPath("config");
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    mkdir(config.c_str(), 0700);
    const std::string path = fuzzsupport::scratchPath("dictionary.txt");
    fuzzsupport::writeFile(path + ".index", kIndex, strlen(kIndex));
    dict.loadIndex(path.c_str());
    FUZZ_CHECK(dict.fields.size() == 5);
    g_prefsPath = PreferencesFilePath(kDomain).toStdString();
    FUZZ_CHECK(g_prefsPath.rfind(config, 0) == 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::writeFile(g_prefsPath, data, size);
    DiscardUnsavedPreferences(kDomain);
    readPrefValues();
    checkSettings();

    writePrefValues();
    const std::vector<int32_t> written = settings();
    FUZZ_CHECK(CFPreferencesAppSynchronize(kDomain));

    DiscardUnsavedPreferences(kDomain);
    globals = {};
    readPrefValues();
    FUZZ_CHECK(settings() == written);

    QSet<QString> expected = {
        QStringLiteral("floatingCharType"), QStringLiteral("floatingRomanType"),
        QStringLiteral("floatingDefnType"), QStringLiteral("filterState"),
        QStringLiteral("searchState"),      QStringLiteral("biggerFonts"),
        QStringLiteral("dividerRatio"),     QStringLiteral("DictLeftCorner"),
        QStringLiteral("DictTopCorner"),    QStringLiteral("DictRightCorner"),
        QStringLiteral("DictBottomCorner"), QStringLiteral("ShowFloating"),
        QStringLiteral("ShowDictionary"),   QStringLiteral("FloatLeftCorner"),
        QStringLiteral("FloatTopCorner"),   QStringLiteral("Mandarin"),
        QStringLiteral("Definition"),       QStringLiteral("Trad%2FSimp %252F%5Cx"),
        QStringLiteral("Frequency"),        QStringLiteral("listSortColumn"),
        QStringLiteral("listSortOrder")};
    const QSettings file(QString::fromStdString(g_prefsPath), QSettings::IniFormat);
    const QStringList keys = file.allKeys();
    FUZZ_CHECK(QSet<QString>(keys.begin(), keys.end()) == expected);
    return 0;
}
