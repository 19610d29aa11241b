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
    QStringList listed;   // the section of each listed profile (names[i] is in listed[i])
    int lastUsed = 0;
};
// Reads the list; creates an empty file when there is none.
ProfileList ReadProfileList(const QString& file);

QString ProfileSection(int index);
// The section for a new profile: "Profile" + the first free number from the
// count of sections on.
QString NewProfileSection(const ProfileList& list);
// Profiles are addressed by their place in the list; the list knows each
// one's section, so a section without a name never shifts its neighbours.
Profile ReadProfile(const QString& file, int index);
Profile ReadProfileIn(const QString& file, const QString& section);
// Writes the four keys in the stored order into the listed profile `index`,
// or into a new section when index is not in the list. False when a write failed.
bool WriteProfile(const QString& file, int index, const Profile& p);
// Removes listed profile `index`, moving every later profile of the numbered
// run down a place so the numbering stays contiguous.
bool DeleteProfile(const QString& file, int index, int count);

// A stored profile's length and pause as the recording uses them. Files can
// be edited by hand or damaged: a length or pause the profile dialog would
// refuse makes the profile invalid, and it cannot be recorded with.
struct ProfileTimes {
    bool valid = false;
    double length = 0; // minutes
    double pause = 0;  // minutes, 0 for none
    int recordSeconds = 0;
    int pauseSeconds = 0;
};
ProfileTimes CheckStoredProfile(const QString& recordLength, const QString& pause);
// Shown in place of the settings line for an invalid profile.
QString InvalidProfileText();
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
