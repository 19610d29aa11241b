#pragma once
// A scripted deck: mixers and lines whose signal is a WAV file, silence or
// noise. Volume scales the signal (gain = volume / 100); the speed factor
// makes the deck deliver audio faster than real time, so tests can record
// minutes in seconds. Playback is simulated (no sound), with the same clock.
#include "audioin/engine/AudioEngine.h"

#include <QList>
#include <QString>

namespace sv::audio {

struct VirtualSignal {
    enum Kind { Silence, Noise, Wav };
    Kind kind = Silence;
    int level = 0;   // Noise: peak amplitude at full volume (0..32767)
    QString wavPath; // Wav: 16-bit PCM file, played from its start at each capture, then silence
    static VirtualSignal silence() { return {}; }
    static VirtualSignal noise(int level) { return {Noise, level, {}}; }
    static VirtualSignal wav(const QString& path) { return {Wav, 0, path}; }
};

struct VirtualLine {
    QString name;
    VirtualSignal signal;
    int volume = 50;
};

struct VirtualMixer {
    QString name;
    QList<VirtualLine> lines; // in device mode the first line is the device's signal
};

struct VirtualDeck {
    QList<VirtualMixer> mixers;
    bool deviceMode = false;
    double speed = 1.0; // setting VirtualSpeed (Advanced\Audio) when built from settings

    // "Demo Deck" with "Line In" (the demo side beside the program, demo-side.wav),
    // "Microphone" (quiet noise) and "CD Audio" (silence).
    static VirtualDeck Demo();
};

std::unique_ptr<AudioEngine> CreateVirtualEngine(const VirtualDeck& deck);

// Test access to the deck an engine plays (volumes, signals may be changed live).
VirtualDeck* DeckOf(RecordObject* record);

} // namespace sv::audio
