#pragma once
// The state of one run that the page controllers share. frmMain owns it.
#include "audioin/engine/AudioEngine.h"
#include "output/RecordingSession.h"

#include <QString>
#include <memory>

struct RunState {
    // Files and folders
    QString HelpFile;        // program folder + "sonivault.chm"
    QString ProfilesFile;    // user data folder + "profiles.xml"
    QString RecordDirectory; // ends in '/'
    QString RecordingPath;   // RecordDirectory + "recording.wav", set when recording starts
    QString OutputFolder;    // chosen save location, ends in '/'
    QString RecordingXMLPath;
    QString RecordingName;
    sv::RecordingSession Session; // deletes the recording's files, keeps what was delivered

    // Waveform limits read at start-up
    int DrawScale = 20;
    int MinTrackSize = 1500;
    int MinTrackSpacing = 25;
    int MinRecordingLength = 1;

    // The selected profile
    int RecordSeconds = 0;
    int PauseSeconds = 0;

    bool HasRecorded = false;  // a recording exists that would be lost
    bool Compressing = false;  // MP3 or WMA compression runs
    bool IsScanning = false;   // a line scan runs
    bool IsAdjusting = false;  // the volume optimisation runs
    bool IsSubclassed = false; // the standby guard is held
    bool TutorialOn = false;
    bool WritingAudioCD = false;

    // Created by LoadMixer, kept until the window goes.
    std::unique_ptr<sv::audio::AudioEngine> Engine;
    sv::audio::RecordObject* Record() const { return Engine ? Engine->record.get() : nullptr; }
    sv::audio::PlayObject* Play() const { return Engine ? Engine->play.get() : nullptr; }
};
