#include "app/speech.h"

#include "app/windowlookup.h"
#include "store/dictionary.h"

#include "app/speechprotocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QMetaObject>

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using namespace speech_protocol;

// A failure of the helper itself (it could not be started, or it ended).
constexpr OSStatus kHelperFailed = -1;

struct SpeechRequest {
    QByteArray voice;
    QByteArray text;
    bool toMemory = false;
    std::promise<SpeechAudio> result; // for a synthesis into memory
};

// Set when an alert about speech is waiting or shown: the failures of
// requests made meanwhile add no second one.
std::atomic<bool> alertPending{false};

void alertOnMainThread(const QString& problem)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || alertPending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        app,
        [problem] {
            minorError("Could not speak the reading", problem.toUtf8().constData(), 0);
            alertPending = false;
        },
        Qt::QueuedConnection);
}

QString& helperPathOverride()
{
    static QString path;
    return path;
}

// The installed helper (<prefix>/libexec/tavi), else the one beside the
// program, as in the build tree.
QString defaultHelperPath()
{
    const QString bin = QCoreApplication::applicationDirPath();
    const QString installed =
        QDir::cleanPath(bin + QStringLiteral("/" TAVI_SPEECH_FOLDER_FROM_BIN "/tavi-speech"));
    if (QFileInfo(installed).isExecutable())
        return installed;
    return bin + QStringLiteral("/tavi-speech");
}

bool sendAll(int fd, const void* data, size_t size)
{
    // A helper that has died must not end Tavi with SIGPIPE.
    return transferAll(static_cast<const char*>(data), size,
                       [fd](const char* p, size_t n) { return send(fd, p, n, MSG_NOSIGNAL); });
}

bool receiveAll(int fd, void* data, size_t size)
{
    return transferAll(static_cast<char*>(data), size,
                       [fd](char* p, size_t n) { return recv(fd, p, n, 0); });
}

// The speech thread and its requests. Synthesis into memory is queued; of
// the requests to play, only the newest waits. The thread hands each request
// to the helper process and waits for its answer; the helper is started at
// the first request and again after it has failed.
class SpeechThread {
public:
    static SpeechThread& instance()
    {
        static SpeechThread* thread = new SpeechThread; // outlives every caller
        return *thread;
    }

    std::future<SpeechAudio> submit(std::unique_ptr<SpeechRequest> request)
    {
        std::future<SpeechAudio> result = request->result.get_future();
        std::lock_guard lock(mutex);
        if (helperPath.isEmpty())
            helperPath =
                !helperPathOverride().isEmpty() ? helperPathOverride() : defaultHelperPath();
        if (request->toMemory)
            queued.push_back(std::move(request));
        else
            toPlay = std::move(request);
        if (!worker.joinable()) {
            stopping = false;
            finished = false;
            worker = std::thread([this] { run(); });
        }
        wake.notify_one();
        return result;
    }

    void stop()
    {
        std::unique_lock lock(mutex);
        if (!worker.joinable())
            return;
        stopping = true;
        toPlay.reset();
        wake.notify_one();
        // A reading being played ends soon; a sound output that hangs must
        // not hold up quitting: the helper is ended then.
        if (!done.wait_for(lock, std::chrono::seconds(2), [this] { return finished; })) {
            if (helperPid > 0)
                kill(helperPid, SIGKILL);
            done.wait(lock, [this] { return finished; });
        }
        lock.unlock();
        worker.join();
    }

private:
    void run()
    {
        for (;;) {
            std::unique_ptr<SpeechRequest> request;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stopping || !queued.empty() || toPlay; });
                if (stopping)
                    break;
                if (!queued.empty()) {
                    request = std::move(queued.front());
                    queued.pop_front();
                } else {
                    request = std::move(toPlay);
                }
            }
            SpeechAudio audio = askHelper(*request);
            if (audio.status != noErr) {
                std::fprintf(stderr, "Speech failed: %#x\n", unsigned(audio.status));
            }
            if (request->toMemory) {
                request->result.set_value(std::move(audio));
            } else if (audio.status != noErr) {
                std::lock_guard lock(mutex);
                if (!stopping) // a reading cut short by quitting is no failure
                    alertOnMainThread(audio.problem);
            }
        }

        endHelper();
        std::lock_guard lock(mutex);
        for (auto& request : queued)
            request->result.set_value(SpeechAudio{kHelperFailed, QString(), {}, 0});
        queued.clear();
        finished = true;
        done.notify_all();
    }

    bool startHelper()
    {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            return false;
        const QByteArray program = QFile::encodeName(helperPath);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        char* const argv[] = {const_cast<char*>(program.constData()), nullptr};
        pid_t pid = 0;
        const int spawned =
            posix_spawn(&pid, program.constData(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        if (spawned != 0) {
            close(ends[0]);
            return false;
        }
        std::lock_guard lock(mutex);
        helperPid = pid;
        helperSocket = ends[0];
        return true;
    }

    // Closes the connection and waits for the helper, which then ends; one
    // that does not within a moment is ended. Returns how it ended.
    int endHelper()
    {
        pid_t pid;
        {
            std::lock_guard lock(mutex);
            pid = helperPid;
        }
        if (pid <= 0)
            return 0;
        close(helperSocket);
        helperSocket = -1;
        // Reaped under the lock, so that stop() never signals a process
        // that has taken over a number no longer ours.
        int status = 0;
        for (int tries = 0;; ++tries) {
            {
                std::lock_guard lock(mutex);
                if (waitpid(pid, &status, WNOHANG) != 0) {
                    helperPid = 0;
                    return status;
                }
                if (tries == 100)
                    kill(pid, SIGKILL);
            }
            usleep(20000);
        }
    }

    SpeechAudio helperFailed(const QString& problem)
    {
        SpeechAudio audio;
        audio.status = kHelperFailed;
        audio.problem = problem;
        return audio;
    }

    SpeechAudio askHelper(const SpeechRequest& request)
    {
        if (helperPid <= 0 && !startHelper())
            return helperFailed(
                QStringLiteral("The speech helper %1 could not be started.").arg(helperPath));
        const uint8_t kind = request.toMemory ? kSynthesize : kPlay;
        const auto voiceLength = uint32_t(std::min<qsizetype>(request.voice.size(), kVoiceMax));
        const auto textLength = uint32_t(std::min<qsizetype>(request.text.size(), kTextMax));
        int32_t status = 0;
        int32_t rate = 0;
        uint32_t problemLength = 0;
        uint32_t count = 0;
        QByteArray problem;
        SpeechAudio audio;
        bool answered = sendAll(helperSocket, &kind, sizeof kind) &&
                        sendAll(helperSocket, &voiceLength, sizeof voiceLength) &&
                        sendAll(helperSocket, request.voice.constData(), voiceLength) &&
                        sendAll(helperSocket, &textLength, sizeof textLength) &&
                        sendAll(helperSocket, request.text.constData(), textLength) &&
                        receiveAll(helperSocket, &status, sizeof status) &&
                        receiveAll(helperSocket, &rate, sizeof rate) &&
                        receiveAll(helperSocket, &problemLength, sizeof problemLength) &&
                        problemLength <= kProblemMax;
        if (answered) {
            problem.resize(problemLength);
            answered = receiveAll(helperSocket, problem.data(), problemLength) &&
                       receiveAll(helperSocket, &count, sizeof count) && count <= kSamplesMax;
        }
        if (answered) {
            audio.samples.resize(count);
            answered = receiveAll(helperSocket, audio.samples.data(), count * sizeof(int16_t));
        }
        if (!answered) {
            // The helper crashed or was ended: the next request starts a new one.
            const int how = endHelper();
            if (WIFSIGNALED(how))
                std::fprintf(stderr, "The speech helper ended by signal %d\n", WTERMSIG(how));
            return helperFailed(
                QStringLiteral("The speech synthesiser stopped unexpectedly. The speech data "
                               "of espeak-ng-data may be damaged; reinstalling it can help."));
        }
        audio.status = OSStatus(status);
        audio.sampleRate = rate;
        audio.problem = QString::fromUtf8(problem);
        if (audio.status != noErr)
            audio.samples.clear();
        if (audio.status != noErr)
            audio.samples.clear();
        return audio;
    }

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    std::deque<std::unique_ptr<SpeechRequest>> queued;
    std::unique_ptr<SpeechRequest> toPlay;
    std::thread worker;
    bool stopping = false;
    bool finished = false;
    QString helperPath;
    pid_t helperPid = 0;   // guarded by mutex; 0 when no helper runs
    int helperSocket = -1; // used by the worker only
};

} // namespace

const char* speechVoiceName(SpeechVoice voice)
{
    return voice == SpeechVoice::Cantonese ? "yue-Latn-jyutping" : "cmn-Latn-pinyin";
}

QByteArray speechText(const QByteArray& reading)
{
    QByteArray text = reading;
    text.replace("u:", "v").replace("U:", "V");
    QList<QByteArray> readings = text.simplified().split(' ');
    readings.removeAll(QByteArray());
    return readings.join(", ");
}

SpeechAudio synthesizeSpeech(const QByteArray& voiceName, const QByteArray& text)
{
    auto request = std::make_unique<SpeechRequest>();
    request->voice = voiceName;
    request->text = text;
    request->toMemory = true;
    return SpeechThread::instance().submit(std::move(request)).get();
}

void speakText(const QByteArray& voiceName, const QByteArray& text)
{
    auto request = std::make_unique<SpeechRequest>();
    request->voice = voiceName;
    request->text = text;
    std::future<SpeechAudio> unused = SpeechThread::instance().submit(std::move(request));
}

void speakReading(const characterEntry* entry, SpeechVoice voice)
{
    if (!entry) {
        minorError("Nothing to speak", "Choose a character first.", 0);
        return;
    }
    const bool cantonese = voice == SpeechVoice::Cantonese;
    const int field = dict.findField(cantonese ? "kCantonese" : "kMandarin");
    const dictValue* reading = field >= 0 ? entry->lookup(field) : nullptr;
    const QByteArray text = reading ? speechText(reading->text()) : QByteArray();
    if (text.isEmpty()) {
        minorError("Nothing to speak",
                   cantonese ? "This entry has no Cantonese reading."
                             : "This entry has no Mandarin reading.",
                   0);
        return;
    }
    speakText(speechVoiceName(voice), text);
}

void stopSpeech()
{
    SpeechThread::instance().stop();
}

void setSpeechHelperPath(const QString& path)
{
    helperPathOverride() = path;
}
