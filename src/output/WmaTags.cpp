#include "output/WmaTags.h"

#include "settings/modXML.h"
#include "util/modFunctions.h"

namespace sv {

namespace {

const QString kMissing = QStringLiteral("*NA*");

// The stored value, or a null string when the track has no such key. A value
// that is literally "*NA*" is told from a missing one by a second read with
// another default, so a user may type "*NA*" and keep it.
QString OwnValue(const QString& indexPath, int number, const QString& key)
{
    const QString section = WmaTrackSection(number);
    const QString v = XMLGetValue(key, section, indexPath, kMissing, false);
    if (v != kMissing)
        return v;
    const QString again = XMLGetValue(key, section, indexPath, QStringLiteral("\x01"), false);
    return again == QStringLiteral("\x01") ? QString() : again;
}

QString WithTrack1Fallback(const QString& indexPath, int number, const QString& key)
{
    const QString own = OwnValue(indexPath, number, key);
    if (!own.isNull())
        return own;
    return XMLGetValue(key, WmaTrackSection(1), indexPath, QString(), false);
}

} // namespace

QString WmaTrackSection(int number)
{
    return QStringLiteral("Track") + QString::number(number);
}

QString WmaListItem(const QString& indexPath, int number)
{
    return XMLGetValue(WmaKey::Name, WmaTrackSection(number), indexPath, QStringLiteral("Track-") + QString::number(number),
                       false);
}

WmaTags LoadWmaPageTags(const QString& indexPath, int number)
{
    WmaTags t;
    t.title = XMLGetValue(WmaKey::Name, WmaTrackSection(number), indexPath, QString(), false);
    t.copyright = WithTrack1Fallback(indexPath, number, WmaKey::Copyright);
    t.description = WithTrack1Fallback(indexPath, number, WmaKey::Description);
    t.artist = WithTrack1Fallback(indexPath, number, WmaKey::Artist);
    return t;
}

bool StoreWmaPageTags(const QString& indexPath, int number, WmaTags& tags)
{
    if (tags.title.isEmpty())
        tags.title = QStringLiteral("Track ") + QString::number(number);
    const QString section = WmaTrackSection(number);
    bool ok = XMLSetValue(tags.title, WmaKey::Name, section, indexPath);
    ok = XMLSetValue(tags.artist, WmaKey::Artist, section, indexPath) && ok;
    ok = XMLSetValue(tags.copyright, WmaKey::Copyright, section, indexPath) && ok;
    ok = XMLSetValue(tags.description, WmaKey::Description, section, indexPath) && ok;
    return ok;
}

WmaTags LoadWmaEncodeTags(const QString& indexPath, int number)
{
    const QString section = WmaTrackSection(number);
    WmaTags t;
    t.title = XMLGetValue(WmaKey::Name, section, indexPath, QString(), false);
    t.artist = XMLGetValue(WmaKey::Artist, section, indexPath, QString(), false);
    t.copyright = XMLGetValue(WmaKey::Copyright, section, indexPath, QString(), false);
    t.description = XMLGetValue(WmaKey::Description, section, indexPath, QString(), false);
    return t;
}

const QStringList& WmaProfiles()
{
    static const QStringList profiles{
        QStringLiteral("32 kbps Very Low Quality"), QStringLiteral("48 kbps Low Quality"),
        QStringLiteral("64 kbps"),                  QStringLiteral("96 kbps"),
        QStringLiteral("128 kbps Normal Quality"),  QStringLiteral("192 kbps High Quality"),
    };
    return profiles;
}

int WmaProfileIndex()
{
    return WmaProfileIndex(XMLGetValue(kWmaProfileKey, kWmaSection, QString(), QString()));
}

int WmaProfileIndex(const QString& stored)
{
    const int i = WmaProfiles().indexOf(stored);
    return i >= 0 ? i : kWmaDefaultProfile;
}

bool SetWmaProfile(const QString& itemText)
{
    return XMLSetValue(itemText, kWmaProfileKey, kWmaSection, QString());
}

QString WmaEncodeProfile()
{
    // An unreadable settings file reads as empty: encode at the default rather than fail.
    const QString p = XMLGetValue(kWmaProfileKey, kWmaSection, QString(), QStringLiteral("64"));
    return p.isEmpty() ? QStringLiteral("64") : p;
}

QString WmaASetting(const QString& profile)
{
    return QString::number(LeadingInt(profile, 0)) + QStringLiteral("_44_2");
}

} // namespace sv
