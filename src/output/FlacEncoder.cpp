#include "output/FlacEncoder.h"
#include "output/TrackTags.h"

#include "output/TrackFiles.h"
#include "settings/modXML.h"
#include "tracks/modWaveSplit.h"
#include "util/modFunctions.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sv {

namespace {

std::atomic<std::int64_t> g_failAfter{-1};

// Room kept in a file name for " (NNNN)" and ".flac.part" under the usual
// 255-byte limit of a name.
constexpr int kMaxBaseBytes = 255 - 7 - 10;
// Sample frames read and handed to the encoder at a time.
constexpr std::int64_t kBlockFrames = 16384;

QString indexGet(const QString& index, const QString& key, const QString& section, const QString& def)
{
    return XMLGetValue(key, section, index, def, false);
}

// Cuts text to at most maxBytes of UTF-8 without splitting a character.
QString cutToBytes(QString text, int maxBytes)
{
    while (text.toUtf8().size() > maxBytes) {
        int cut = text.size() - 1;
        if (cut > 0 && text.at(cut).isLowSurrogate())
            --cut;
        text.truncate(cut);
    }
    return text;
}

bool pathTaken(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

struct Sink {
    int fd = -1;
    std::int64_t pos = 0;
    int error = 0;
};

FLAC__StreamEncoderWriteStatus writeCb(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes, uint32_t,
                                       uint32_t, void* data)
{
    auto* s = static_cast<Sink*>(data);
    const std::int64_t limit = g_failAfter.load();
    if (limit >= 0 && s->pos + std::int64_t(bytes) > limit) {
        s->error = ENOSPC;
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    const char* p = reinterpret_cast<const char*>(buffer);
    size_t left = bytes;
    while (left > 0) {
        const ssize_t n = ::pwrite(s->fd, p, left, s->pos);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            s->error = errno;
            return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
        }
        p += n;
        left -= size_t(n);
        s->pos += n;
    }
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus seekCb(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* data)
{
    static_cast<Sink*>(data)->pos = std::int64_t(offset);
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus tellCb(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* data)
{
    *offset = FLAC__uint64(static_cast<Sink*>(data)->pos);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

// Owns what one encoding allocates, whatever way it ends.
struct EncoderSet {
    FLAC__StreamEncoder* enc = nullptr;
    FLAC__StreamMetadata* tags = nullptr;
    FLAC__StreamMetadata* seek = nullptr;
    ~EncoderSet()
    {
        if (enc)
            FLAC__stream_encoder_delete(enc); // finishes an initialised one first
        if (tags)
            FLAC__metadata_object_delete(tags);
        if (seek)
            FLAC__metadata_object_delete(seek);
    }
};

using FrameProgress = std::function<bool(std::int64_t framesDone)>; // false: stop

// The track's header, refused unless it is 8- or 16-bit mono or stereo PCM.
JobResult readTrackHeader(const QString& wavPath, WaveHeader& h)
{
    QString why;
    const WaveStatus st = ReadWaveHeader(wavPath, h, &why);
    if (st == WaveStatus::Unsupported)
        return {FlacCode::Unsupported, 0, wavPath};
    if (st != WaveStatus::Ok)
        return {FlacCode::ReadFailed, st == WaveStatus::OpenFailed ? ENOENT : 0, wavPath};
    if ((h.BitsPerSample != 8 && h.BitsPerSample != 16) || h.Channels < 1 || h.Channels > 2)
        return {FlacCode::Unsupported, 0, wavPath};
    return {};
}

// Makes the encoder with the track's tags and seek table and starts its
// stream into sink; false when libFLAC refuses or memory runs out.
bool initEncoder(EncoderSet& es, const WaveHeader& h, const FlacTags& tags, int level, Sink& sink)
{
    es.enc = FLAC__stream_encoder_new();
    es.tags = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    bool ok = es.enc && es.tags;
    for (const QString& c : FlacVorbisComments(tags)) {
        if (!ok)
            break;
        const QByteArray utf8 = c.toUtf8();
        const int eq = utf8.indexOf('=');
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        ok = FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, utf8.left(eq).constData(),
                                                                            utf8.mid(eq + 1).constData())
            && FLAC__metadata_object_vorbiscomment_append_comment(es.tags, entry, false);
    }
    FLAC__StreamMetadata* blocks[2] = {es.tags, nullptr};
    unsigned nBlocks = 1;
    if (ok && h.Frames > 0) {
        // Seek points every 10 seconds, as players expect of a FLAC file.
        es.seek = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
        ok = es.seek
            && FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
                es.seek, unsigned(h.SampleRate) * 10, FLAC__uint64(h.Frames))
            && FLAC__metadata_object_seektable_template_sort(es.seek, true);
        blocks[nBlocks++] = es.seek;
    }
    if (!ok)
        return false;
    FLAC__stream_encoder_set_compression_level(es.enc, unsigned(std::clamp(level, 0, 8)));
    FLAC__stream_encoder_set_channels(es.enc, unsigned(h.Channels));
    FLAC__stream_encoder_set_bits_per_sample(es.enc, unsigned(h.BitsPerSample));
    FLAC__stream_encoder_set_sample_rate(es.enc, unsigned(h.SampleRate));
    FLAC__stream_encoder_set_total_samples_estimate(es.enc, FLAC__uint64(h.Frames));
    FLAC__stream_encoder_set_metadata(es.enc, blocks, nBlocks);
    // The encoder always puts the audio's MD5 into STREAMINFO; the seek
    // callback lets it write the finished block back.
    return FLAC__stream_encoder_init_stream(es.enc, writeCb, seekCb, tellCb, nullptr, &sink)
        == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
}

// Reads want frames from frame done on into raw; ReadFailed when the file
// ends early or cannot be read.
JobResult readFrames(int in, const WaveHeader& h, std::int64_t done, std::int64_t want, std::vector<char>& raw,
                     const QString& wavPath)
{
    const std::int64_t bytes = want * h.BlockAlign;
    std::int64_t got = 0;
    while (got < bytes) {
        const ssize_t n = ::pread(in, raw.data() + got, size_t(bytes - got), h.FrameOffset(done) + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {FlacCode::ReadFailed, n < 0 ? errno : 0, wavPath};
        got += n;
    }
    return {};
}

// The samples of raw as the encoder takes them: signed, one int per sample.
void toEncoderSamples(const WaveHeader& h, const std::vector<char>& raw, std::int64_t samples,
                      std::vector<FLAC__int32>& pcm)
{
    if (h.BitsPerSample == 8) {
        for (std::int64_t i = 0; i < samples; ++i)
            pcm[size_t(i)] = FLAC__int32(static_cast<unsigned char>(raw[size_t(i)])) - 128;
        return;
    }
    // Channels of a frame are packed; a wider BlockAlign than the samples
    // need is not accepted by the header reader.
    for (std::int64_t i = 0; i < samples; ++i) {
        const auto lo = static_cast<unsigned char>(raw[size_t(2 * i)]);
        const auto hi = static_cast<unsigned char>(raw[size_t(2 * i + 1)]);
        pcm[size_t(i)] = FLAC__int32(std::int16_t(std::uint16_t(lo | (hi << 8))));
    }
}

// Encodes the open WAV in into sink, block by block.
JobResult encodeStream(int in, const WaveHeader& h, const QString& wavPath, const QString& partPath,
                       const FlacTags& tags, int level, Sink& sink, const FrameProgress& progress)
{
    JobResult result;
    EncoderSet es;
    bool ok = initEncoder(es, h, tags, level, sink);
    std::vector<char> raw(size_t(kBlockFrames * h.BlockAlign));
    std::vector<FLAC__int32> pcm(size_t(kBlockFrames * h.Channels));
    std::int64_t done = 0;
    bool stopped = false;
    while (ok && done < h.Frames) {
        const std::int64_t want = std::min(kBlockFrames, h.Frames - done);
        result = readFrames(in, h, done, want, raw, wavPath);
        if (!result.ok()) {
            ok = false;
            break;
        }
        toEncoderSamples(h, raw, want * h.Channels, pcm);
        if (!FLAC__stream_encoder_process_interleaved(es.enc, pcm.data(), unsigned(want))) {
            ok = false;
            break;
        }
        done += want;
        if (progress && !progress(done)) {
            stopped = true;
            ok = false;
        }
    }
    if (ok)
        ok = FLAC__stream_encoder_finish(es.enc);
    if (ok || !result.ok())
        return result;
    if (stopped)
        return {JobCode::Canceled, 0, {}};
    if (sink.error)
        return {FlacCode::WriteFailed, sink.error, partPath};
    return {FlacCode::EncoderFailed, 0,
            es.enc ? QString::fromLatin1(FLAC__stream_encoder_get_resolved_state_string(es.enc))
                   : QStringLiteral("out of memory")};
}

// Encodes one WAV into partPath, which it creates new. On any failure or stop
// the part is removed.
JobResult encodeFile(const QString& wavPath, const QString& partPath, const FlacTags& tags, int level,
                     const FrameProgress& progress)
{
    WaveHeader h;
    if (const JobResult r = readTrackHeader(wavPath, h); !r.ok())
        return r;
    const int in = ::open(QFile::encodeName(wavPath).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return {FlacCode::ReadFailed, errno, wavPath};

    const QByteArray part = QFile::encodeName(partPath);
    Sink sink;
    sink.fd = ::open(part.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (sink.fd < 0) {
        const int e = errno;
        ::close(in);
        return {FlacCode::CreateFailed, e, partPath};
    }
    JobResult result = encodeStream(in, h, wavPath, partPath, tags, level, sink, progress);
    ::close(in);
    if (result.ok() && ::fsync(sink.fd) != 0)
        result = {FlacCode::WriteFailed, errno, partPath};
    if (::close(sink.fd) != 0 && result.ok())
        result = {FlacCode::WriteFailed, errno, partPath};
    if (!result.ok())
        ::unlink(part.constData());
    return result;
}

// The final paths in folder for the tracks, and each track's frames (0 when
// its header cannot be read) with their sum.
QStringList planOutputs(const QVector<FlacTrack>& tracks, const QString& folder, QVector<qint64>& frames,
                        qint64& totalFrames)
{
    QStringList titles;
    frames.fill(0, tracks.size());
    totalFrames = 0;
    for (int i = 0; i < tracks.size(); ++i) {
        titles << tracks[i].tags.title;
        WaveHeader h;
        if (ReadWaveHeader(tracks[i].wavPath, h) == WaveStatus::Ok)
            frames[i] = h.Frames;
        totalFrames += frames[i];
    }
    const QStringList names = FlacFileNames(titles, [&](const QString& name) {
        return pathTaken(folder + name) || pathTaken(folder + name + QStringLiteral(".part"));
    });
    QStringList finals;
    for (const QString& name : names)
        finals << folder + name;
    return finals;
}

// A part left by an earlier run that was killed: ours to remove, unless it
// is not a plain file.
void removeStalePart(const QByteArray& partName)
{
    struct stat st;
    if (::lstat(partName.constData(), &st) == 0 && S_ISREG(st.st_mode))
        ::unlink(partName.constData());
}

} // namespace

FlacTags FlacTagsFromIndex(const QString& indexPath, int number, int count)
{
    const TrackTags k = LoadTrackTagsWithTrack1(indexPath, number, QDate::currentDate().year());
    FlacTags t;
    t.title = k.name;
    t.artist = k.artist;
    t.album = k.album;
    t.date = k.year;
    t.genre = k.genre;
    t.comment = k.comments;
    t.trackNumber = number;
    t.trackTotal = count;
    return t;
}

QStringList FlacVorbisComments(const FlacTags& t)
{
    QStringList out;
    auto add = [&](const char* name, const QString& value) {
        if (!value.isEmpty())
            out << QString::fromLatin1(name) + QLatin1Char('=') + value;
    };
    add("TITLE", t.title);
    add("ARTIST", t.artist);
    add("ALBUM", t.album);
    add("DATE", t.date);
    add("GENRE", t.genre);
    add("COMMENT", t.comment);
    if (t.trackNumber > 0)
        add("TRACKNUMBER", QString::number(t.trackNumber));
    if (t.trackTotal > 0)
        add("TRACKTOTAL", QString::number(t.trackTotal));
    return out;
}

bool FlacTracksFromIndex(const QString& indexPath, QVector<FlacTrack>& tracks, QString* error)
{
    tracks.clear();
    if (!QFileInfo(indexPath).isFile()) {
        if (error)
            *error = QStringLiteral("The track list %1 cannot be found.").arg(indexPath);
        return false;
    }
    const int count = LeadingInt(indexGet(indexPath, QStringLiteral("Tracks"), QString(), QStringLiteral("0")), 0);
    if (count <= 0) {
        if (error)
            *error = QStringLiteral("The track list %1 holds no tracks.").arg(indexPath);
        return false;
    }
    const QString folder = AddSlash(QFileInfo(indexPath).absolutePath());
    for (int i = 1; i <= count; ++i) {
        FlacTrack t;
        t.wavPath = indexGet(indexPath, QStringLiteral("Filename"), QStringLiteral("Track") + QString::number(i),
                             folder + TrackFileName(i));
        t.tags = FlacTagsFromIndex(indexPath, i, count);
        tracks << t;
    }
    return true;
}

QStringList FlacFileNames(const QStringList& titles, const std::function<bool(const QString&)>& taken)
{
    QStringList names;
    QSet<QString> used;
    for (int i = 0; i < titles.size(); ++i) {
        QString base = SafeFilename(titles[i]);
        base.remove(QChar(0));
        base = cutToBytes(base, kMaxBaseBytes);
        if (base.trimmed().isEmpty() || base == QLatin1String(".") || base == QLatin1String(".."))
            base = QStringLiteral("Track ") + QString::number(i + 1);
        QString name = base + QStringLiteral(".flac");
        for (int n = 2; used.contains(name.toCaseFolded()) || (taken && taken(name)); ++n)
            name = base + QStringLiteral(" (%1).flac").arg(n);
        used.insert(name.toCaseFolded());
        names << name;
    }
    return names;
}

QString FlacResultText(const JobResult& r)
{
    const QString sys = r.errnum ? QString::fromLocal8Bit(std::strerror(r.errnum)) : QString();
    switch (r.code) {
    case JobCode::Done:
        return {};
    case JobCode::Canceled:
        return QStringLiteral("The encoding was cancelled.");
    case FlacCode::NoTracks:
        return r.detail;
    case FlacCode::ReadFailed:
        return QStringLiteral("The track file %1 cannot be read.%2").arg(r.detail, sys.isEmpty() ? QString() : QStringLiteral(" ") + sys);
    case FlacCode::Unsupported:
        return QStringLiteral("The track file %1 is not a 8-bit or 16-bit mono or stereo WAV file.").arg(r.detail);
    case FlacCode::CreateFailed:
        return QStringLiteral("The file %1 cannot be created: %2").arg(r.detail, sys);
    case FlacCode::WriteFailed:
        if (r.errnum == ENOSPC || r.errnum == EDQUOT)
            return QStringLiteral("The disk is full: %1 could not be written.").arg(r.detail);
        return QStringLiteral("Writing %1 failed: %2").arg(r.detail, sys);
    case FlacCode::BadFolder:
        return QStringLiteral("The folder %1 cannot be found.").arg(r.detail);
    default:
        return QStringLiteral("The FLAC encoder failed: %1").arg(r.detail);
    }
}

FlacJob::FlacJob(QVector<FlacTrack> tracks, QString outFolder, FlacOptions options, QObject* parent)
    : Job(parent), m_tracks(std::move(tracks)), m_outFolder(AddSlash(outFolder)), m_options(options)
{
    const int cores = std::max(1, QThread::idealThreadCount());
    m_workers = std::max(1, std::min<int>(m_options.jobs > 0 ? m_options.jobs : cores, std::max<int>(1, m_tracks.size())));
}

QStringList FlacJob::outputFiles() const { return m_outputs; }
int FlacJob::workerCount() const { return m_workers; }

void FlacJob::InjectWriteFailureAfterBytes(std::int64_t bytes) { g_failAfter.store(bytes); }

// What the workers and the reporting thread of one run share.
struct FlacJob::Shared {
    explicit Shared(int count) : n(count), doneFrames(static_cast<size_t>(count)), created(count, false)
    {
        for (auto& d : doneFrames)
            d.store(0);
    }
    const int n;
    QStringList finals;
    QVector<qint64> frames;
    qint64 totalFrames = 0;
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    std::vector<std::atomic<qint64>> doneFrames;
    std::mutex mx;
    std::condition_variable cv;
    // Guarded by mx:
    std::vector<int> justFinished;
    QVector<bool> created;
    JobResult firstError;
    int running = 0;
};

// One worker: takes the next track until none is left or the run stops.
void FlacJob::encodeTracks(Shared& sh)
{
    for (;;) {
        const int i = sh.next.fetch_add(1);
        if (i >= sh.n || sh.stop.load())
            break;
        const QString part = sh.finals[i] + QStringLiteral(".part");
        const QByteArray partName = QFile::encodeName(part);
        removeStalePart(partName);
        JobResult r = encodeFile(m_tracks[i].wavPath, part, m_tracks[i].tags, m_options.level, [&, i](std::int64_t d) {
            sh.doneFrames[size_t(i)].store(d);
            return !sh.stop.load() && !isCanceled();
        });
        if (r.ok() && ::renameat2(AT_FDCWD, partName.constData(), AT_FDCWD,
                                  QFile::encodeName(sh.finals[i]).constData(), RENAME_NOREPLACE) != 0) {
            r = {FlacCode::CreateFailed, errno, sh.finals[i]};
            ::unlink(partName.constData());
        }
        std::lock_guard<std::mutex> lock(sh.mx);
        if (!r.ok()) {
            if (sh.firstError.ok() && !(r.canceled() && !isCanceled()))
                sh.firstError = r;
            sh.stop.store(true);
            break;
        }
        sh.created[i] = true;
        sh.justFinished.push_back(i);
        sh.cv.notify_all();
    }
    std::lock_guard<std::mutex> lock(sh.mx);
    --sh.running;
    sh.cv.notify_all();
}

// Every signal leaves from this thread; workers only post numbers.
void FlacJob::followWorkers(Shared& sh)
{
    QVector<qint64> shown(sh.n, -1);
    for (;;) {
        std::vector<int> finished;
        bool allDone = false;
        {
            std::unique_lock<std::mutex> lock(sh.mx);
            sh.cv.wait_for(lock, std::chrono::milliseconds(50));
            finished.swap(sh.justFinished);
            allDone = sh.running == 0;
        }
        qint64 sum = 0;
        QString text;
        for (int i = 0; i < sh.n; ++i) {
            const qint64 d = sh.doneFrames[size_t(i)].load();
            sum += d;
            if (d != shown[i]) {
                shown[i] = d;
                Q_EMIT trackProgress(i + 1, d, sh.frames[i]);
            }
            if (text.isEmpty() && d > 0 && d < sh.frames[i])
                text = m_tracks[i].tags.title;
        }
        for (int i : finished)
            Q_EMIT trackFinished(i + 1, sh.finals[i]);
        if (!report(std::min(sum, sh.totalFrames), sh.totalFrames, text))
            sh.stop.store(true);
        if (allDone)
            return;
    }
}

JobResult FlacJob::work()
{
    m_outputs.clear();
    if (m_tracks.isEmpty())
        return {FlacCode::NoTracks, 0, QStringLiteral("There are no tracks to encode.")};
    if (!QFileInfo(m_outFolder).isDir())
        return {FlacCode::BadFolder, ENOENT, RemoveSlash(m_outFolder)};

    Shared sh(int(m_tracks.size()));
    sh.finals = planOutputs(m_tracks, m_outFolder, sh.frames, sh.totalFrames);
    sh.running = m_workers;
    std::vector<std::thread> pool;
    for (int w = 0; w < m_workers; ++w)
        pool.emplace_back([this, &sh] { encodeTracks(sh); });
    followWorkers(sh);
    for (auto& t : pool)
        t.join();

    if (isCanceled() && sh.firstError.ok())
        sh.firstError = canceledResult();
    if (!sh.firstError.ok()) {
        // The set is all or nothing: a retry should make the same names.
        for (int i = 0; i < sh.n; ++i)
            if (sh.created[i])
                ::unlink(QFile::encodeName(sh.finals[i]).constData());
        return sh.firstError;
    }
    m_outputs = sh.finals;
    return {};
}

} // namespace sv
