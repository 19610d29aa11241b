// libFuzzer target for the WAV header reader: any bytes give a header or a
// refusal, and an accepted header never points past the bytes there are.
#include "tracks/modWaveSplit.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto n = std::int64_t(size);
    const sv::WaveReadAt at = [&](std::int64_t off, char* buf, std::int64_t len) -> std::int64_t {
        if (off < 0 || len < 0 || off > n || len > n - off)
            std::abort(); // the reader asked for bytes outside the file
        memcpy(buf, data + off, size_t(len));
        return len;
    };
    sv::WaveHeader h;
    if (sv::ParseWaveHeader(at, n, h) != sv::WaveStatus::Ok)
        return 0;
    if (h.BlockAlign <= 0 || h.SampleRate <= 0 || (h.Channels != 1 && h.Channels != 2)
        || (h.BitsPerSample != 8 && h.BitsPerSample != 16) || h.DataStart < 1 || h.Frames < 0
        || h.DataStart - 1 + h.Frames * h.BlockAlign > n)
        std::abort();
    return 0;
}
