#pragma once
// Reading the format of a WAV file for playback, shared by the pulse and alsa
// play objects.
#include <QString>

class QFile;

#include <cstdint>

namespace sv::audio {

struct PlayWavInfo {
    int channels = 0;
    int rate = 0;
    int bits = 0;           // 8, 16, 24 or 32
    bool isFloat = false;   // 32-bit IEEE float
    int blockAlign = 0;     // bytes per frame
    std::int64_t dataOffset = 0;
    std::int64_t dataBytes = 0; // whole frames only, never past the end of the file

    std::int64_t frames() const { return blockAlign > 0 ? dataBytes / blockAlign : 0; }
    double seconds() const { return rate > 0 ? double(frames()) / rate : 0.0; }
};

// Walks the RIFF chunks for "fmt " and "data". A data size that claims more
// than the file holds (a recording cut short, a streamed header) is trimmed
// to what is there. False with a reason when the file cannot be played.
bool ReadPlayWavInfo(const QString& path, PlayWavInfo* info, QString* error);

// Reads the format and opens the file for a play object; throws AudioError
// (53 missing, 321 unplayable format, 75 unreadable).
void OpenPlayWav(const QString& path, PlayWavInfo& info, QFile& file);

} // namespace sv::audio
