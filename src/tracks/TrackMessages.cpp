#include "tracks/TrackMessages.h"

#include "util/ui/modMsgbox.h"

namespace sv {

MessageText TrackMessage(TrackMsg id, const QString& arg)
{
    switch (id) {
    case TrackMsg::WaveCorrupted:
        return {QStringLiteral("Error"), QStringLiteral("The wave recording is corrupted. Please try again."),
                vbOKOnly + vbExclamation};
    case TrackMsg::RecordingDamaged:
        return {QStringLiteral("Recording Damaged"),
                QStringLiteral("The recording is corrupted and cannot be used. Please try to record again.\n"
                               "If you continue to experience this problem, please contact Velmora Technical Support"),
                vbOKOnly + vbExclamation};
    case TrackMsg::RecordingTooShort:
        return {QStringLiteral("No Recording"),
                QStringLiteral("The recording is shorter than one second, so no track can be made from it. "
                               "Please try to record again."),
                vbOKOnly + vbExclamation};
    case TrackMsg::NoRecording:
        return {QStringLiteral("No Recording"),
                QStringLiteral("Sonivault does not appear to have recorded any audio. "
                               "Please recheck your connections and try again."),
                vbOKOnly + vbInformation};
    case TrackMsg::SplitTooShort:
        return {QStringLiteral("Split"), QStringLiteral("The track is too short to either split or trim."),
                vbOKOnly + vbInformation};
    case TrackMsg::SplitTrim:
        return {QStringLiteral("Split"),
                QStringLiteral("The minimum track length is ") + arg
                    + QStringLiteral(" seconds. The area you selected is too short and will simply be trimmed off. Continue?"),
                vbYesNo + vbQuestion};
    case TrackMsg::AddNoRoom:
        return {QStringLiteral("Add Track"),
                QStringLiteral("The entire recording is filled with tracks. There is no room for any more."),
                vbOKOnly + vbInformation};
    case TrackMsg::ResetTracks:
        return {QStringLiteral("Reset Tracks"),
                QStringLiteral("What would you like to do?\n\n"
                               "Yes         -  Have only one large track covering the entire recording\n"
                               "No          -  Automatically Detect Tracks\n"
                               "Cancel   -  Cancel Reset"),
                vbYesNoCancel + vbQuestion};
    case TrackMsg::Redetect:
        return {AppTitle, QStringLiteral("Do you want to redetect the tracks?"), vbYesNo + vbQuestion};
    case TrackMsg::MinTrackRange:
        return {QStringLiteral("Min Track Length"),
                QStringLiteral("Please enter a minimum track length of between 10 and 60."), vbOKOnly + vbExclamation};
    case TrackMsg::PlayFailed:
        return {AppTitle, QStringLiteral("Sonivault cannot play the recording.\r\nError Information ") + arg,
                vbOKOnly + vbExclamation};
    }
    return {};
}

QString RecordingDamagedStatus()
{
    return QStringLiteral("The recording is corrupted. Please try to record again. "
                          "If you continue to get this message, please contact Velmora.");
}

QString TrackName(int number)
{
    return QStringLiteral("Track ") + QString::number(number);
}

} // namespace sv
