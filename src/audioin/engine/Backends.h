#pragma once
// Constructors of the concrete engines; CreateAudioEngine picks one.
#include "audioin/engine/AudioEngine.h"

namespace sv::audio {

// nullptr when no PulseAudio (or PipeWire-Pulse) server answers.
std::unique_ptr<AudioEngine> CreatePulseEngine();
// Always an engine; its record object lists no mixer when ALSA has no capture card.
std::unique_ptr<AudioEngine> CreateAlsaEngine();
// The scripted deck: the demo deck, or the deck file named by the setting
// VirtualDeck (section Advanced\Audio) when there is one.
std::unique_ptr<AudioEngine> CreateVirtualEngine();

} // namespace sv::audio
