#include "output/Mp3Job.h"

#include "output/DOSOutputs.h"
#include "output/TrackTags.h"
#include "util/modFunctions.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <deque>
#include <memory>
#include <vector>

namespace sv {

QString Mp3FailureText(const JobResult& r)
{
    if (r.code == Mp3Code::MoveFailed)
        return MoveFailureText(r.detail);
    if (r.code == Mp3Code::NoTracks)
        return QStringLiteral("The recording has no tracks to compress: ") + r.detail;
    return EncoderFailureText(r, QStringLiteral("MP3"), QStringLiteral("lame"));
}

QString FindLame(const QString& programFolder, const QString& searchPath)
{
    const QFileInfo local(AddSlash(programFolder) + QStringLiteral("lame"));
    if (local.isFile() && local.isExecutable())
        return local.absoluteFilePath();
    const QStringList dirs = searchPath.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (dirs.isEmpty())
        return QString();
    return QStandardPaths::findExecutable(QStringLiteral("lame"), dirs);
}

QString OutputBaseName(const QString& title, int number)
{
    QString base = SafeFilename(title);
    base.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
    // Room for " (99).mp3" within the usual 255-byte limit of a file name.
    while (base.toUtf8().size() > 240)
        base.chop(base.size() >= 2 && base.at(base.size() - 1).isLowSurrogate() ? 2 : 1);
    if (base.trimmed().isEmpty() || base == QLatin1String(".") || base == QLatin1String(".."))
        base = QStringLiteral("Track ") + QString::number(number);
    return base;
}

QStringList UniqueFileNames(const QStringList& bases, const QString& ext)
{
    QStringList names;
    QStringList taken; // lower case
    for (const QString& base : bases) {
        QString name = base + ext;
        for (int n = 2; taken.contains(name.toLower()); ++n)
            name = base + QStringLiteral(" (%1)").arg(n) + ext;
        taken << name.toLower();
        names << name;
    }
    return names;
}

Mp3Job::Mp3Job(Mp3JobSettings settings, QObject* parent) : Job(parent), m_s(std::move(settings)) {}

Mp3Job::~Mp3Job()
{
    // The work folder must outlive a running encoder.
    cancel();
    wait();
}

QStringList Mp3Job::encodedFiles() const
{
    QStringList files;
    if (!m_work || isRunning() || !result().ok())
        return files;
    for (const QString& name : m_names)
        files << m_work->filePath(name);
    return files;
}

void Mp3Job::discard()
{
    m_work.reset();
}

namespace {

// What the encoder threads tell the job's thread.
struct Event {
    enum Kind { Started, Percent, Encoded, Failed } kind;
    int index = 0;
    int percent = 0;
    JobResult failure;
};

struct Shared {
    QMutex mutex;
    QWaitCondition changed;
    std::deque<Event> events;
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};

    void post(Event e)
    {
        QMutexLocker lock(&mutex);
        events.push_back(std::move(e));
        changed.wakeAll();
    }
    // The events so far, after waiting a little for one.
    std::deque<Event> take()
    {
        std::deque<Event> out;
        QMutexLocker lock(&mutex);
        if (events.empty())
            changed.wait(&mutex, 50);
        out.swap(events);
        return out;
    }
    bool empty()
    {
        QMutexLocker lock(&mutex);
        return events.empty();
    }
};

// The failure of a finished encoder run, or {} when its file is there.
JobResult RunResult(const DOSOutputs& runner, const QString& output, const QString& encoder, const Mp3Track& it)
{
    if (runner.lastFailure() != RunnerFailure::None)
        return {Mp3Code::EncodeFailed, 0, runner.lastMessage()};
    if (runner.exitCode() != 0)
        return {Mp3Code::EncodeFailed, 0,
                output.trimmed().isEmpty() ? QStringLiteral("the encoder ended with code %1").arg(runner.exitCode())
                                           : output.trimmed().right(2000)};
    if (!FileExists(it.encoded))
        return {Mp3Code::OutputMissing, 0, CommandLineText(encoder, it.args)};
    return {};
}

// Encodes items until none is left or the run stops; runs on its own thread
// so that the runner's event loop has one.
void EncodeLoop(Shared& sh, const std::vector<Mp3Track>& items, const QString& encoder, const Job& job)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // lame reads tag texts in the locale's encoding: make that UTF-8.
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const auto stopped = [&] { return sh.stop.load() || job.isCanceled(); };
    for (;;) {
        const int i = sh.next.fetch_add(1);
        if (i >= int(items.size()) || stopped())
            return;
        const Mp3Track& it = items[size_t(i)];
        sh.post({Event::Started, i, 0, {}});
        DeleteFileQuiet(it.encoded);
        DOSOutputs runner;
        runner.setReportMessages(false);
        runner.setEnvironment(env);
        PercentReader reader;
        QObject::connect(&runner, &DOSOutputs::ReceiveOutputs, [&](const QString& piece) {
            if (auto p = reader.feed(piece))
                sh.post({Event::Percent, i, *p, {}});
        });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (stopped())
                runner.Cancel();
        });
        poll.start(50);
        const QString output = runner.ExecuteCommand(encoder, it.args);
        poll.stop();
        if (stopped())
            return;
        const JobResult fail = RunResult(runner, output, encoder, it);
        if (!fail.ok()) {
            sh.stop.store(true);
            sh.post({Event::Failed, i, 0, fail});
            return;
        }
        sh.post({Event::Encoded, i, 100, {}});
    }
}

// The tracks' state as the job's thread sees it from the events.
struct Tally {
    std::vector<int> percent;
    std::vector<bool> encoded;
    int reported = 0; // tracks announced as encoded, in order
    int done = 0;
    JobResult failure;

    explicit Tally(int count) : percent(size_t(count), 0), encoded(size_t(count), false) {}
    void apply(const Event& e)
    {
        switch (e.kind) {
        case Event::Started: break;
        case Event::Percent: percent[size_t(e.index)] = e.percent; break;
        case Event::Encoded:
            percent[size_t(e.index)] = 100;
            encoded[size_t(e.index)] = true;
            ++done;
            break;
        case Event::Failed:
            if (failure.ok())
                failure = e.failure;
            break;
        }
    }
    qint64 sum() const
    {
        qint64 s = 0;
        for (int p : percent)
            s += p;
        return s;
    }
};

} // namespace

JobResult Mp3Job::plan(std::vector<Mp3Track>& items)
{
    const int count = IndexTrackCount(m_s.indexPath);
    if (count < 1)
        return {Mp3Code::NoTracks, 0, m_s.indexPath};
    const Mp3EncoderOptions opts = m_s.options.value_or(LoadMp3EncoderOptions());
    const int year = m_s.currentYear > 0 ? m_s.currentYear : QDate::currentDate().year();
    const QDir indexDir = QFileInfo(m_s.indexPath).absoluteDir();

    // Encoded files wait in a folder of their own beside the tracks (the same
    // file system, so the move is a rename), never among the user's files.
    m_work = std::make_unique<QTemporaryDir>(indexDir.filePath(QStringLiteral(".mp3-XXXXXX")));
    if (!m_work->isValid())
        m_work = std::make_unique<QTemporaryDir>(TempFolder() + QStringLiteral("sonivault-mp3-XXXXXX"));
    if (!m_work->isValid())
        return {Mp3Code::EncodeFailed, errno, QStringLiteral("no folder for the encoded files")};

    items.assign(size_t(count), {});
    QStringList bases;
    for (int k = 1; k <= count; ++k) {
        const auto name = StoredTrackValue(m_s.indexPath, k, QStringLiteral("Name"));
        bases << OutputBaseName(name.value_or(QStringLiteral("Track ") + QString::number(k)), k);
        Mp3Track& it = items[size_t(k - 1)];
        it.status = QStringLiteral("Compressing ") + name.value_or(QStringLiteral("Track-") + QString::number(k));
        QString input = TrackWavePath(m_s.indexPath, k);
        if (!input.isEmpty())
            input = QFileInfo(indexDir, input).absoluteFilePath();
        it.args = LameArguments(opts, LoadTrackTagsForEncoding(m_s.indexPath, k, year), k, input, QString());
        it.args.removeLast();
    }
    m_names = UniqueFileNames(bases, QStringLiteral(".mp3"));
    for (int i = 0; i < count; ++i) {
        Mp3Track& it = items[size_t(i)];
        it.encoded = m_work->filePath(m_names[i]);
        it.args << it.encoded;
        m_commandLines << CommandLineText(m_encoder, it.args);
    }
    return {};
}

JobResult Mp3Job::encodeAll(const std::vector<Mp3Track>& items)
{
    // Encoders on threads of their own; this thread reports in order.
    const int count = int(items.size());
    Shared sh;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int w = 0; w < qBound(1, m_s.jobs, count); ++w) {
        threads.emplace_back(QThread::create([&] { EncodeLoop(sh, items, m_encoder, *this); }));
        threads.back()->start();
    }
    const auto allStopped = [&] {
        return std::all_of(threads.begin(), threads.end(), [](const auto& t) { return t->isFinished(); });
    };
    Tally tally(count);
    report(0, qint64(count) * 100, items[0].status);
    for (;;) {
        for (const Event& e : sh.take()) {
            tally.apply(e);
            if (e.kind == Event::Started)
                Q_EMIT trackStarted(e.index, count, items[size_t(e.index)].status);
            else if (e.kind == Event::Percent)
                Q_EMIT trackPercent(e.index, e.percent);
            if (!report(tally.sum(), qint64(count) * 100, items[size_t(e.index)].status))
                sh.stop.store(true);
        }
        for (; tally.reported < count && tally.encoded[size_t(tally.reported)]; ++tally.reported)
            Q_EMIT trackEncoded(tally.reported, m_names[tally.reported]);
        if (tally.done == count || ((!tally.failure.ok() || isCanceled()) && allStopped()))
            break;
        if (allStopped() && sh.empty())
            break;
    }
    for (auto& t : threads)
        t->wait();
    if (!tally.failure.ok())
        return tally.failure;
    if (isCanceled() || tally.done != count)
        return canceledResult();
    return {};
}

JobResult Mp3Job::moveIntoFolder(const std::vector<Mp3Track>& items)
{
    QStringList files;
    for (const Mp3Track& it : items)
        files << it.encoded;
    FileOpCallbacks cb;
    cb.progress = [this](qint64 d, qint64 t, const QString& f) {
        Q_EMIT moving(d, t, f);
        return !isCanceled();
    };
    const QString moved = ShellFileOperation(files, m_s.outputFolder, FileOp::Move, cb);
    if (moved == kMoveCanceled)
        return canceledResult();
    if (!moved.isEmpty())
        return {Mp3Code::MoveFailed, 0, moved};
    for (const QString& name : m_names)
        m_finished << AddSlash(m_s.outputFolder) + name;
    return {};
}

JobResult Mp3Job::work()
{
    m_names.clear();
    m_finished.clear();
    m_commandLines.clear();
    m_work.reset();
    const QString programFolder = m_s.programFolder.isEmpty() ? ProgramFolder() : m_s.programFolder;
    m_encoder = FindLame(programFolder, m_s.searchPath.value_or(QString::fromLocal8Bit(qgetenv("PATH"))));
    if (m_encoder.isEmpty())
        return {Mp3Code::EncoderMissing, 0, AddSlash(programFolder) + QStringLiteral("lame")};
    std::vector<Mp3Track> items;
    JobResult r = plan(items);
    if (r.ok())
        r = encodeAll(items);
    if (r.ok() && !m_s.outputFolder.isEmpty())
        r = moveIntoFolder(items);
    // Nothing half made, and no file of a failed run, stays; after a move the
    // folder is empty anyway.
    if (!r.ok() || !m_s.outputFolder.isEmpty())
        m_work.reset();
    return r;
}

} // namespace sv
