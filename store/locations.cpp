#include "store/locations.h"

#include "store/dictionary.h"
#include "store/image.h"
#include "store/progress.h"
#include "store/trace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string executableFolder()
{
    if (QCoreApplication::instance() != nullptr)
        return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return std::string();
        if (size_t(n) < buffer.size()) {
            std::string exe(buffer.data(), size_t(n));
            const size_t slash = exe.rfind('/');
            return slash == std::string::npos ? std::string() : exe.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The lines of every modified value, and the values they hold.
void collectModifiedValues(dictionary* d, std::string& text, std::vector<dictValue*>& written)
{
    d->iterReset();
    while (!d->iterDone()) {
        characterEntry* e = d->iterNext();
        for (dictValue* v : e->values) {
            if (v->modified == 0)
                continue;
            text.push_back('U');
            for (uint32_t c : e->codes) {
                char hex[16];
                const int n = snprintf(hex, sizeof hex, "+%lX", static_cast<unsigned long>(c));
                text.append(hex, size_t(n));
            }
            text.push_back('\t');
            if (v->field >= 0 && size_t(v->field) < d->fields.size()) {
                const QByteArray& name = d->fields[size_t(v->field)]->name;
                text.append(name.constData(), size_t(name.size()));
            }
            text.push_back('\t');
            // The line format has no escapes: characters that would end the
            // value or the line early are written as spaces.
            for (char c : v->text())
                text.push_back(c == '\t' || c == '\r' || c == '\n' || c == '\0' ? ' ' : c);
            text.push_back('\n');
            written.push_back(v);
        }
    }
}

bool writeAll(int fd, const std::string& text)
{
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// Reads the compact form of the shipped text that the build makes beside
// it, when it is there and was made of this text. False leaves the store as
// it was, for the text to be read.
bool loadShippedImage(dictionary* d, const std::string& resources, const std::string& textPath,
                      LoadProgress* progress)
{
    const std::string imagePath = resources + "/dictionary.dat";
    struct stat image;
    if (stat(imagePath.c_str(), &image) != 0) {
        qCDebug(taviTrace, "No dictionary image '%s'", imagePath.c_str());
        return false;
    }
    TextStamp text;
    if (!stampOfText(textPath.c_str(), &text))
        return false; // reading the text says what is wrong with it
    QString why;
    if (d->loadImage(QFile::decodeName(imagePath.c_str()), text, &why)) {
        qCDebug(taviTrace, "Loaded '%s'", imagePath.c_str());
        if (progress != nullptr) {
            progress->setProgressMaximum(1000);
            progress->setProgressValue(1000);
        }
        return true;
    }
    fprintf(stderr, "Tavi: the dictionary image %s could not be used (%s); reading %s instead.\n",
            imagePath.c_str(), qUtf8Printable(why), textPath.c_str());
    return false;
}

bool hasModifiedValues(dictionary* d)
{
    std::string text;
    std::vector<dictValue*> written;
    collectModifiedValues(d, text, written);
    return !written.empty();
}

} // namespace

std::string bundleResourcesPath()
{
    const std::string folder = executableFolder();
    if (folder.empty())
        return std::string();
    const QString path =
        QDir::cleanPath(QFile::decodeName(folder.c_str()) + QStringLiteral("/../share/tavi"));
    return QFile::encodeName(path).toStdString();
}

DictionaryLoadReport loadDictionaries(dictionary* d, LoadProgress* progress)
{
    return loadDictionaries(d, progress, bundleResourcesPath());
}

DictionaryLoadReport loadDictionaries(dictionary* d, LoadProgress* progress,
                                      const std::string& resources)
{
    DictionaryLoadReport report;
    if (resources.empty()) {
        fputs("Cannot find the folder of the program: no shipped dictionary\n", stderr);
        report.index = report.shipped = ReadResult::failure("dictionary.txt", ENOENT);
        report.shipped.reason = report.index.reason =
            QStringLiteral("the folder of the installed program is unknown");
    } else {
        qCDebug(taviTrace, "Got path %s", resources.c_str());
        const std::string mainPath = resources + "/dictionary.txt";
        const size_t fieldsBefore = d->fields.size();
        const uint32_t entriesBefore = d->count;
        report.index = d->loadIndex(mainPath.c_str());
        if (report.index.ok() && loadShippedImage(d, resources, mainPath, progress))
            report.shipped = ReadResult::success(mainPath);
        else
            report.shipped = d->load(mainPath.c_str(), progress);
        // An empty file is as damaged as a missing one.
        if (report.index.ok() && d->fields.size() == fieldsBefore) {
            report.index.error = ENODATA;
            report.index.reason = QStringLiteral("the file names no field");
        }
        if (report.shipped.ok() && d->count == entriesBefore) {
            report.shipped.error = ENODATA;
            report.shipped.reason = QStringLiteral("the file holds no entry");
        }
    }
    const std::string userPath = getCustomDictLocation();
    struct stat info;
    // Until the first edit is saved there is no user dictionary: not a fault.
    if (!userPath.empty() && stat(userPath.c_str(), &info) != 0 && errno == ENOENT)
        qCDebug(taviTrace, "No user dictionary '%s' yet", userPath.c_str());
    else if (!userPath.empty())
        report.user = d->load(userPath.c_str(), progress);
    return report;
}

std::string getCustomDictLocation()
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty()) {
        fprintf(stderr, "Got FindFolder error: %ld\n", -43L);
        return std::string();
    }
    const std::string base = QFile::encodeName(dataHome).toStdString();
    if (!QDir().mkpath(dataHome)) {
        fprintf(stderr, "Got FindFolder error: %ld\n", static_cast<long>(errno));
    }
    const std::string folder = base + "/Tavi Dictionaries";
    const std::string path = folder + "/UserDictionary.txt";
    qCDebug(taviTrace, "App Support \"%s\"", path.c_str());
    if (mkdir(folder.c_str(), 0777) != 0) {
        const int error = errno;
        struct stat info;
        const bool isFolder =
            error == EEXIST && stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        if (!isFolder) {
            fprintf(stderr, "Got FSCreateDirectoryUnicode error: %ld\n", static_cast<long>(error));
        }
    }
    return path;
}

bool saveCustomDictionary()
{
    return saveCustomDictionary(&dict);
}

bool saveCustomDictionary(dictionary* d, std::string* why)
{
    const std::string path = getCustomDictLocation();
    if (path.empty()) {
        if (!hasModifiedValues(d))
            return true;
        if (why)
            *why = "there is no folder for the user dictionary";
        return false;
    }
    const int fd = open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        if (!hasModifiedValues(d))
            return true;
        fprintf(stderr, "Unable to append to '%s'\n", path.c_str());
        if (why)
            *why = strerror(error);
        return false; // every edit stays pending for a later save
    }
    std::string text;
    std::vector<dictValue*> written;
    collectModifiedValues(d, text, written);
    bool ok = true;
    int error = 0;
    if (!written.empty()) {
        struct stat info;
        // Only a regular file can be cut back (not, say, a device).
        const off_t start = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : -1;
        // A file that does not end in a newline (a save cut short by a crash,
        // an edit by hand) gets one first, so that the new lines start on
        // lines of their own.
        char last = '\n';
        if (start > 0 && pread(fd, &last, 1, start - 1) == 1 && last != '\n')
            text.insert(text.begin(), '\n');
        ok = writeAll(fd, text) && fsync(fd) == 0; // on disk before we return
        error = ok ? 0 : errno;
        // A full disk can leave half a line behind, which would run into the
        // first line of the next save: the file goes back to what it was.
        if (!ok && start >= 0 && ftruncate(fd, start) != 0) {
            fprintf(stderr, "Unable to undo a partial save of '%s'\n", path.c_str());
        }
    }
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        fprintf(stderr, "Unable to save '%s'\n", path.c_str());
        if (why)
            *why = error != 0 ? strerror(error) : "the disk took no more";
        return false; // the edits stay pending; a later save writes them again
    }
    for (dictValue* v : written)
        v->modified = 0;
    return true;
}
