#pragma once
// The tag fields of each track, kept in the recording's index
// (recording.xml, section "Track" + number). The MP3, WMA and FLAC outputs
// all read them from here.
#include <QString>

#include <optional>

namespace sv {

struct TrackTags {
    QString name;
    QString artist;
    QString album;
    QString year;
    QString genre;
    QString comments;
};

QString TrackSection(int number);

// The stored value, or nothing when the key is not in the section (an empty
// stored value is a value).
std::optional<QString> StoredTrackValue(const QString& indexPath, int number, const QString& key);

// The fields as the output pages show them: the name and comments of the
// track itself (empty when missing); artist, album, year and genre of the
// track, else those of track 1, else empty.
TrackTags LoadTrackTagsForPage(const QString& indexPath, int number);

// Stores the fields in the order name, artist, album, year, genre, comments.
// An empty name is stored as "Track " + number (and set in tags). False when
// a value could not be stored.
bool SaveTrackTags(const QString& indexPath, int number, TrackTags& tags);

// The fields as the encoders use them: missing values become "Track" +
// number, "New Artist", "New Album", the current year, "Other", "".
TrackTags LoadTrackTagsForEncoding(const QString& indexPath, int number, int currentYear);

// The fields as the tagged lossless files carry them: a missing or empty
// name becomes "Track " + number; artist, album, year and genre missing in
// the track's own section come from track 1, and missing there too take
// "New Artist", "New Album", the current year and "Other"; comments are the
// track's own. Stored values, even empty ones, are used as they are.
TrackTags LoadTrackTagsWithTrack1(const QString& indexPath, int number, int currentYear);

// Number of tracks of the index ("Tracks", default 1).
int IndexTrackCount(const QString& indexPath);
// The track's WAV file (Filename, "" when missing).
QString TrackWavePath(const QString& indexPath, int number);

} // namespace sv
