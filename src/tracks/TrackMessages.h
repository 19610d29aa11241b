#pragma once
// Every message box and instruction text of the waveform and track pages, in
// one table that the pages and the tests share. Styles use the message-box
// numbers of util/modMsgbox.h (buttons + icon).
#include <QString>

namespace sv {

enum class TrackMsg {
    WaveCorrupted,     // header rejected while splitting
    RecordingDamaged,  // header rejected when the waveform page opens
    RecordingTooShort, // 0 whole seconds: nothing to draw, no track possible
    NoRecording,       // detection found nothing
    SplitTooShort,     // both parts of a split shorter than the minimum
    SplitTrim,         // one part too short: trim it off? (takes the minimum length)
    AddNoRoom,
    ResetTracks,
    Redetect,
    MinTrackRange,     // options dialog: minimum length outside 10..60
    PlayFailed,        // the preview cannot be started (arg: the engine's error)
};

struct MessageText {
    QString title;
    QString text;
    int style = 0;
};

// The box for a message; arg fills the one variable part (SplitTrim's seconds,
// PlayFailed's error).
MessageText TrackMessage(TrackMsg id, const QString& arg = QString());

// Status label of the record page after a damaged recording.
QString RecordingDamagedStatus();

// Instruction texts of the panel over the waveform (lblWaveDo).
namespace WaveDo {
inline const QString Split = QStringLiteral("Click where you want to split tracks or click Split to cancel.");
inline const QString CombineFirst = QStringLiteral("Click first track or Combine to cancel.");
inline const QString CombineSecond = QStringLiteral("Click second track or Combine to cancel.");
inline const QString CombineNotAdjacent =
    QStringLiteral("Please select a track that is directly before or after the selected one.");
} // namespace WaveDo

inline const QString DeleteTrackTip = QStringLiteral("Delete this track");
inline const QString EntireRecordingName = QStringLiteral("(entire recording)");
// "Track " + number
QString TrackName(int number);

} // namespace sv
