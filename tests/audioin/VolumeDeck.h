#pragma once
// The virtual decks of the volume tests, read back, and a wait for a fresh level.
#include "audioin/engine/AudioEngine.h"
#include "audioin/engine/VirtualBackend.h"

#include <QElapsedTimer>

#include <chrono>
#include <thread>

namespace svtest {

inline sv::audio::VirtualDeck Deck(QList<sv::audio::VirtualMixer> mixers, bool deviceMode = false)
{
    sv::audio::VirtualDeck deck;
    deck.mixers = std::move(mixers);
    deck.deviceMode = deviceMode;
    deck.speed = 20;
    return deck;
}

// Every line's volume, card after card.
inline QList<int> Volumes(sv::audio::RecordObject* rec)
{
    QList<int> v;
    for (const auto& mixer : sv::audio::DeckOf(rec)->mixers)
        for (const auto& line : mixer.lines)
            v << line.volume;
    return v;
}

// Waits until the deck has delivered two fresh blocks, so the next level read
// is that of the current line at its current volume.
inline void AwaitFreshLevel(sv::audio::RecordObject* rec)
{
    const qint64 start = rec->FramesWritten();
    QElapsedTimer t;
    t.start();
    while (rec->IsCapturing() && rec->FramesWritten() < start + 2 * 2205 && t.elapsed() < 3000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace svtest
