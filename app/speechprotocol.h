#pragma once
// What Tavi and its speech helper, tavi-speech, say to each other over one
// stream socket (the helper's standard input and output). The synthesiser
// runs in the helper, so damaged speech data that crashes it does not end
// Tavi. All numbers are in the machine's own byte order: both ends are built
// together and run on one machine.
//
// Request: u8 kind, u32 voice length, the voice name, u32 text length, the
// UTF-8 text. Reply: i32 status (0: spoken or synthesised), i32 sample rate,
// u32 problem length, the problem as UTF-8 (for an alert), u32 sample count,
// the 16-bit samples (only for a synthesis into memory).

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace speech_protocol {

// Moves all `size` bytes at `p` through `step` (a read, write, send or recv
// of at most n bytes), going on after a signal; false once the other end
// has gone or failed.
template <typename Byte, typename Step>
bool transferAll(Byte* p, size_t size, Step step)
{
    while (size > 0) {
        const ssize_t n = step(p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

enum Kind : uint8_t {
    kSynthesize = 1, // into memory: the reply carries the samples
    kPlay = 2,       // to the sound output: the reply comes when it is done
};

constexpr uint32_t kVoiceMax = 256;
constexpr uint32_t kTextMax = 1u << 20;
// Ten minutes of speech at 22 kHz; a longer reply is a damaged one.
constexpr uint32_t kSamplesMax = 22050u * 600u;
constexpr uint32_t kProblemMax = 4096;

} // namespace speech_protocol
