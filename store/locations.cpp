#include "store/locations.h"

#include "store/dictionary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

// Writes one line per modified value; returns the values written.
void writeModifiedValues(dictionary* d, FILE* file, std::vector<dictValue*>& written)
{
    std::vector<char> line;
    d->iterReset();
    while (!d->iterDone()) {
        characterEntry* e = d->iterNext();
        for (dictValue* v : e->values) {
            if (v->modified == 0)
                continue;
            line.clear();
            line.push_back('U');
            for (uint32_t c : e->codes) {
                char hex[16];
                const int n = snprintf(hex, sizeof hex, "+%lX", static_cast<unsigned long>(c));
                line.insert(line.end(), hex, hex + n);
            }
            line.push_back('\t');
            if (v->field >= 0 && size_t(v->field) < d->fields.size()) {
                const QByteArray& name = d->fields[size_t(v->field)]->name;
                line.insert(line.end(), name.constData(), name.constData() + name.size());
            }
            line.push_back('\t');
            // The line format has no escapes: characters that would end the
            // value or the line early are written as spaces.
            for (char c : v->text)
                line.push_back(c == '\t' || c == '\r' || c == '\n' || c == '\0' ? ' ' : c);
            line.push_back('\n');
            fwrite(line.data(), 1, line.size(), file);
            written.push_back(v);
        }
    }
}

} // namespace

std::string bundleResourcesPath()
{
    const std::string folder = executableFolder();
    if (folder.empty())
        return std::string();
    const QString path = QDir::cleanPath(QFile::decodeName(folder.c_str()) + QStringLiteral("/../share/tavi"));
    return QFile::encodeName(path).toStdString();
}

void loadDictionaries(dictionary* d, LoadProgress* progress)
{
    const std::string resources = bundleResourcesPath();
    if (resources.empty()) {
        puts("Error with: GetProcessBundleLocation");
        fflush(stdout);
    } else {
        printf("Got path %s\n", resources.c_str());
        fflush(stdout);
        const std::string mainPath = resources + "/dictionary.txt";
        d->loadIndex(mainPath.c_str());
        d->load(mainPath.c_str(), progress);
    }
    const std::string userPath = getCustomDictLocation();
    if (!userPath.empty())
        d->load(userPath.c_str(), progress);
}

std::string getCustomDictLocation()
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty()) {
        printf("Got FindFolder error: %ld\n", -43L);
        fflush(stdout);
        return std::string();
    }
    const std::string base = QFile::encodeName(dataHome).toStdString();
    if (!QDir().mkpath(dataHome)) {
        printf("Got FindFolder error: %ld\n", static_cast<long>(errno));
        fflush(stdout);
    }
    const std::string folder = base + "/Tavi Dictionaries";
    const std::string path = folder + "/UserDictionary.txt";
    printf("App Support \"%s\"\n", path.c_str());
    fflush(stdout);
    if (mkdir(folder.c_str(), 0777) != 0) {
        const int error = errno;
        struct stat info;
        const bool isFolder = error == EEXIST && stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        if (!isFolder) {
            printf("Got FSCreateDirectoryUnicode error: %ld\n", static_cast<long>(error));
            fflush(stdout);
        }
    }
    return path;
}

void saveCustomDictionary()
{
    saveCustomDictionary(&dict);
}

void saveCustomDictionary(dictionary* d)
{
    const std::string path = getCustomDictLocation();
    if (path.empty())
        return;
    FILE* file = fopen(path.c_str(), "a+e");
    if (file == nullptr) {
        printf("Unable to append to '%s'\n", path.c_str());
        fflush(stdout);
        return; // every edit stays pending for a later save
    }
    std::vector<dictValue*> written;
    writeModifiedValues(d, file, written);
    bool ok = fflush(file) == 0 && ferror(file) == 0;
    if (!written.empty())
        ok = fsync(fileno(file)) == 0 && ok; // on disk before we return
    ok = fclose(file) == 0 && ok;
    if (!ok) {
        printf("Unable to save '%s'\n", path.c_str());
        fflush(stdout);
        return; // the edits stay pending; a later save writes them again
    }
    for (dictValue* v : written)
        v->modified = 0;
}
