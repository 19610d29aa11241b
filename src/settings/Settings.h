#pragma once
// Typed access to settings.xml: one accessor per key, each with its default
// and the rule for damaged or out-of-range values, so no other code spells a
// section, a key or a default. Core functions take the values they need as
// parameters (DetectSettings, TrackLimits, a piece size); pages and the CLI
// read them here.
#include "tracks/TrackDetect.h"
#include "tracks/TrackList.h"

#include <QString>

#include <cstdint>

namespace sv {

namespace settings {
// Sections of settings.xml ("" is the root).
inline const QString Root;
inline const QString Advanced = QStringLiteral("Advanced");
inline const QString AdvancedAudio = QStringLiteral("Advanced\\Audio");
inline const QString AdvancedWaveform = QStringLiteral("Advanced\\Waveform");
inline const QString AdvancedDetection = QStringLiteral("Advanced\\Track Detection");
inline const QString AdvancedScanning = QStringLiteral("Advanced\\Scanning");
inline const QString AdvancedAdjusting = QStringLiteral("Advanced\\Adjusting");
inline const QString Soundcard = QStringLiteral("Soundcard");
inline const QString WaveformOptions = QStringLiteral("WaveformOptions");
inline const QString OutputOptions = QStringLiteral("OutputOptions");
inline const QString Messages = QStringLiteral("Messages");
inline const QString MessagesStartup = QStringLiteral("Messages\\Startup");
inline const QString MessagesTutorial = QStringLiteral("Messages\\Tutorial");
} // namespace settings

// The values of one volume scan or optimisation, read once when it starts.
struct VolumeSettings {
    int scanMinimum = 600;      // a level above this finds the line
    int clipThreshold = 22000;  // a level above this is too loud
    int adjustMinimum = 1000;   // a level above this is loud enough
};

class Settings {
public:
    // Start-up and the wizard's run
    static QString recordDirectory(); // the temporary folder when unset or unreadable
    static bool setRecordDirectory(const QString& folder);
    static bool tutorialActive();
    static bool setTutorialActive(bool on);
    static bool firstRunDone();
    static bool setFirstRunDone();
    static bool volumeMessageShown();
    static bool setVolumeMessageShown();
    static bool waveformMessageShown();
    static QString finishAction(); // "0".."3"
    static bool setFinishAction(const QString& code);
    static QString outputChoice(); // OutputOptions\LastUsed, "0".."3"
    static bool setOutputChoice(const QString& code);
    static QString saveIn();
    static bool setSaveIn(const QString& text);

    // Sound card: a damaged, negative or out-of-range position (count entries) is 0.
    static int mixer(int count);
    static bool setMixer(int index);
    static int line(int count);
    static bool setLine(int index);
    static QString audioBackend(); // trimmed, lower case; "auto" when unset
    static QString virtualDeck();
    static double virtualSpeed(); // 1 unless positive

    // Scanning, adjusting and the level graph
    static int scanMinimum();
    static int clipThreshold(); // the default unless positive
    static int adjustMinimum();
    static VolumeSettings volume();

    // Waveform
    static int drawScale(); // 20 unless positive
    static int minRecordingLength();
    static int minTrackSize();
    static int minTrackSpacing();
    static bool autoSplit();
    static bool setAutoSplit(bool on);
    // MinTrackSize and MinTrackSpacing with the detection's MinTrackLength.
    static TrackLimits trackLimits(const WaveScale& scale);

    // Track detection
    static int hiss();
    static double samples(); // 0.5 when empty
    static int minTrackLength();
    static DetectMethod method();
    static DetectSettings detection();
    static bool setDetection(int hiss, double samples, const QString& minTrackLength);

    // Splitting: bytes per piece, the default unless at least 1.
    static std::int64_t bitesize();
};

} // namespace sv
