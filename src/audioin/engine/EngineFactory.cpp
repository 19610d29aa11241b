#include "audioin/engine/AudioEngine.h"
#include "audioin/engine/Backends.h"
#include "settings/Settings.h"

namespace sv::audio {

namespace {
EngineFactory g_factory;
}

void SetEngineFactory(EngineFactory factory) { g_factory = std::move(factory); }

std::unique_ptr<AudioEngine> CreateAudioEngine()
{
    if (g_factory)
        return g_factory();
    const QString backend = Settings::audioBackend();
    if (backend == QLatin1String("virtual"))
        return CreateVirtualEngine();
    if (backend == QLatin1String("alsa"))
        return CreateAlsaEngine();
    if (auto e = CreatePulseEngine())
        return e;
    if (backend == QLatin1String("pulse"))
        return nullptr;
    // "auto" (or anything unknown): no sound server, so talk to the cards directly.
    return CreateAlsaEngine();
}

} // namespace sv::audio
