#include "windows/history/historyfile.h"

#include "app/globals.h"
#include "app/windowlookup.h"
#include "platform/folders.h"
#include "platform/savedialog.h"
#include "platform/windowgroups.h"
#include "platform/writestream.h"
#include "store/dictionary.h"
#include "windows/floating/floatingwindow.h"
#include "windows/history/history.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Writes data to a new file in the folder of path, puts it on disk and then
// renames it over path, so that path holds either its old contents or the
// new ones, whatever happens on the way. A symbolic link is followed.
bool replaceFileContents(const std::string& path, const std::string& data)
{
    std::string target = path;
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        target = resolved;
        free(resolved);
    }
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : target.substr(0, slash);

    // The new file gets the old one's permissions, or the usual ones.
    mode_t mode;
    struct stat old;
    if (stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }

    std::string temporary = target + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = fchmod(fd, mode) == 0;
    for (std::size_t done = 0; ok && done < data.size();) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            done += std::size_t(n);
    }
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        unlink(temporary.c_str());
        errno = error;
        return false;
    }
    // The rename itself is on disk once the folder is.
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

bool isBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int hexDigit(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads the history file's lines and looks each one up, a line of more than
// kHistoryLookupLimit characters as several look-ups. Memory stays bounded
// whatever the file holds.
void readHistoryLines(FILE* file)
{
    std::vector<uint32_t> codes;
    long skipped = 0;
    int c = getc(file);
    for (;;) {
        while (isBlank(c))
            c = getc(file);
        if (c == EOF)
            break;
        if (c != 'U') {
            ++skipped;
            while (c != '\n' && c != EOF)
                c = getc(file);
            continue;
        }
        codes.clear();
        bool lookedUp = false;
        c = getc(file);
        while (c == '+') {
            c = getc(file);
            while (c == ' ' || c == '\t')
                c = getc(file);
            if (hexDigit(c) < 0)
                break;
            uint64_t value = 0;
            for (int digit; (digit = hexDigit(c)) >= 0; c = getc(file))
                value = std::min<uint64_t>((value << 4) | uint64_t(digit), 0xFFFFFFFFu);
            codes.push_back(uint32_t(value));
            if (codes.size() == kHistoryLookupLimit) {
                findCharacterCodes(codes);
                codes.clear();
                lookedUp = true;
            }
        }
        if (!codes.empty() || !lookedUp)
            findCharacterCodes(codes);
        // The next line may follow at once; anything else ends this one.
        if (c != 'U' && !isBlank(c) && c != EOF) {
            ++skipped;
            while (c != '\n' && c != EOF)
                c = getc(file);
        }
    }
    if (ferror(file))
        printf("Error reading the history file: %s\n", strerror(errno));
    if (skipped > 0)
        printf("Skipped %ld unreadable lines of the history file\n", skipped);
}

} // namespace

std::string getHistoryLocation()
{
    QString folder;
    const OSStatus err = FSFindFolder(kUserDomain, kPreferencesFolderType, kCreateFolder, &folder);
    if (err != noErr) {
        printf("Could not find the preferences folder: %d\n", int(err));
        return std::string();
    }
    return QFile::encodeName(folder).toStdString() + "/TaviDictionaryHistory";
}

void saveHistory()
{
    const std::string path = getHistoryLocation();
    if (path.empty())
        return;
    std::string text;
    char hex[16];
    for (uint32_t index : history) {
        if (index >= dict.entries.size())
            continue;
        text += 'U';
        for (uint32_t code : dict.entries[index]->codes) {
            const int n = snprintf(hex, sizeof hex, "+%lX", static_cast<unsigned long>(code));
            text.append(hex, std::size_t(n));
        }
        text += '\n';
    }
    if (!replaceFileContents(path, text))
        printf("Unable to save the history to '%s': %s\n", path.c_str(), strerror(errno));
}

OSStatus loadHistory()
{
    const std::string path = getHistoryLocation();
    if (FILE* file = path.empty() ? nullptr : fopen(path.c_str(), "re")) {
        readHistoryLines(file);
        fclose(file);
    }
    if (history.empty()) {
        // A first run starts with 歡迎 (welcome), when the dictionary has it.
        const UniChar welcome[] = {0x6B61, 0x8FCE};
        findCharacter(welcome, 2);
    }
    return noErr;
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
    const QUrl folder = CFURLCreateWithFileSystemPath(nullptr, reply.selection.front(),
                                                      kCFURLPOSIXPathStyle, true);
    QUrl file;
    if (!folder.isEmpty())
        file = CFURLCreateCopyAppendingPathComponent(nullptr, folder, reply.saveFileName, false);
    NavDisposeReply(&reply);
    NavDialogDispose(dialog);
    if (file.isEmpty())
        return QUrl();
    printf("Got file: (%s)\n", file.toEncoded().constData());
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
        printf("Write stream status is %d\n", int(CFWriteStreamGetStatus(stream)));
    if (CFWriteStreamGetStatus(stream) != kCFStreamStatusOpen) {
        minorError("Error", "Unable to open file for writing.", 0);
        CFRelease(stream);
        return;
    }

    const QString tab = QStringLiteral("\t");
    const QString newline = QStringLiteral("\n");
    for (auto it = history.rbegin(); it != history.rend(); ++it) {
        if (*it >= dict.entries.size())
            continue;
        const characterEntry* e = dict.entries[*it];
        const dictValue* character = fields.character >= 0 ? e->lookup(fields.character) : nullptr;
        addCFSTRtoFile(stream, character ? character->display : e->display);
        addCFSTRtoFile(stream, tab);
        if (const dictValue* v = fields.romanization >= 0 ? e->lookup(fields.romanization) : nullptr)
            addCFSTRtoFile(stream, v->display);
        addCFSTRtoFile(stream, tab);
        if (const dictValue* v = fields.definition >= 0 ? e->lookup(fields.definition) : nullptr)
            addCFSTRtoFile(stream, v->display);
        addCFSTRtoFile(stream, newline);
    }
    CFWriteStreamClose(stream);
    // A full disk or a lost folder must not pass for a finished export.
    if (CFWriteStreamGetStatus(stream) == kCFStreamStatusError)
        minorError("Error", "Unable to write the history file.", CFWriteStreamGetErrorNumber(stream));
    CFRelease(stream);
}

namespace {

// A value as one flashcard column: tabs and line breaks would split it.
void appendColumn(std::string& line, const dictValue* value)
{
    if (!value)
        return;
    QString text = value->display;
    for (QChar& c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    line += text.toStdString();
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

    std::vector<const characterEntry*> cards;
    bool anyCantonese = false;
    for (uint32_t index : history) {
        if (index >= dict.entries.size())
            continue;
        const characterEntry* e = dict.entries[index];
        cards.push_back(e);
        anyCantonese = anyCantonese || (cantonese >= 0 && e->lookup(cantonese));
    }
    // Every line has the same columns: importers skip lines that differ.
    std::string text;
    for (const characterEntry* e : cards) {
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
    const QUrl url = getSaveLocation(QStringLiteral("Tavi flashcards.txt"),
                                     QStringLiteral("Select location to save the flashcards:"),
                                     FrontWindow());
    if (url.isEmpty())
        return;
    const std::string path = QFile::encodeName(url.toLocalFile()).toStdString();
    if (path.empty() || !replaceFileContents(path, flashcardText()))
        minorError("Error", "Unable to write the flashcard file.", path.empty() ? 0 : errno);
}
