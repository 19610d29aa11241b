#pragma once
// Playlists of the finished files, written into the save folder so that the
// system's player plays the whole recording: M3U after MP3, ASX after WMA.
// Lines end in CR LF; the text is UTF-8.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace sv {

// AddSlash(folder) + SafeFilename(recordingName) + ext (".m3u", ".asx").
QString PlaylistPath(const QString& outputFolder, const QString& recordingName, const QString& ext);

// One line per file, in order: the output folder + the file's name.
QByteArray M3UPlaylistText(const QStringList& files, const QString& outputFolder);
bool WriteM3UPlaylist(const QString& path, const QStringList& files, const QString& outputFolder,
                      QString* error = nullptr);

// "&", "<" and quotes as XML references, so a player reads the text as typed.
QString AsxEscape(const QString& text);
// <Param Name = "P" Value = "V" /> (values escaped).
QString ParamName(const QString& name, const QString& value);

// The ASX list of the tracks of the index (Tracks, default 1). files holds the
// WMA files in track order; with inOutputFolder each reference is the output
// folder + the file's name, otherwise the item as it is.
QByteArray ASXPlaylistText(const QString& indexPath, const QString& recordingName, const QStringList& files,
                           const QString& outputFolder, bool inOutputFolder);
bool WriteASXPlaylist(const QString& path, const QString& indexPath, const QString& recordingName,
                      const QStringList& files, const QString& outputFolder, bool inOutputFolder,
                      QString* error = nullptr);

} // namespace sv
