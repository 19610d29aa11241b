// Placeholder until the ALSA backend lands.
#include "audioin/engine/Backends.h"
namespace sv::audio {
std::unique_ptr<AudioEngine> CreateAlsaEngine() { return nullptr; }
}
