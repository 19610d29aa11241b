#include "CdPlan.h"

#include "settings/modXML.h"
#include "util/modFunctions.h"

#include <QFileInfo>

namespace sv::cd {

namespace {

constexpr int CdRate = 44100;
constexpr int CdBits = 16;
constexpr int CdChannels = 2;
constexpr int PcmFormat = 1;
constexpr int MaxTextBytes = 160;

QString TrackLabel(const CdTrack& t)
{
    return QStringLiteral("Track %1 (\"%2\")").arg(t.number).arg(t.name);
}

QString FormatText(const WaveHeader& h)
{
    QStringList parts;
    if (h.FormatTag != PcmFormat)
        parts << QStringLiteral("not PCM");
    parts << QStringLiteral("%1-bit").arg(h.BitsPerSample);
    parts << (h.Channels == 1 ? QStringLiteral("mono") : QStringLiteral("%1 channels").arg(h.Channels));
    parts << QStringLiteral("%1 Hz").arg(h.SampleRate);
    return parts.join(QStringLiteral(", "));
}

// The disc's performer: the artist every track shares, or "Various Artists".
QString DiscPerformer(const QList<CdTrack>& tracks)
{
    QString shared;
    for (const CdTrack& t : tracks) {
        if (t.artist.isEmpty())
            continue;
        if (shared.isEmpty())
            shared = t.artist;
        else if (shared != t.artist)
            return QStringLiteral("Various Artists");
    }
    return shared;
}

} // namespace

void LoadPlan(const QString& indexPath, CdPlan& plan, QStringList& problems)
{
    plan = CdPlan{};
    if (!FileExists(indexPath)) {
        problems << QStringLiteral("The track list %1 cannot be found.").arg(indexPath);
        return;
    }
    const int count = XMLGetInt(QStringLiteral("Tracks"), QString(), indexPath, 0);
    if (count < 1) {
        problems << QStringLiteral("The track list %1 names no tracks.").arg(indexPath);
        return;
    }
    if (count > MaxTracks) {
        problems << QStringLiteral("An audio CD holds at most %1 tracks; there are %2.").arg(MaxTracks).arg(count);
        return;
    }

    for (int i = 1; i <= count; ++i) {
        const QString section = QStringLiteral("Track%1").arg(i);
        CdTrack t;
        t.number = i;
        t.file = XMLGetValue(QStringLiteral("Filename"), section, indexPath, QString());
        t.name = XMLGetValue(QStringLiteral("Name"), section, indexPath, QString());
        if (t.name.isEmpty())
            t.name = QStringLiteral("Track %1").arg(i);
        t.artist = XMLGetValue(QStringLiteral("Artist"), section, indexPath, QString());
        t.album = XMLGetValue(QStringLiteral("Album"), section, indexPath, QString());

        if (t.file.isEmpty() || !FileExists(t.file)) {
            problems << QStringLiteral("%1: the file %2 cannot be found.").arg(TrackLabel(t), t.file);
            continue;
        }
        QString error;
        if (ReadWaveHeader(t.file, t.header, &error) != WaveStatus::Ok) {
            problems << QStringLiteral("%1: the file %2 is not a readable WAV file.").arg(TrackLabel(t), t.file);
            continue;
        }
        const WaveHeader& h = t.header;
        if (h.FormatTag != PcmFormat || h.BitsPerSample != CdBits || h.Channels != CdChannels
            || h.SampleRate != CdRate) {
            problems << QStringLiteral("%1 is %2; an audio CD needs 16-bit stereo PCM at 44100 Hz.")
                            .arg(TrackLabel(t), FormatText(h));
            continue;
        }
        if (h.Frames < std::int64_t(MinTrackSeconds) * CdRate) {
            problems << QStringLiteral("%1 lasts %2 seconds; every track of an audio CD needs at least %3 seconds.")
                            .arg(TrackLabel(t))
                            .arg(QString::number(h.ExactSeconds(), 'f', 1))
                            .arg(MinTrackSeconds);
            continue;
        }
        t.dataOffset = h.FrameOffset(0);
        t.dataBytes = h.Frames * h.BlockAlign;
        t.sectors = (t.dataBytes + SectorBytes - 1) / SectorBytes;
        plan.trackSectors += t.sectors;
        plan.tracks << t;
    }

    for (const CdTrack& t : std::as_const(plan.tracks)) {
        if (!t.album.isEmpty()) {
            plan.album = t.album;
            break;
        }
    }
    plan.performer = DiscPerformer(plan.tracks);
}

QString CheckLength(const CdPlan& plan, std::int64_t capacitySectors, const QString& where)
{
    if (plan.discSectors() <= capacitySectors)
        return {};
    return QStringLiteral("The tracks last %1, more than the %2 that fit on %3.")
        .arg(SectorsTime(plan.discSectors()), SectorsTime(capacitySectors), where);
}

QString SectorsTime(std::int64_t sectors)
{
    const std::int64_t seconds = (sectors + SectorsPerSecond - 1) / SectorsPerSecond;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString CueTime(std::int64_t sectors)
{
    const std::int64_t frames = sectors % SectorsPerSecond;
    const std::int64_t seconds = sectors / SectorsPerSecond;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(frames, 2, 10, QLatin1Char('0'));
}

QByteArray CdText(const QString& text)
{
    QByteArray out;
    out.reserve(qMin<qsizetype>(text.size(), MaxTextBytes));
    for (const QChar c : text) {
        if (out.size() >= MaxTextBytes)
            break;
        const char16_t u = c.unicode();
        if (c.isHighSurrogate())
            continue; // the low half that follows becomes the one '?'
        if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            out.append(' ');
        else if (u <= 0xff)
            out.append(char(u));
        else
            out.append('?');
    }
    return out;
}

QByteArray CueQuoted(const QString& text)
{
    QByteArray value = CdText(text);
    value.replace('"', '\'');
    return '"' + value + '"';
}

QByteArray CueSheet(const CdPlan& plan, const QString& binFileName)
{
    QByteArray cue;
    cue += "REM COMMENT \"Sonivault\"\r\n";
    cue += "TITLE " + CueQuoted(plan.album) + "\r\n";
    cue += "PERFORMER " + CueQuoted(plan.performer) + "\r\n";
    cue += "FILE " + CueQuoted(binFileName) + " BINARY\r\n";
    std::int64_t start = 0;
    for (const CdTrack& t : plan.tracks) {
        cue += QStringLiteral("  TRACK %1 AUDIO\r\n").arg(t.number, 2, 10, QLatin1Char('0')).toLatin1();
        cue += "    TITLE " + CueQuoted(t.name) + "\r\n";
        cue += "    PERFORMER " + CueQuoted(t.artist) + "\r\n";
        cue += "    INDEX 01 " + CueTime(start).toLatin1() + "\r\n";
        start += t.sectors;
    }
    return cue;
}

} // namespace sv::cd
