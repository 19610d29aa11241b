#pragma once
// The WMA page's per-track fields in recording.xml and its bitrate profile
// setting. Name and Artist are the keys the MP3 page uses too, so a title
// typed on one page shows on the other.
#include <QString>
#include <QStringList>

namespace sv {

namespace WmaKey {
inline const QString Name = QStringLiteral("Name");
inline const QString Artist = QStringLiteral("Artist");
inline const QString Copyright = QStringLiteral("Copyright");
inline const QString Description = QStringLiteral("Description");
} // namespace WmaKey

struct WmaTags {
    QString title;       // Name
    QString artist;      // Artist
    QString copyright;   // Copyright
    QString description; // Description
    bool operator==(const WmaTags&) const = default;
};

// "Track" + number: a track's section in recording.xml.
QString WmaTrackSection(int number);

// The list item of a track: its Name, or "Track-" + number when it has none.
QString WmaListItem(const QString& indexPath, int number);

// The fields as the page shows them: the track's own values; Artist,
// Copyright and Description fall back to Track1's where the track has none.
WmaTags LoadWmaPageTags(const QString& indexPath, int number);

// Stores the page's fields in the order Name, Artist, Copyright, Description.
// An empty title is stored as "Track " + number (the value is returned
// through tags, so the page can show it). True when all four were stored.
bool StoreWmaPageTags(const QString& indexPath, int number, WmaTags& tags);

// The fields as the encoder gets them: the track's own values only.
WmaTags LoadWmaEncodeTags(const QString& indexPath, int number);

// The bitrate profiles in list order, and the one chosen when the stored
// Profile names none of them.
const QStringList& WmaProfiles();
constexpr int kWmaDefaultProfile = 4; // "128 kbps Normal Quality"

// Section and key of the profile in settings.xml.
inline const QString kWmaSection = QStringLiteral("Encoding\\WMA");
inline const QString kWmaProfileKey = QStringLiteral("Profile");

// The list index the stored Profile selects (read with default empty).
int WmaProfileIndex();
int WmaProfileIndex(const QString& stored);
// Stores the text of the selected list item.
bool SetWmaProfile(const QString& itemText);
// The Profile the encoder uses (default "64", also when settings.xml cannot be read).
QString WmaEncodeProfile();
// The encoder's setting name for a profile text: its leading whole number of
// kbps + "_44_2" ("128 kbps Normal Quality" -> "128_44_2", "abc" -> "0_44_2").
QString WmaASetting(const QString& profile);

} // namespace sv
