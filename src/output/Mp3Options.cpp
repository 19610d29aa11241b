#include "output/Mp3Options.h"

#include "output/Genres.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"

namespace sv {

namespace {

QString get(const char* key, const QString& def, const QString& file = QString())
{
    return XMLGetValue(QLatin1String(key), kMp3Section, file, def);
}

bool set(const char* key, const QString& value)
{
    return XMLSetValue(value, QLatin1String(key), kMp3Section, QString());
}

QString flag(bool b)
{
    return b ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

QStringList Mp3PageBitrates()
{
    return {"32", "48", "64", "128", "192", "320"};
}

QStringList Mp3DialogBitrates()
{
    return {"32", "40", "48", "56", "64", "80", "96", "112", "128", "160", "192", "224", "256", "320"};
}

Mp3BitrateChoices MakeMp3BitrateChoices()
{
    Mp3BitrateChoices c;
    c.items = Mp3PageBitrates();
    const QString stored = get("Bitrate", QStringLiteral("192"));
    c.current = c.items.indexOf(stored);
    if (c.current < 0) {
        c.items << stored;
        c.current = int(c.items.size()) - 1;
    }
    return c;
}

bool SetMp3Bitrate(const QString& text)
{
    return set("Bitrate", text);
}

bool Mp3TagsEnabled()
{
    return get("ID3", QStringLiteral("1")) != QLatin1String("0");
}

QString Mp3LastGenre()
{
    return get("LastGenre", QStringLiteral("Other"));
}

QString Mp3LastYear(int currentYear)
{
    return get("LastYear", QString::number(currentYear));
}

QStringList Mp3YearList(int currentYear)
{
    QStringList years;
    for (int y = 1900; y <= currentYear; ++y)
        years << QString::number(y);
    return years;
}

Mp3DialogValues Mp3DialogDefaults()
{
    return Mp3DialogValues{};
}

Mp3DialogValues LoadMp3DialogValues()
{
    Mp3DialogValues v;
    v.copyright = get("MarkCopyrighted", QStringLiteral("0")) != QLatin1String("0");
    v.crc = get("UseCRC", QStringLiteral("0")) != QLatin1String("0");
    v.forceIso = get("ForceISO", QStringLiteral("0")) != QLatin1String("0");
    const QString speed = get("Speed", QStringLiteral("3"));
    v.speed = NotNumeric(speed) ? 3 : speed.trimmed().toInt();
    if (v.speed < 1 || v.speed > 10 || speed.trimmed() != QString::number(v.speed))
        v.speed = 3;
    const QString ch = get("Channels", QStringLiteral("1"));
    v.channels = ch == QLatin1String("2") ? 2 : ch == QLatin1String("3") ? 3 : ch == QLatin1String("4") ? 4 : 1;
    const QString id3 = get("ID3", QStringLiteral("1"));
    v.id3 = id3 == QLatin1String("0") ? 0 : id3 == QLatin1String("2") ? 2 : id3 == QLatin1String("3") ? 3 : 1;
    v.bitrate = Mp3DialogBitrates().value(Mp3DialogBitrateIndex(get("Bitrate", QStringLiteral("128"))));
    return v;
}

bool SaveMp3DialogValues(const Mp3DialogValues& v)
{
    bool ok = set("MarkCopyrighted", flag(v.copyright));
    ok = set("UseCRC", flag(v.crc)) && ok;
    ok = set("ForceISO", flag(v.forceIso)) && ok;
    ok = set("Speed", QString::number(v.speed)) && ok;
    ok = set("Channels", QString::number(v.channels)) && ok;
    ok = set("ID3", QString::number(v.id3)) && ok;
    ok = set("Bitrate", v.bitrate) && ok;
    return ok;
}

int Mp3DialogBitrateIndex(const QString& bitrate)
{
    const int i = Mp3DialogBitrates().indexOf(bitrate);
    return i >= 0 ? i : 9;
}

QString Mp3SpeedLabel(int speed)
{
    switch (speed) {
    case 1: return QStringLiteral("Slowest, best quality (1)");
    case 3: return QStringLiteral("Recommended (3)");
    case 8: return QStringLiteral("Fast encoding, OK quality (8)");
    case 10: return QStringLiteral("Fastest, lowest quality (10)");
    default: return QString::number(speed);
    }
}

Mp3EncoderOptions LoadMp3EncoderOptions(const QString& file)
{
    Mp3EncoderOptions o;
    o.bitrate = get("Bitrate", QStringLiteral("128"), file);
    o.channels = get("Channels", QStringLiteral("0"), file);
    o.id3 = LeadingInt(get("ID3", QStringLiteral("0"), file), 0);
    auto on = [](const QString& v) { return !v.isEmpty() && v != QLatin1String("0"); };
    o.copyright = on(get("MarkCopyrighted", QString(), file));
    o.nonOriginal = !get("MarkNonOriginal", QString(), file).isEmpty();
    o.forceIso = on(get("ForceISO", QString(), file));
    o.crc = on(get("UseCRC", QStringLiteral("0"), file));
    // Two defaults tell whether Speed was ever stored.
    const QString speed = get("Speed", QStringLiteral("\x01"), file);
    if (speed != QLatin1String("\x01") || get("Speed", QStringLiteral("\x02"), file) != QLatin1String("\x02"))
        o.quality = LeadingInt(speed, 3) - 1;
    else
        o.quality = LeadingInt(get("Quality", QStringLiteral("2"), file), 2);
    o.quality = qBound(0, o.quality, 9);
    return o;
}

QStringList LameArguments(const Mp3EncoderOptions& o, const TrackTags& tags, int trackNumber,
                          const QString& input, const QString& output)
{
    QStringList a{QStringLiteral("--brief"), QStringLiteral("-b"), o.bitrate};
    if (o.channels == QLatin1String("2"))
        a << QStringLiteral("-m") << QStringLiteral("s");
    else if (o.channels == QLatin1String("3"))
        a << QStringLiteral("-m") << QStringLiteral("j");
    else if (o.channels == QLatin1String("4"))
        a << QStringLiteral("-m") << QStringLiteral("m") << QStringLiteral("-a");
    a << QStringLiteral("-q") << QString::number(o.quality);
    if (o.copyright)
        a << QStringLiteral("-c");
    if (o.nonOriginal)
        a << QStringLiteral("-o");
    if (o.forceIso)
        a << QStringLiteral("--strictly-enforce-ISO");
    if (o.crc)
        a << QStringLiteral("-p");
    if (o.id3 > 0) {
        // Version 2 text in UTF-16, so that any character of a tag survives.
        if (o.id3 != 2)
            a << QStringLiteral("--id3v2-utf16");
        a << QStringLiteral("--tt") << tags.name << QStringLiteral("--ta") << tags.artist << QStringLiteral("--tl")
          << tags.album << QStringLiteral("--ty") << tags.year << QStringLiteral("--tc") << tags.comments
          << QStringLiteral("--tn") << QString::number(trackNumber) << QStringLiteral("--tg")
          << QString::number(GetGenreNum(tags.genre));
        if (o.id3 == 2)
            a << QStringLiteral("--id3v1-only");
        else if (o.id3 == 3)
            a << QStringLiteral("--id3v2-only");
    }
    a << input << output;
    return a;
}

} // namespace sv
