#pragma once
// The failures the MP3 and WMA encode jobs share, with their messages. Each
// job's own codes continue after these.
#include "util/Job.h"

#include <QString>

namespace sv {

namespace EncoderCode {
constexpr int Missing = JobCode::FirstOwn;        // detail: the encoder's path
constexpr int Failed = JobCode::FirstOwn + 1;     // detail: its output, or why it did not start
constexpr int NotCreated = JobCode::FirstOwn + 2; // detail: the command line, for display
constexpr int FirstJobOwn = JobCode::FirstOwn + 3;
} // namespace EncoderCode

// The message for a shared failure ("" for any other code). format names the
// output ("MP3"), program the encoder the failure is laid to ("lame").
QString EncoderFailureText(const JobResult& r, const QString& format, const QString& program);

// The message for a failed move of the finished files into the save folder.
QString MoveFailureText(const QString& why);

} // namespace sv
