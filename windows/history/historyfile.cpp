#include "windows/history/historyfile.h"

#include "app/globals.h"
#include "app/windowlookup.h"
#include "platform/durablefile.h"
#include "platform/folders.h"
#include "platform/preferences.h"
#include "platform/savedialog.h"
#include "platform/windowgroups.h"
#include "platform/writestream.h"
#include "store/dictionary.h"
#include "store/readresult.h"
#include "store/textutil.h"
#include "store/trace.h"
#include "windows/lookup.h"
#include "windows/navigation.h"
#include "windows/wordentry.h"
#include "windows/history/history.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

namespace {

// Writes data to a new file beside path and renames it over path once it is
// on disk, so that path holds either its old contents or the new ones,
// whatever happens on the way. A symbolic link is written through; a path
// that is not a regular file is refused (durablefile.h).
// Empty on success, else why not.
QString replaceFileContents(const std::string& path, const std::string& data)
{
    DurableFile file(QFile::decodeName(path.c_str()));
    if (!file.open() || !file.write(data.data(), qint64(data.size())) || !file.commit())
        return file.errorString();
    return QString();
}

// The alert of an export that could not be written, naming the file.
void alertExportFailure(const char* what, const QString& path, const QString& why)
{
    const QByteArray message =
        QStringLiteral("%1 \"%2\": %3.").arg(QLatin1String(what), path, why).toUtf8();
    minorError("Error", message.constData(), 0);
}

bool isBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The entries the history file names, oldest first, each once (at its last
// place). A line is an entry's key; a line of more than kHistoryLookupLimit
// characters is read as several keys. Each key costs one probe of the hash
// table, so the time grows with the file's length and no faster, and memory
// stays bounded by the dictionary whatever the file holds.
std::vector<uint32_t> readHistoryLines(FILE* file, const std::string& path)
{
    std::vector<uint32_t> found;
    characterEntry probe;
    LineDiagnostics diagnostics(path);
    int64_t line = 1;
    auto lookUp = [&] {
        std::string why;
        if (!tavi_text::isCharacterKey(probe.codes.data(), probe.codes.size(), &why))
            diagnostics.report(line, (why + "; skipped").c_str());
        else if (const auto* e = static_cast<const characterEntry*>(dict.table->IsIn(&probe)))
            found.push_back(e->index);
        probe.codes.clear();
    };
    long skipped = 0;
    int c = getc_unlocked(file);
    // A byte-order mark before the first line.
    if (c == 0xEF) {
        const int b = getc_unlocked(file);
        const int m = b == 0xBB ? getc_unlocked(file) : EOF;
        if (b != 0xBB || m != 0xBF) {
            rewind(file);
        }
        c = getc_unlocked(file);
    }
    for (;;) {
        while (isBlank(c)) {
            line += c == '\n';
            c = getc_unlocked(file);
        }
        if (c == EOF)
            break;
        if (c != 'U') {
            ++skipped;
            while (c != '\n' && c != EOF)
                c = getc_unlocked(file);
            continue;
        }
        // Keys separated by blanks on one line are the characters of a word.
        std::vector<uint32_t> word;
        for (;;) {
            bool lookedUp = false;
            c = getc_unlocked(file);
            while (c == '+') {
                c = getc_unlocked(file);
                while (c == ' ' || c == '\t')
                    c = getc_unlocked(file);
                if (tavi_text::hexValue(static_cast<unsigned char>(c)) < 0)
                    break;
                uint64_t value = 0;
                for (int digit; (digit = tavi_text::hexValue(static_cast<unsigned char>(c))) >= 0;
                     c = getc_unlocked(file))
                    value = std::min<uint64_t>((value << 4) | uint64_t(digit), 0xFFFFFFFFu);
                probe.codes.push_back(uint32_t(value));
                if (probe.codes.size() == kHistoryLookupLimit) {
                    lookUp();
                    lookedUp = true;
                }
            }
            if (lookedUp && probe.codes.empty())
                break;
            while (c == ' ' || c == '\t')
                c = getc_unlocked(file);
            if (c != 'U' && word.empty()) {
                lookUp();
                break;
            }
            if (word.size() < kHistoryLookupLimit)
                word.insert(word.end(), probe.codes.begin(), probe.codes.end());
            probe.codes.clear();
            if (c != 'U') {
                const int64_t ref = wordRefOfCodes(word);
                if (ref >= 0)
                    found.push_back(uint32_t(ref));
                break;
            }
        }
        // The next line may follow at once; anything else ends this one.
        if (c != 'U' && !isBlank(c) && c != EOF) {
            ++skipped;
            while (c != '\n' && c != EOF)
                c = getc_unlocked(file);
        }
    }
    if (ferror(file))
        fprintf(stderr, "Error reading the history file: %s\n", strerror(errno));
    if (skipped > 0)
        fprintf(stderr, "Skipped %ld unreadable lines of the history file\n", skipped);

    // Each entry or word once, where it was looked up last.
    std::vector<bool> seen(dict.entries.size());
    std::unordered_set<uint32_t> seenWords;
    std::vector<uint32_t> order;
    for (auto it = found.rbegin(); it != found.rend(); ++it) {
        if (*it < seen.size() ? !seen[*it] : seenWords.insert(*it).second) {
            if (*it < seen.size())
                seen[*it] = true;
            order.push_back(*it);
        }
    }
    return std::vector<uint32_t>(order.rbegin(), order.rend());
}

// Removes the new files that saves killed part way left beside `path`
// ("name.tavi-save-XXXXXX", durablefile.h); whatever else is there, such as
// the user's own copies ("name.backup"), stays.
void removeStaleTemporaries(const QString& path)
{
    const QFileInfo info(path);
    const QString pattern =
        info.fileName() + QLatin1String(kSaveFileInfix) + QString(kSaveFileRandomLength, u'?');
    QDir folder = info.dir();
    for (const QString& name : folder.entryList({pattern}, QDir::Files | QDir::Hidden)) {
        if (folder.remove(name))
            fprintf(stderr, "Removed '%s', left by a save that did not finish\n",
                    qUtf8Printable(folder.filePath(name)));
    }
}

} // namespace

std::string getHistoryLocation()
{
    QString folder;
    const OSStatus err = FSFindFolder(kUserDomain, kPreferencesFolderType, kCreateFolder, &folder);
    if (err != noErr) {
        fprintf(stderr, "Could not find the preferences folder: %d\n", int(err));
        return std::string();
    }
    return QFile::encodeName(folder).toStdString() + "/TaviDictionaryHistory";
}

namespace {

// A history file that was there but could not be read is never replaced:
// what it holds would be lost. This run's look-ups are then not saved.
bool keepUnreadHistory = false;

} // namespace

bool saveHistory(std::vector<SaveFailure>* failures)
{
    if (keepUnreadHistory) {
        qCDebug(taviTrace, "The history file could not be read: left as it is");
        return true;
    }
    const std::string path = getHistoryLocation();
    if (path.empty()) {
        if (failures)
            failures->push_back({QStringLiteral("TaviDictionaryHistory"),
                                 QStringLiteral("there is no preferences folder")});
        return false;
    }
    std::string text;
    char hex[16];
    for (uint32_t index : history) {
        if (isKnownWordRef(index)) {
            // A word: its characters' keys, separated by blanks.
            const QList<uint> codes = wordRefForm(index).toUcs4();
            for (qsizetype i = 0; i < codes.size(); ++i) {
                const int n = snprintf(hex, sizeof hex, "%sU+%lX", i > 0 ? " " : "",
                                       static_cast<unsigned long>(codes[i]));
                text.append(hex, std::size_t(n));
            }
            text += '\n';
            continue;
        }
        if (index >= dict.entries.size())
            continue;
        text += 'U';
        for (uint32_t code : dict.entries[index]->codes) {
            const int n = snprintf(hex, sizeof hex, "+%lX", static_cast<unsigned long>(code));
            text.append(hex, std::size_t(n));
        }
        text += '\n';
    }
    const QString why = replaceFileContents(path, text);
    if (why.isEmpty())
        return true;
    fprintf(stderr, "Unable to save the history to '%s': %s\n", path.c_str(), qUtf8Printable(why));
    if (failures)
        failures->push_back({QFile::decodeName(path.c_str()), why});
    return false;
}

void scheduleHistorySave()
{
    static QPointer<QTimer> timer;
    if (!timer) {
        if (!QCoreApplication::instance())
            return; // no event loop: the save at quit writes it
        timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        timer->setInterval(kHistorySaveDelayMs);
        QObject::connect(timer, &QTimer::timeout, [] { saveHistory(); });
    }
    if (!timer->isActive())
        timer->start();
}

void removeStaleSaveFiles()
{
    const std::string history = getHistoryLocation();
    if (!history.empty())
        removeStaleTemporaries(QFile::decodeName(history.c_str()));
    removeStaleTemporaries(PreferencesFilePath(kCFPreferencesCurrentApplication));
}

ReadResult loadHistory()
{
    const std::string path = getHistoryLocation();
    ReadResult result = ReadResult::success(path);
    keepUnreadHistory = false;
    if (FILE* file = path.empty() ? nullptr : openForReading(path.c_str())) {
        history = readHistoryLines(file, path);
        if (ferror(file))
            result = ReadResult::failure(path, errno);
        fclose(file);
        updateHistoryBrowser();
    } else if (!path.empty() && errno != ENOENT) { // no file yet: a first run
        result = ReadResult::failure(path, errno);
    }
    keepUnreadHistory = !result.ok();
    if (history.empty()) {
        // A first run starts with 歡迎 (welcome), when the dictionary has it.
        const UniChar welcome[] = {0x6B61, 0x8FCE};
        findCharacter(welcome, 2);
    }
    return result;
}

void addCFSTRtoFile(WriteStream* stream, const QString& text)
{
    // The external representation: a byte-order mark, then big-endian units.
    std::vector<UInt8> bytes;
    bytes.reserve(std::size_t(text.size() + 1) * 2);
    bytes.push_back(0xFE);
    bytes.push_back(0xFF);
    for (QChar c : text) {
        bytes.push_back(UInt8(c.unicode() >> 8));
        bytes.push_back(UInt8(c.unicode() & 0xFF));
    }
    CFWriteStreamWrite(stream, bytes.data(), CFIndex(bytes.size()));
}

QUrl getSaveLocation(const QString& fileName, const QString& message, WindowRef parent)
{
    NavDialogCreationOptions options;
    NavGetDefaultDialogCreationOptions(&options);
    options.version = kNavDialogCreationOptionsVersion;
    options.optionFlags = kNavSupportPackages;
    options.location = Point{-1, -1};
    options.clientName = QStringLiteral("Tavi");
    options.windowTitle = QStringLiteral("Tavi");
    options.actionButtonLabel = QString();
    options.cancelButtonLabel = QString();
    options.saveFileName = fileName;
    options.message = message;
    options.preferenceKey = 0;
    options.popupExtension = nullptr;
    options.modality = kWindowModalityWindowModal;
    options.parentWindow = parent;

    NavDialogRef dialog = nullptr;
    if (NavCreatePutFileDialog(&options, 0, 0, nullptr, nullptr, &dialog) != noErr)
        return QUrl();
    NavDialogRun(dialog);
    if (NavDialogGetUserAction(dialog) != kNavUserActionSaveAs) {
        NavDialogDispose(dialog);
        return QUrl();
    }
    NavReplyRecord reply;
    if (NavDialogGetReply(dialog, &reply) != noErr || !reply.validRecord ||
        reply.selection.empty()) {
        NavDisposeReply(&reply);
        NavDialogDispose(dialog);
        return QUrl();
    }
    const QUrl folder =
        CFURLCreateWithFileSystemPath(nullptr, reply.selection.front(), kCFURLPOSIXPathStyle, true);
    QUrl file;
    if (!folder.isEmpty())
        file = CFURLCreateCopyAppendingPathComponent(nullptr, folder, reply.saveFileName, false);
    NavDisposeReply(&reply);
    NavDialogDispose(dialog);
    if (file.isEmpty())
        return QUrl();
    qCDebug(taviTrace, "Got file: (%s)", file.toEncoded().constData());
    return file;
}

QUrl getHistorySaveLocation()
{
    return getSaveLocation(QStringLiteral("Tavi lookup history.txt"),
                           QStringLiteral("Select location to save history file:"),
                           FindMyWindow(kHistoryWindowTag, true));
}

void writeOutHistory()
{
    if (WindowRef drawer = FindMyWindow(kHistoryWindowTag, true))
        ToggleDrawer(drawer);
    const QUrl url = getHistorySaveLocation();
    if (url.isEmpty())
        return;
    const FloatingFields fields = chooseFloatingFields();

    CFWriteStreamRef stream = CFWriteStreamCreateWithFile(nullptr, url);
    CFWriteStreamOpen(stream);
    while (CFWriteStreamGetStatus(stream) == kCFStreamStatusOpening &&
           !CFWriteStreamCanAcceptBytes(stream))
        qCDebug(taviTrace, "Write stream status is %d", int(CFWriteStreamGetStatus(stream)));
    if (CFWriteStreamGetStatus(stream) != kCFStreamStatusOpen) {
        alertExportFailure("Unable to open file for writing", url.toLocalFile(),
                           CFWriteStreamCopyError(stream));
        CFRelease(stream);
        return;
    }

    const QString tab = QStringLiteral("\t");
    const QString newline = QStringLiteral("\n");
    for (auto it = history.rbegin(); it != history.rend(); ++it) {
        if (isKnownWordRef(*it)) {
            const words::Word w = wordOfWordRef(*it);
            for (const QString& piece :
                 {wordRefForm(*it), tab, wordReading(w), tab, wordSenses(w), newline})
                addCFSTRtoFile(stream, piece);
            continue;
        }
        if (*it >= dict.entries.size())
            continue;
        const characterEntry* e = dict.entries[*it];
        const dictValue* character = fields.character >= 0 ? e->lookup(fields.character) : nullptr;
        addCFSTRtoFile(stream, character ? character->display() : e->display);
        addCFSTRtoFile(stream, tab);
        if (const dictValue* v =
                fields.romanization >= 0 ? e->lookup(fields.romanization) : nullptr)
            addCFSTRtoFile(stream, v->display());
        addCFSTRtoFile(stream, tab);
        if (const dictValue* v = fields.definition >= 0 ? e->lookup(fields.definition) : nullptr)
            addCFSTRtoFile(stream, v->display());
        addCFSTRtoFile(stream, newline);
    }
    CFWriteStreamClose(stream);
    // A full disk or a lost folder must not pass for a finished export.
    if (CFWriteStreamGetStatus(stream) == kCFStreamStatusError)
        alertExportFailure("Unable to write the history file", url.toLocalFile(),
                           CFWriteStreamCopyError(stream));
    CFRelease(stream);
}

namespace {

// A text as one flashcard column: tabs and line breaks would split it.
void appendColumn(std::string& line, QString text)
{
    for (QChar& c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    line += text.toStdString();
}

void appendColumn(std::string& line, const dictValue* value)
{
    if (value)
        appendColumn(line, value->display());
}

} // namespace

std::string flashcardText()
{
    const FloatingFields chosen = chooseFloatingFields();
    int reading = dict.findField("kMandarin");
    if (reading < 0)
        reading = chosen.romanization;
    int cantonese = dict.findField("kCantonese");
    if (cantonese == reading)
        cantonese = -1;

    std::vector<uint32_t> cards;
    bool anyCantonese = false;
    for (uint32_t index : history) {
        if (isKnownWordRef(index)) {
            cards.push_back(index);
            continue;
        }
        if (index >= dict.entries.size())
            continue;
        const characterEntry* e = dict.entries[index];
        cards.push_back(index);
        anyCantonese = anyCantonese || (cantonese >= 0 && e->lookup(cantonese));
    }
    // Every line has the same columns: importers skip lines that differ.
    std::string text;
    for (uint32_t index : cards) {
        if (isWordRef(index)) {
            // A word: its form, its reading and its senses (no Cantonese).
            const words::Word w = wordOfWordRef(index);
            appendColumn(text, wordRefForm(index));
            text += '\t';
            appendColumn(text, wordReading(w));
            text += '\t';
            appendColumn(text, wordSenses(w));
            text += anyCantonese ? "\t\n" : "\n";
            continue;
        }
        const characterEntry* e = dict.entries[index];
        text += e->display.toStdString();
        text += '\t';
        appendColumn(text, reading >= 0 ? e->lookup(reading) : nullptr);
        text += '\t';
        appendColumn(text, chosen.definition >= 0 ? e->lookup(chosen.definition) : nullptr);
        if (anyCantonese) {
            text += '\t';
            appendColumn(text, e->lookup(cantonese));
        }
        text += '\n';
    }
    return text;
}

void writeOutFlashcards()
{
    const QUrl url =
        getSaveLocation(QStringLiteral("Tavi flashcards.txt"),
                        QStringLiteral("Select location to save the flashcards:"), FrontWindow());
    if (url.isEmpty())
        return;
    const std::string path = QFile::encodeName(url.toLocalFile()).toStdString();
    const QString why = replaceFileContents(path, flashcardText());
    if (!why.isEmpty())
        alertExportFailure("Unable to write the flashcard file", url.toLocalFile(), why);
}
