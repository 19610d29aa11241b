// libFuzzer target for the GIF frame cutter: any bytes must give frames or an
// error, with every frame a bounded copy of the input.
#include "widgets/GifFrames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const sv::GifFrames cut = sv::CutGifFrames(bytes);
    if (cut.error.has_value() == !cut.frames.isEmpty())
        std::abort();
    qsizetype total = 0;
    for (const sv::GifFrame& f : cut.frames) {
        if (!f.data.startsWith("GIF") || f.delayMs < 0 || f.delayMs > 655350 || f.left < 0 || f.top < 0)
            std::abort();
        total += f.data.size();
    }
    if (total > sv::kGifMaxFrameBytes)
        std::abort();
    return 0;
}
