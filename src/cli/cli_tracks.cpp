// wave-info, detect, split and waveform: the waveform page's core code for
// shell scripts (batch-splitting a box of recorded tapes, for instance).
#include "cli/Cli.h"

#include "output/SplitJob.h"
#include "output/TrackFiles.h"
#include "settings/Settings.h"
#include "tracks/TrackDetect.h"
#include "tracks/TrackList.h"
#include "tracks/TrackMessages.h"
#include "tracks/WaveImage.h"
#include "tracks/Waveform.h"
#include "tracks/modWaveSplit.h"
#include "util/modFunctions.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sys/stat.h>

namespace sv::cli {

namespace {

void printJson(const QJsonObject& o)
{
    out() << QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) << Qt::endl;
}

// A failure of the work: the reason on stderr, exit code 1.
int failure(const QString& text)
{
    err() << text << Qt::endl;
    return 1;
}

int headerFailure(const QString& file, WaveStatus st, const QString& detail)
{
    if (st == WaveStatus::Corrupted)
        return failure(TrackMessage(TrackMsg::WaveCorrupted).text);
    if (st == WaveStatus::Unsupported)
        return failure(QStringLiteral("cannot use %1: %2").arg(file, detail));
    return failure(QStringLiteral("cannot read %1: %2").arg(file, detail));
}

bool wholeArg(const QString& text, qint64 lo, qint64 hi, qint64& value)
{
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok && value >= lo && value <= hi;
}

int waveInfo(const QStringList& a)
{
    if (a.size() != 2)
        return usageError(QStringLiteral("usage: wave-info FILE"));
    WaveHeader h;
    QString detail;
    const WaveStatus st = ReadWaveHeader(a[1], h, &detail);
    if (st != WaveStatus::Ok)
        return headerFailure(a[1], st, detail);
    printJson({{"channels", h.Channels},
               {"rate", h.SampleRate},
               {"bits", h.BitsPerSample},
               {"blockAlign", h.BlockAlign},
               {"dataStart", qint64(h.DataStart)},
               {"frames", qint64(h.Frames)},
               {"seconds", qint64(h.WaveSeconds())}});
    return 0;
}

struct Loaded {
    WaveSamples samples;
    Waveform wave;
};

// Reads and draws the recording; on failure returns the exit code.
std::optional<int> load(const QString& file, Loaded& l)
{
    QString detail;
    const WaveStatus st = l.samples.open(file, &detail);
    if (st != WaveStatus::Ok)
        return headerFailure(file, st, detail);
    l.wave.draw(l.samples);
    return std::nullopt;
}

// The tracks as the markers would have them, or nothing for an empty image.
TrackList detected(const Loaded& l, const DetectSettings& s)
{
    const DetectResult r = DetectTracks(l.wave, &l.samples, s);
    if (r.message)
        err() << TrackMessage(*r.message).text << Qt::endl;
    TrackLimits limits = Settings::trackLimits(l.wave.scale());
    limits.minTrackLength = s.minTrackLength;
    TrackList list(limits);
    list.setTracks(r.tracks);
    return list;
}

int detect(const QStringList& a)
{
    if (a.size() < 2)
        return usageError(QStringLiteral(
            "usage: detect FILE [--method bands|audio|image] [--hiss N] [--samples X] [--min-track S] [--no-auto]"));
    DetectSettings s = Settings::detection();
    for (int i = 2; i < a.size(); ++i) {
        const QString& o = a[i];
        const bool hasValue = i + 1 < a.size();
        qint64 v = 0;
        if (o == QLatin1String("--no-auto")) {
            s.autoSplit = false;
        } else if (o == QLatin1String("--method") && hasValue) {
            const QString m = a[++i].toLower();
            if (m != QLatin1String("bands") && m != QLatin1String("audio") && m != QLatin1String("image"))
                return usageError(QStringLiteral("--method takes bands, audio or image"));
            s.method = MethodFromName(m);
        } else if (o == QLatin1String("--hiss") && hasValue) {
            if (!wholeArg(a[++i], 0, 32767, v))
                return usageError(QStringLiteral("--hiss takes a whole number"));
            s.hiss = int(v);
        } else if (o == QLatin1String("--samples") && hasValue) {
            bool ok = false;
            const double x = a[++i].toDouble(&ok);
            if (!ok || x < 0 || x > 600)
                return usageError(QStringLiteral("--samples takes a number of seconds"));
            s.samples = x;
        } else if (o == QLatin1String("--min-track") && hasValue) {
            if (!wholeArg(a[++i], 0, 32767, v))
                return usageError(QStringLiteral("--min-track takes a whole number of seconds"));
            s.minTrackLength = int(v);
        } else {
            return usageError(QStringLiteral("detect: unknown option %1").arg(o));
        }
    }
    Loaded l;
    if (const auto rc = load(a[1], l))
        return *rc;
    const TrackList list = detected(l, s);
    QJsonArray tracks;
    // The marker edges in seconds, to the millisecond: where the split cuts.
    const auto ms = [&l](int units) { return qRound64(double(units) / l.wave.drawScale() * 1000) / 1000.0; };
    for (int i = 0; i < list.count(); ++i)
        tracks.append(QJsonObject{{"left", list.at(i).left},
                                  {"width", list.at(i).width},
                                  {"start", list.startSeconds(i)},
                                  {"length", list.lengthSeconds(i)},
                                  {"startTime", ms(list.at(i).left)},
                                  {"endTime", ms(list.at(i).left + list.at(i).width)}});
    printJson({{"DrawScale", l.wave.drawScale()},
               {"WaveWidth", l.wave.waveWidth()},
               {"WaveSeconds", l.wave.waveSeconds()},
               {"tracks", tracks}});
    return 0;
}

// A position of --track: seconds (fractional allowed) or frames ("70560f").
struct TrackArg {
    bool frames = false;
    double seconds = 0;
    qint64 count = 0;
};

bool trackArg(const QString& text, TrackArg& v)
{
    if (text.endsWith(QLatin1Char('f'))) {
        v.frames = true;
        return wholeArg(text.chopped(1), 0, std::numeric_limits<qint64>::max(), v.count);
    }
    bool ok = false;
    v.seconds = text.toDouble(&ok);
    return ok && std::isfinite(v.seconds) && v.seconds >= 0 && v.seconds < 1e12;
}

// The frame a position stands for at this rate, the nearest one for seconds.
std::int64_t framesOf(const TrackArg& v, std::int64_t rate)
{
    if (v.frames)
        return v.count;
    const double f = v.seconds * double(rate);
    return f < 9.0e18 ? std::int64_t(std::llround(f)) : -1; // -1: refused as too large
}

std::int64_t roundedFrames(double f)
{
    return f < 9.0e18 ? std::int64_t(std::llround(f)) : -1;
}

// Makes the folder and its parents; on failure, why.
bool makeFolder(const QString& folder, QString& why)
{
    if (QDir().mkpath(folder))
        return true;
    // Find the first part of the path that cannot be made, and ask the
    // system why.
    QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    QStringList missing;
    while (!QFileInfo::exists(path) && path != QLatin1String("/")) {
        missing.prepend(path);
        path = QFileInfo(path).absolutePath();
    }
    if (!QFileInfo(path).isDir()) {
        why = SystemErrorText(ENOTDIR) + QStringLiteral(" (") + path + QStringLiteral(")");
        return false;
    }
    for (const QString& m : missing) {
        if (::mkdir(QFile::encodeName(m).constData(), 0777) != 0 && errno != EEXIST) {
            why = SystemErrorText(errno);
            return false;
        }
    }
    why = SystemErrorText(EIO);
    return false;
}

void printPath(const QString& path)
{
    out().flush();
    const QByteArray b = QFile::encodeName(path) + '\n';
    fwrite(b.constData(), 1, size_t(b.size()), stdout);
    fflush(stdout);
}

int split(const QStringList& a)
{
    if (a.size() < 3)
        return usageError(QStringLiteral("usage: split FILE OUTDIR [--track START LENGTH]..."));
    QVector<QPair<TrackArg, TrackArg>> given;
    for (int i = 3; i < a.size(); i += 3) {
        TrackArg start, length;
        if (a[i] != QLatin1String("--track") || i + 2 >= a.size() || !trackArg(a[i + 1], start)
            || !trackArg(a[i + 2], length))
            return usageError(QStringLiteral(
                "split: --track takes START LENGTH, each in seconds (1.6) or in frames (70560f)"));
        given.append({start, length});
    }
    const QString folder = AbsoluteFolder(a[2]);
    QString why;
    if (!makeFolder(folder, why))
        return failure(QStringLiteral("cannot create the folder %1: %2").arg(a[2], why));

    WaveHeader h;
    QVector<FrameSpan> spans;
    if (given.isEmpty()) {
        Loaded l;
        if (const auto rc = load(a[1], l))
            return *rc;
        if (l.wave.isEmpty())
            return failure(TrackMessage(TrackMsg::RecordingTooShort).text);
        const TrackList tracks = detected(l, Settings::detection());
        h = l.samples.header();
        QVector<QPair<std::int64_t, std::int64_t>> markers;
        for (const TrackMarker& t : tracks.markers())
            markers.append({t.left, t.width});
        spans = SpansFromMarkers(markers, h.SampleRate, tracks.limits().scale.drawScale());
    } else {
        QString detail;
        const WaveStatus st = ReadWaveHeader(a[1], h, &detail);
        if (st != WaveStatus::Ok)
            return headerFailure(a[1], st, detail);
        for (const auto& [start, length] : given) {
            const std::int64_t first = framesOf(start, h.SampleRate);
            // The end is rounded, not the length, so tracks given end to end
            // in seconds meet on one frame.
            std::int64_t end = 0;
            if (length.frames) {
                if (__builtin_add_overflow(first, length.count, &end))
                    end = std::numeric_limits<std::int64_t>::max();
            } else {
                end = roundedFrames((start.frames ? double(first) / h.SampleRate : start.seconds) * h.SampleRate
                                    + length.seconds * h.SampleRate);
            }
            spans.append(first < 0 || end < 0 ? FrameSpan{-1, -1} : FrameSpan{first, std::max<std::int64_t>(end - first, 0)});
        }
    }

    // The same job as the split page, on this thread.
    SplitJob job(h, spans, folder, Settings::bitesize());
    const JobResult r = job.run();
    if (!r.ok())
        return failure(QStringLiteral("There was an error splitting the tracks. %1").arg(r.detail));
    for (const QString& f : job.files())
        printPath(f);
    return 0;
}

int splitRecover(const QStringList& a)
{
    if (a.size() != 2)
        return usageError(QStringLiteral("usage: split-recover OUTDIR"));
    QString why;
    if (!RecoverSplit(a[1], &why))
        return failure(QStringLiteral("cannot recover the split in %1: %2").arg(a[1], why));
    return 0;
}

int waveform(const QStringList& a)
{
    qint64 width = 0;
    if (a.size() == 5 && a[3] == QLatin1String("--width")) {
        if (!wholeArg(a[4], 1, 100000, width))
            return usageError(QStringLiteral("--width takes 1 to 100000 pixels"));
    } else if (a.size() != 3) {
        return usageError(QStringLiteral("usage: waveform FILE OUT.png [--width PIXELS]"));
    }
    Loaded l;
    if (const auto rc = load(a[1], l))
        return *rc;
    if (l.wave.isEmpty())
        err() << TrackMessage(TrackMsg::RecordingTooShort).text << Qt::endl;
    QString detail;
    if (!WritePng(RenderWaveform(l.wave, int(width)), a[2], &detail))
        return failure(QStringLiteral("cannot write %1: %2").arg(a[2], detail));
    return 0;
}

} // namespace

bool RunTracksCommand(const QStringList& args, int& exitCode)
{
    if (args.isEmpty())
        return false;
    const QString& cmd = args[0];
    if (cmd == QLatin1String("wave-info"))
        exitCode = waveInfo(args);
    else if (cmd == QLatin1String("detect"))
        exitCode = detect(args);
    else if (cmd == QLatin1String("split"))
        exitCode = split(args);
    else if (cmd == QLatin1String("split-recover"))
        exitCode = splitRecover(args);
    else if (cmd == QLatin1String("waveform"))
        exitCode = waveform(args);
    else
        return false;
    return true;
}

} // namespace sv::cli
