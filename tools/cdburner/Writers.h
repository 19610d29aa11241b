#pragma once
// The two ways a checked plan leaves the program: a BIN/CUE image, or an
// audio CD written disc-at-once through libburn. Each returns "" on success
// or the reason it failed, for cd_fail.txt.
#include "CdPlan.h"

#include <csignal>
#include <functional>

namespace sv::cd {

// Set from the signal handler when the user cancels (SIGTERM, SIGINT).
extern volatile std::sig_atomic_t CancelRequested;

// Called with 0..100 whenever the percentage grows.
using Percent = std::function<void(int)>;

// Writes FILE.bin (raw little-endian PCM, each track padded with zeros to
// whole sectors) and the CUE sheet at cuePath. Both appear complete or not
// at all; an image already there is replaced only by a complete new one.
QString WriteImage(const CdPlan& plan, const QString& cuePath, const Percent& progress);

// The BIN file that belongs to a CUE sheet path.
QString BinPathFor(const QString& cuePath);

// Writes the audio CD to the first drive holding a blank CD-R or CD-RW.
// speed is a multiple of the CD speed (0 = the drive's best).
QString WriteDisc(const CdPlan& plan, int speed, const Percent& progress);

} // namespace sv::cd
