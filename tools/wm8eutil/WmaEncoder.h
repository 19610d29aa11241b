#pragma once
// Encodes one 16-bit PCM WAV file into WMA (wmav2 in an ASF file).

#include <string>

namespace wm8e {

struct EncodeJob {
    std::string input;
    std::string output;
    int bitRate = 0;     // bits per second
    int sampleRate = 0;  // of the WMA file
    int channels = 0;    // of the WMA file
    // Tags; an empty one is left out of the file.
    std::string title;
    std::string author;
    std::string copyright;
    std::string description;
};

// Writes the WMA file under a temporary name in the output's folder and
// renames it to job.output only when it is complete. Returns "" on success,
// else why it failed (the temporary file is gone by then).
std::string Encode(const EncodeJob& job);

// Called from signal handlers: removes the half-written file, if any.
void RemovePartialOutput();

} // namespace wm8e
