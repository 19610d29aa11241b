#include "output/TrackTags.h"

#include "settings/modXML.h"

namespace sv {

QString TrackSection(int number)
{
    return QStringLiteral("Track") + QString::number(number);
}

std::optional<QString> StoredTrackValue(const QString& indexPath, int number, const QString& key)
{
    // Two different defaults tell a missing key from a stored value that
    // happens to equal one of them.
    const QString section = TrackSection(number);
    const QString a = XMLGetValue(key, section, indexPath, QStringLiteral("\x01missing-a"), false);
    if (a != QLatin1String("\x01missing-a"))
        return a;
    const QString b = XMLGetValue(key, section, indexPath, QStringLiteral("\x01missing-b"), false);
    if (b != QLatin1String("\x01missing-b"))
        return b;
    return std::nullopt;
}

namespace {

QString WithTrack1(const QString& indexPath, int number, const QString& key)
{
    if (auto v = StoredTrackValue(indexPath, number, key))
        return *v;
    if (number != 1)
        if (auto v = StoredTrackValue(indexPath, 1, key))
            return *v;
    return QString();
}

} // namespace

TrackTags LoadTrackTagsForPage(const QString& indexPath, int number)
{
    TrackTags t;
    t.name = StoredTrackValue(indexPath, number, QStringLiteral("Name")).value_or(QString());
    t.artist = WithTrack1(indexPath, number, QStringLiteral("Artist"));
    t.album = WithTrack1(indexPath, number, QStringLiteral("Album"));
    t.year = WithTrack1(indexPath, number, QStringLiteral("Year"));
    t.genre = WithTrack1(indexPath, number, QStringLiteral("Genre"));
    t.comments = StoredTrackValue(indexPath, number, QStringLiteral("Comments")).value_or(QString());
    return t;
}

bool SaveTrackTags(const QString& indexPath, int number, TrackTags& tags)
{
    if (tags.name.isEmpty())
        tags.name = QStringLiteral("Track ") + QString::number(number);
    const QString section = TrackSection(number);
    bool ok = XMLSetValue(tags.name, QStringLiteral("Name"), section, indexPath);
    ok = XMLSetValue(tags.artist, QStringLiteral("Artist"), section, indexPath) && ok;
    ok = XMLSetValue(tags.album, QStringLiteral("Album"), section, indexPath) && ok;
    ok = XMLSetValue(tags.year, QStringLiteral("Year"), section, indexPath) && ok;
    ok = XMLSetValue(tags.genre, QStringLiteral("Genre"), section, indexPath) && ok;
    ok = XMLSetValue(tags.comments, QStringLiteral("Comments"), section, indexPath) && ok;
    return ok;
}

TrackTags LoadTrackTagsForEncoding(const QString& indexPath, int number, int currentYear)
{
    auto get = [&](const char* key, const QString& def) {
        return StoredTrackValue(indexPath, number, QLatin1String(key)).value_or(def);
    };
    TrackTags t;
    t.name = get("Name", QStringLiteral("Track") + QString::number(number));
    t.artist = get("Artist", QStringLiteral("New Artist"));
    t.album = get("Album", QStringLiteral("New Album"));
    t.year = get("Year", QString::number(currentYear));
    t.genre = get("Genre", QStringLiteral("Other"));
    t.comments = get("Comments", QString());
    return t;
}

TrackTags LoadTrackTagsWithTrack1(const QString& indexPath, int number, int currentYear)
{
    auto get = [&](const char* key, const QString& def) {
        const QString k = QLatin1String(key);
        if (auto v = StoredTrackValue(indexPath, number, k))
            return *v;
        return StoredTrackValue(indexPath, 1, k).value_or(def);
    };
    TrackTags t;
    t.name = StoredTrackValue(indexPath, number, QStringLiteral("Name")).value_or(QString());
    if (t.name.isEmpty())
        t.name = QStringLiteral("Track ") + QString::number(number);
    t.artist = get("Artist", QStringLiteral("New Artist"));
    t.album = get("Album", QStringLiteral("New Album"));
    t.year = get("Year", QString::number(currentYear));
    t.genre = get("Genre", QStringLiteral("Other"));
    t.comments = StoredTrackValue(indexPath, number, QStringLiteral("Comments")).value_or(QString());
    return t;
}

int IndexTrackCount(const QString& indexPath)
{
    return XMLGetInt(QStringLiteral("Tracks"), QString(), indexPath, 1);
}

QString TrackWavePath(const QString& indexPath, int number)
{
    return StoredTrackValue(indexPath, number, QStringLiteral("Filename")).value_or(QString());
}

} // namespace sv
