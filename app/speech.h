#pragma once
// Speaking an entry's reading with espeak-ng. The synthesiser runs in a
// helper process, tavi-speech (in <prefix>/libexec/tavi once installed),
// started at the first request and again after a failure, so that one that
// crashes (on damaged speech data, say) costs an alert and not the program. One speech thread
// talks to it, so speaking never blocks the event loop.

#include "platform/types.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

class characterEntry;

enum class SpeechVoice { Mandarin, Cantonese };

// The voices that read pinyin and Jyutping with tone numbers, so that the
// stored reading is spoken rather than the voice's guess at the character.
const char* speechVoiceName(SpeechVoice voice);

// The text a voice is given for a stored reading: the voice reads "u:" as
// letters, so it becomes "v"; several readings are spoken one after another.
QByteArray speechText(const QByteArray& reading);

struct SpeechAudio {
    OSStatus status = noErr; // the library's status, -1 for a failed helper; noErr when synthesised
    QString problem;         // what went wrong, for an alert
    std::vector<int16_t> samples;
    int sampleRate = 0;
};

// Synthesises the text into memory on the speech thread and waits for it.
SpeechAudio synthesizeSpeech(const QByteArray& voiceName, const QByteArray& text);

// Plays the text on the speech thread and returns at once. A failure (no
// such voice, no sound output) shows one alert on the main thread. A request
// waiting behind the one being spoken is replaced by the newer one.
void speakText(const QByteArray& voiceName, const QByteArray& text);

// Speaks the entry's reading of that language; alerts when it has none.
void speakReading(const characterEntry* entry, SpeechVoice voice);

// Ends the speech thread and the helper, waiting a moment at most for a
// reading being spoken. A later request starts them again.
void stopSpeech();

// For tests, whose programs are not beside the helper: the helper to start
// (empty: the installed helper, else tavi-speech beside the program). Set
// before the first request.
void setSpeechHelperPath(const QString& path);
