#pragma once
// Recording profiles in profiles.xml: one top-level section "Profile" + index
// per profile (ProfileName, Description, RecordLength, Pause) and the root key
// LastUsed. The file is the only store; lists are rebuilt from it after every
// change.
#include <QString>
#include <QStringList>

namespace sv {

struct Profile {
    QString name;
    QString description; // with real line breaks ("\n")
    QString recordLength;
    QString pause;
};

// UserDataFolder() + "profiles.xml".
QString DefaultProfilesFile();

// Copies the shipped profiles.xml to the user's file when the user has none.
// Returns true when a copy was made.
bool CopyShippedProfiles(const QString& shipped, const QString& file);

struct ProfileList {
    QStringList sections; // every section of the file, in file order
    QStringList names;    // the listed profiles: sections with a non-empty name
    int lastUsed = 0;
};
// Reads the list; creates an empty file when there is none.
ProfileList ReadProfileList(const QString& file);

QString ProfileSection(int index);
Profile ReadProfile(const QString& file, int index);
// Writes the four keys in the stored order. False when a write failed.
bool WriteProfile(const QString& file, int index, const Profile& p);
// Removes profile `index` of `count`, moving every later one down a place so
// the numbering stays contiguous.
bool DeleteProfile(const QString& file, int index, int count);
bool StoreLastUsed(const QString& file, int index);

// Descriptions are stored on one line: a line break becomes the character 1.
QString EscapeDescription(const QString& text);
QString UnescapeDescription(const QString& stored);

// "Records for 90 minutes with a pause at 45 minutes." / "Records for 60 minutes."
QString ProfileSettingsText(double length, double pause);

// Shaping of the minute fields: the whole part of the leading number,
// "" for 0 or an empty text ("90a" -> "90", "abc" -> "").
QString ShapeMinutes(const QString& text);

// Checks of the profile dialog, in order. ok is true when all pass.
struct ProfileCheck {
    bool ok = true;
    enum Field { None, Name, Length, Pause } field = None;
    QString title;
    QString text;
};
ProfileCheck CheckProfile(const QString& name, const QString& length, bool pauseChecked, const QString& pause);

} // namespace sv
