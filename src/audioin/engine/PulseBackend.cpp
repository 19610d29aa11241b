// Placeholder until the PulseAudio backend lands.
#include "audioin/engine/Backends.h"
namespace sv::audio {
std::unique_ptr<AudioEngine> CreatePulseEngine() { return nullptr; }
}
