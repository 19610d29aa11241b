#pragma once
// Music-like test and demo material: tracks of chords with note envelopes and
// a little tape hiss, separated by silent gaps. Deterministic for a seed.
#include <QList>
#include <QString>

namespace sv::audio {

struct DemoLayout {
    double leadIn = 2.0;               // seconds of hiss before the first track
    QList<double> tracks{50, 62, 44, 56}; // track lengths in seconds
    double gap = 3.0;                  // seconds of hiss between tracks
    double tail = 4.0;                 // seconds of hiss after the last track
    int peak = 30000;                  // loudest sample of the music
    int hiss = 120;                    // peak of the background hiss
    int rate = 44100;
    int channels = 2;
    unsigned seed = 1;
};

// Writes a 16-bit PCM WAV; false when the file cannot be written.
bool WriteDemoSide(const QString& path, const DemoLayout& layout = {});
// Seconds at which each track starts in that layout.
QList<double> DemoTrackStarts(const DemoLayout& layout);

} // namespace sv::audio
