#pragma once
// What goes on an audio CD: the tracks of recording.xml, checked against the
// Red Book rules before a single byte is written, and the texts that name
// them (CD-TEXT on a disc, TITLE/PERFORMER lines in a CUE sheet).
#include "tracks/modWaveSplit.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace sv::cd {

constexpr int SectorBytes = 2352;           // one CD audio sector: 588 stereo 16-bit frames
constexpr int SectorsPerSecond = 75;
constexpr int FirstPregapSectors = 150;     // the 2-second pregap before track 1
constexpr int MinTrackSeconds = 4;
constexpr int MaxTracks = 99;
// The longest disc an image may describe: 79:57, pregap included.
constexpr std::int64_t ImageLimitSectors = (79 * 60 + 57) * SectorsPerSecond;

struct CdTrack {
    int number = 0;               // 1-based, as in recording.xml
    QString file;
    QString name;
    QString artist;
    QString album;
    WaveHeader header;
    std::int64_t dataOffset = 0;  // 0-based byte position of the first frame
    std::int64_t dataBytes = 0;   // whole frames only
    std::int64_t sectors = 0;     // data rounded up to whole sectors
};

struct CdPlan {
    QList<CdTrack> tracks;
    QString album;      // disc title
    QString performer;  // disc performer
    std::int64_t trackSectors = 0;  // all tracks, without the first pregap
    std::int64_t discSectors() const { return trackSectors + FirstPregapSectors; }
};

// Reads the index and every track's header and checks each track (16-bit
// 44.1 kHz stereo PCM, at least 4 seconds). Every problem found becomes one
// line of `problems`; the plan is usable only when that list is empty.
void LoadPlan(const QString& indexPath, CdPlan& plan, QStringList& problems);

// "" when the tracks fit in `capacitySectors` (lead-out start, pregap
// included); otherwise the reason, naming both lengths.
QString CheckLength(const CdPlan& plan, std::int64_t capacitySectors, const QString& where);

// "m:ss" of a sector count, rounded up to whole seconds.
QString SectorsTime(std::int64_t sectors);
// "mm:ss:ff", the CUE sheet's time code.
QString CueTime(std::int64_t sectors);

// A name as CD-TEXT and CUE sheets can hold it: ISO-8859-1 (other
// characters become '?'), control characters (line breaks too) become
// spaces, at most 160 bytes.
QByteArray CdText(const QString& text);
// CdText inside double quotes. A '"' inside becomes '\'' so the value can
// never end early or start a new command.
QByteArray CueQuoted(const QString& text);

// The CUE sheet for one BIN file holding all tracks back to back.
QByteArray CueSheet(const CdPlan& plan, const QString& binFileName);

} // namespace sv::cd
