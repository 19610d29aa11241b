#pragma once
// Time and size texts, path helpers and file probes used by every page.
#include <QString>
#include <cstdint>

namespace sv {

// "m:ss" or "h:mm:ss" for any length; negative values read as 0.
QString FormatTime(int seconds);
// "700 bytes", "1.5 KB", "1024 MB": at most three divisions by 1024.
QString FormatBytes(double bytes);
// Half up, to the given number of decimal places.
double RoundTo(double value, int places);
// Shortest decimal text of a number ("90", "1.5"), as the labels show them.
QString ShortNumber(double value);

// Leading decimal number of a text ("90a" -> 90, "abc" -> 0, " 3.5" -> 3.5).
double Val(const QString& text);
// True when the whole text (spaces around allowed) is not a number.
bool NotNumeric(const QString& text);
// Whole part of the leading number, or the default when the text does not
// start with a number at all (a damaged or hand-edited setting).
int LeadingInt(const QString& text, int fallback);

// Paths use '/'.
QString AddSlash(const QString& path);
QString GetFileNameFromPath(const QString& path);
QString SafeFilename(const QString& name);
QString GetShortPath(const QString& path);

bool FolderExists(const QString& path);
bool FileExists(const QString& path);
// Creates and removes a uniquely named probe file; never touches a file the
// user already has.
bool IsFolderWriteable(const QString& folder);
void DeleteFileQuiet(const QString& path);

// Per-user data folder (".../Velmora/Sonivault/"), created on demand, ends in '/'.
QString UserDataFolder();
// Folder of the running executable, ending in '/'.
QString ProgramFolder();
// Where the shipped data (profiles.xml, compress.gif, sonivault.chm, the demo
// side) lives: <prefix>/share/sonivault/ for an installed copy (the program in
// <prefix>/bin), else the program's own folder (the build folder). Ends in '/'.
QString DataFolder();
// Where our helper programs (wm8eutil, cdburner) live: <prefix>/libexec/sonivault/
// for an installed copy, else the program's own folder. Ends in '/'.
QString HelperFolder();
// Full path of a helper program: the helper folder first, then PATH (lame comes
// from the system). Empty when neither has it.
QString FindHelper(const QString& name);
// System temporary folder, ending in '/'.
QString TempFolder();
// Free bytes for the current user on the volume holding the path (0 when unknown).
std::int64_t GetFreeSpaceOf(const QString& path);

} // namespace sv
