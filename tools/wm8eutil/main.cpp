// wm8eutil: encodes one 16-bit PCM WAV file into WMA.
//
//   wm8eutil -input IN.wav -output OUT.wma -a_setting 128_44_2
//            [-title T] [-author A] [-copyright C] [-description D]
//
// The setting names the bitrate in kbps, the sample rate (44 = 44100 Hz) and
// the channel count. Exit status 0 on success, 1 when encoding failed, 2 for a
// bad command line; every failure is one line on stderr, and no partial
// output file is left behind.
#include "WmaEncoder.h"

extern "C" {
#include <libavutil/log.h>
}

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

struct Setting {
    const char* name;
    int bitRate;
};

constexpr Setting kSettings[] = {
    {"32_44_2", 32000}, {"48_44_2", 48000},   {"64_44_2", 64000},
    {"96_44_2", 96000}, {"128_44_2", 128000}, {"192_44_2", 192000},
};

const char kUsage[] = "usage: wm8eutil -input IN.wav -output OUT.wma -a_setting 128_44_2"
                      " [-title T] [-author A] [-copyright C] [-description D]";

// The caller shows our stderr as one line: control characters in a path or a
// library's message must not break it.
void Fail(std::string message)
{
    for (char& c : message) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    std::fprintf(stderr, "wm8eutil: %s\n", message.c_str());
}

void OnSignal(int sig)
{
    wm8e::RemovePartialOutput();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Fills job and setting from the command line. -1 to go on, else the exit
// status: 0 after the usage text, 2 for a bad command line (reported).
int ParseArguments(int argc, char** argv, wm8e::EncodeJob& job, std::string& setting)
{
    bool haveInput = false, haveOutput = false, haveSetting = false;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "-h" || opt == "-help" || opt == "--help") {
            std::printf("%s\n", kUsage);
            return 0;
        }
        std::string* value = nullptr;
        if (opt == "-input") {
            value = &job.input;
            haveInput = true;
        } else if (opt == "-output") {
            value = &job.output;
            haveOutput = true;
        } else if (opt == "-a_setting") {
            value = &setting;
            haveSetting = true;
        } else if (opt == "-title") {
            value = &job.title;
        } else if (opt == "-author") {
            value = &job.author;
        } else if (opt == "-copyright") {
            value = &job.copyright;
        } else if (opt == "-description") {
            value = &job.description;
        } else {
            Fail("unknown option \"" + opt + "\"; " + kUsage);
            return 2;
        }
        // A value may itself start with '-' (a title like "-Intro-").
        if (i + 1 >= argc) {
            Fail("option " + opt + " needs a value");
            return 2;
        }
        *value = argv[++i];
    }
    if (!haveInput || job.input.empty()) {
        Fail("no input file given (-input)");
        return 2;
    }
    if (!haveOutput || job.output.empty()) {
        Fail("no output file given (-output)");
        return 2;
    }
    if (!haveSetting) {
        Fail("no setting given (-a_setting)");
        return 2;
    }
    return -1;
}

// The bitrate, rate and channels a setting names; false (reported) for an
// unknown one.
bool ApplySetting(std::string setting, wm8e::EncodeJob& job)
{
    // A command line built as text may leave a space around the setting.
    const auto first = setting.find_first_not_of(' ');
    setting = first == std::string::npos ? std::string() : setting.substr(first, setting.find_last_not_of(' ') - first + 1);
    for (const Setting& s : kSettings) {
        if (setting == s.name) {
            job.bitRate = s.bitRate;
            job.sampleRate = 44100;
            job.channels = 2;
        }
    }
    if (job.bitRate != 0)
        return true;
    std::string known;
    for (const Setting& s : kSettings)
        known += std::string(known.empty() ? "" : ", ") + s.name;
    Fail("unknown setting -a_setting \"" + setting + "\" (known: " + known + ")");
    return false;
}

void CatchSignals()
{
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(sig, &sa, nullptr);
    // Past a file-size limit, a failed write (reported and cleaned up) rather than a kill.
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace

int main(int argc, char** argv)
{
    av_log_set_level(AV_LOG_QUIET);

    wm8e::EncodeJob job;
    std::string setting;
    if (const int status = ParseArguments(argc, argv, job, setting); status >= 0)
        return status;
    if (!ApplySetting(setting, job))
        return 2;
    CatchSignals();

    const std::string error = wm8e::Encode(job);
    if (!error.empty()) {
        Fail(error);
        return 1;
    }
    return 0;
}
