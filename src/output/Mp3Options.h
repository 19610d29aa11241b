#pragma once
// The MP3 encoder's settings (section Encoding\MP3 of settings.xml), the
// values of the options dialog, and the encoder's argument list.
#include "output/TrackTags.h"

#include <QString>
#include <QStringList>

namespace sv {

inline const QString kMp3Section = QStringLiteral("Encoding\\MP3");

QStringList Mp3PageBitrates();   // the page's list
QStringList Mp3DialogBitrates(); // the options dialog's list

// Items of the page's bitrate list and the one to select: the stored
// Bitrate (default "192"), added as a further item when it is not listed.
struct Mp3BitrateChoices {
    QStringList items;
    int current = 0;
};
Mp3BitrateChoices MakeMp3BitrateChoices();
bool SetMp3Bitrate(const QString& text);

// Whether the page shows the tag fields (ID3, default "1", is not "0").
bool Mp3TagsEnabled();
// Initial genre and year of the page (LastGenre, LastYear).
QString Mp3LastGenre();
QString Mp3LastYear(int currentYear);
// "1900" .. the current year, ascending.
QStringList Mp3YearList(int currentYear);

// The options dialog's values.
struct Mp3DialogValues {
    bool copyright = false;
    bool crc = false;
    bool forceIso = false;
    int speed = 3;     // 1 .. 10
    int channels = 1;  // 1 automatic, 2 stereo, 3 joint stereo, 4 mono
    int id3 = 1;       // 0 none, 1 automatic, 2 version 1 only, 3 version 2 only
    QString bitrate = QStringLiteral("128");
};
Mp3DialogValues Mp3DialogDefaults();
Mp3DialogValues LoadMp3DialogValues();
// Stores the values in the dialog's order. False when one was not stored.
bool SaveMp3DialogValues(const Mp3DialogValues& v);
// Index of the bitrate in the dialog's list, 9 ("160") when not listed.
int Mp3DialogBitrateIndex(const QString& bitrate);
// The text beside the speed slider.
QString Mp3SpeedLabel(int speed);

// The settings as the encoder reads them.
struct Mp3EncoderOptions {
    QString bitrate = QStringLiteral("128");
    QString channels = QStringLiteral("0");
    int id3 = 0;
    bool copyright = false;
    bool nonOriginal = false;
    bool forceIso = false;
    bool crc = false;
    int quality = 2; // lame -q, 0 .. 9
};
// Speed (1 .. 10) gives -q Speed - 1; only while no Speed was ever stored
// does Quality (default 2) give it.
Mp3EncoderOptions LoadMp3EncoderOptions(const QString& settingsFile = QString());

// The encoder's arguments for one track: options, tags (when enabled) and
// the input and output paths, each its own argument.
QStringList LameArguments(const Mp3EncoderOptions& o, const TrackTags& tags, int trackNumber,
                          const QString& input, const QString& output);

} // namespace sv
