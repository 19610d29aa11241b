// wave-info, detect, split and waveform: the waveform page's core code for
// shell scripts (batch-splitting a box of recorded tapes, for instance).
#include "cli/Cli.h"

#include "output/TrackFiles.h"
#include "settings/modXML.h"
#include "tracks/TrackDetect.h"
#include "tracks/TrackList.h"
#include "tracks/TrackMessages.h"
#include "tracks/WaveImage.h"
#include "tracks/Waveform.h"
#include "tracks/modWaveSplit.h"
#include "util/modFunctions.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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
    TrackLimits limits = LoadTrackLimits(l.wave.scale());
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
    DetectSettings s = LoadDetectSettings();
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

int split(const QStringList& a)
{
    if (a.size() < 3)
        return usageError(QStringLiteral("usage: split FILE OUTDIR [--track START LENGTH]..."));
    QVector<SplitItem> items;
    for (int i = 3; i < a.size(); i += 3) {
        qint64 start = 0, length = 0;
        if (a[i] != QLatin1String("--track") || i + 2 >= a.size() || !wholeArg(a[i + 1], 0, 1LL << 40, start)
            || !wholeArg(a[i + 2], 0, 1LL << 40, length))
            return usageError(QStringLiteral("split: --track takes START LENGTH in whole seconds"));
        items.append({start, length});
    }
    const QString folder = AddSlash(a[2]);
    if (!QDir().mkpath(folder))
        return failure(QStringLiteral("cannot create the folder %1").arg(a[2]));

    WaveHeader h;
    if (items.isEmpty()) {
        Loaded l;
        if (const auto rc = load(a[1], l))
            return *rc;
        if (l.wave.isEmpty())
            return failure(TrackMessage(TrackMsg::RecordingTooShort).text);
        items = detected(l, LoadDetectSettings()).splitList();
        h = l.samples.header();
    } else {
        QString detail;
        const WaveStatus st = ReadWaveHeader(a[1], h, &detail);
        if (st != WaveStatus::Ok)
            return headerFailure(a[1], st, detail);
    }

    const SplitResult r = SplitAllTracks(h, items, folder, SplitBitesize());
    if (r.status != WaveStatus::Ok)
        return failure(QStringLiteral("There was an error splitting the tracks. %1").arg(r.error));

    // The same index the wizard writes after its split.
    QString indexError;
    const bool stored = WriteRecordingIndex(folder, int(r.files.size()), &indexError);
    for (const QString& f : r.files)
        out() << f << Qt::endl;
    if (!stored)
        return failure(indexError);
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
    else if (cmd == QLatin1String("waveform"))
        exitCode = waveform(args);
    else
        return false;
    return true;
}

} // namespace sv::cli
