// tavi-speech: Tavi's speech helper. Reads requests on standard input and
// answers each on standard output (app/speechprotocol.h) until the input
// ends. The synthesiser is set up once, at the first request.

#include "app/speechprotocol.h"

#include <espeak-ng/espeak_ng.h>

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace speech_protocol;

namespace {

bool readExactly(void* data, size_t size)
{
    return transferAll(static_cast<char*>(data), size,
                       [](char* p, size_t n) { return read(STDIN_FILENO, p, n); });
}

bool writeExactly(const void* data, size_t size)
{
    return transferAll(static_cast<const char*>(data), size,
                       [](const char* p, size_t n) { return write(STDOUT_FILENO, p, n); });
}

bool readString(std::string& text, uint32_t max)
{
    uint32_t length = 0;
    if (!readExactly(&length, sizeof length) || length > max)
        return false;
    text.resize(length);
    return readExactly(text.data(), length);
}

int collectSamples(short* wave, int count, espeak_EVENT* events)
{
    if (wave && count > 0 && events && events->user_data) {
        auto* samples = static_cast<std::vector<int16_t>*>(events->user_data);
        samples->insert(samples->end(), wave, wave + count);
    }
    return 0;
}

std::string describe(espeak_ng_STATUS status, const std::string& voice)
{
    switch (status) {
    case ENS_VOICE_NOT_FOUND:
        return "The speech voice \u201C" + voice +
               "\u201D is not installed. It comes with the package espeak-ng-data.";
    case ENS_AUDIO_ERROR:
        return "No sound output is available on this computer.";
    default: {
        char message[256] = {};
        espeak_ng_GetStatusCodeMessage(status, message, sizeof message);
        return std::string("The speech synthesiser failed: ") + message + ".";
    }
    }
}

struct Synthesiser {
    bool started = false;
    espeak_ng_STATUS initialized = ENS_OK;
    int mode = -1;

    espeak_ng_STATUS speak(uint8_t kind, const std::string& voice, const std::string& text,
                           std::vector<int16_t>& samples, int& rate)
    {
        if (!started) {
            started = true;
            espeak_ng_InitializePath(nullptr);
            espeak_ng_ERROR_CONTEXT context = nullptr;
            initialized = espeak_ng_Initialize(&context);
            espeak_ng_ClearErrorContext(&context);
            if (initialized == ENS_OK)
                espeak_SetSynthCallback(collectSamples);
        }
        if (initialized != ENS_OK)
            return initialized;
        // The output is opened again only when the mode changes, so that the
        // sound output stays open between readings.
        const int wanted = kind == kSynthesize
                               ? ENOUTPUT_MODE_SYNCHRONOUS
                               : ENOUTPUT_MODE_SYNCHRONOUS | ENOUTPUT_MODE_SPEAK_AUDIO;
        espeak_ng_STATUS status = ENS_OK;
        if (wanted != mode) {
            status = espeak_ng_InitializeOutput(espeak_ng_OUTPUT_MODE(wanted), 0, nullptr);
            mode = status == ENS_OK ? wanted : -1;
        }
        if (status == ENS_OK)
            status = espeak_ng_SetVoiceByName(voice.c_str());
        if (status == ENS_OK) {
            rate = espeak_ng_GetSampleRate();
            status = espeak_ng_Synthesize(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                                          espeakCHARS_UTF8, nullptr,
                                          kind == kSynthesize ? &samples : nullptr);
        }
        return status;
    }
};

} // namespace

int main()
{
    // Tavi going away mid-reply must end this process quietly.
    signal(SIGPIPE, SIG_IGN);
    Synthesiser synthesiser;
    for (;;) {
        uint8_t kind = 0;
        std::string voice;
        std::string text;
        if (!readExactly(&kind, sizeof kind))
            return 0; // Tavi closed the connection: done
        if ((kind != kSynthesize && kind != kPlay) || !readString(voice, kVoiceMax) ||
            !readString(text, kTextMax)) {
            std::fputs("tavi-speech: a damaged request\n", stderr);
            return 1;
        }
        std::vector<int16_t> samples;
        int32_t rate = 0;
        const espeak_ng_STATUS status = synthesiser.speak(kind, voice, text, samples, rate);
        std::string problem;
        if (status != ENS_OK) {
            samples.clear();
            problem = synthesiser.initialized != ENS_OK
                          ? "The speech data of espeak-ng-data could not be read."
                          : describe(status, voice);
            if (problem.size() > kProblemMax)
                problem.resize(kProblemMax);
        }
        if (samples.size() > kSamplesMax)
            samples.resize(kSamplesMax);
        const auto code = int32_t(status);
        const auto problemLength = uint32_t(problem.size());
        const auto count = uint32_t(samples.size());
        if (!writeExactly(&code, sizeof code) || !writeExactly(&rate, sizeof rate) ||
            !writeExactly(&problemLength, sizeof problemLength) ||
            !writeExactly(problem.data(), problem.size()) || !writeExactly(&count, sizeof count) ||
            !writeExactly(samples.data(), samples.size() * sizeof(int16_t)))
            return 0; // Tavi is gone
    }
}
