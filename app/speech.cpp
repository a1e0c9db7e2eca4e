#include "app/speech.h"

#include "app/windowlookup.h"
#include "store/dictionary.h"

#include <QCoreApplication>
#include <QList>
#include <QMetaObject>

#include <espeak-ng/espeak_ng.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace {

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

QString describe(espeak_ng_STATUS status, const QByteArray& voice)
{
    switch (status) {
    case ENS_VOICE_NOT_FOUND:
        return QStringLiteral("The speech voice \u201C%1\u201D is not installed. It comes with the "
                              "package espeak-ng-data.")
            .arg(QString::fromUtf8(voice));
    case ENS_AUDIO_ERROR:
        return QStringLiteral("No sound output is available on this computer.");
    default: {
        char message[256] = {};
        espeak_ng_GetStatusCodeMessage(status, message, sizeof message);
        return QStringLiteral("The speech synthesiser failed: %1.").arg(QString::fromUtf8(message));
    }
    }
}

// Collects the samples of a synthesis into memory; the request's sample
// vector is the event's user data (null while playing).
int collectSamples(short* wave, int count, espeak_EVENT* events)
{
    if (wave && count > 0 && events && events->user_data) {
        auto* samples = static_cast<std::vector<int16_t>*>(events->user_data);
        samples->insert(samples->end(), wave, wave + count);
    }
    return 0;
}

// The speech thread and its requests. Synthesis into memory is queued; of
// the requests to play, only the newest waits.
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
        if (abandoned) {
            SpeechAudio audio;
            audio.status = ENS_NOT_INITIALIZED;
            audio.problem = QStringLiteral("The speech synthesiser is still busy.");
            request->result.set_value(std::move(audio));
            return result;
        }
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
        // not hold up quitting.
        if (done.wait_for(lock, std::chrono::seconds(2), [this] { return finished; })) {
            lock.unlock();
            worker.join();
        } else {
            abandoned = true;
            worker.detach();
        }
    }

private:
    void run()
    {
        espeak_ng_InitializePath(nullptr);
        espeak_ng_ERROR_CONTEXT context = nullptr;
        const espeak_ng_STATUS initialized = espeak_ng_Initialize(&context);
        espeak_ng_ClearErrorContext(&context);
        if (initialized == ENS_OK)
            espeak_SetSynthCallback(collectSamples);
        int mode = -1;

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
            SpeechAudio audio;
            if (initialized != ENS_OK) {
                audio.status = initialized;
                audio.problem =
                    QStringLiteral("The speech data of espeak-ng-data could not be read.");
            } else {
                audio = synthesize(*request, mode);
            }
            if (request->toMemory)
                request->result.set_value(std::move(audio));
            else if (audio.status != noErr)
                alertOnMainThread(audio.problem);
        }

        std::lock_guard lock(mutex);
        for (auto& request : queued)
            request->result.set_value(SpeechAudio{OSStatus(ENS_SPEECH_STOPPED), QString(), {}, 0});
        queued.clear();
        if (initialized == ENS_OK)
            espeak_ng_Terminate();
        finished = true;
        done.notify_all();
    }

    static SpeechAudio synthesize(SpeechRequest& request, int& mode)
    {
        SpeechAudio audio;
        // The output is opened again only when the mode changes, so that the
        // sound output stays open between readings.
        const int wanted = request.toMemory ? ENOUTPUT_MODE_SYNCHRONOUS
                                            : ENOUTPUT_MODE_SYNCHRONOUS | ENOUTPUT_MODE_SPEAK_AUDIO;
        espeak_ng_STATUS status = ENS_OK;
        if (wanted != mode) {
            status = espeak_ng_InitializeOutput(espeak_ng_OUTPUT_MODE(wanted), 0, nullptr);
            mode = status == ENS_OK ? wanted : -1;
        }
        if (status == ENS_OK)
            status = espeak_ng_SetVoiceByName(request.voice.constData());
        if (status == ENS_OK) {
            audio.sampleRate = espeak_ng_GetSampleRate();
            status = espeak_ng_Synthesize(
                request.text.constData(), std::size_t(request.text.size()) + 1, 0, POS_CHARACTER, 0,
                espeakCHARS_UTF8, nullptr, request.toMemory ? &audio.samples : nullptr);
        }
        audio.status = OSStatus(status);
        if (status != ENS_OK) {
            audio.problem = describe(status, request.voice);
            audio.samples.clear();
            std::fprintf(stderr, "Speech failed: %#x\n", unsigned(status));
        }
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
    bool abandoned = false; // left running on a hung sound output
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
    const QByteArray text = reading ? speechText(reading->text) : QByteArray();
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
