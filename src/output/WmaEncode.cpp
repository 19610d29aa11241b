#include "output/WmaEncode.h"

#include "settings/modXML.h"
#include "util/modFunctions.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTimer>

#include <functional>

namespace sv {

namespace {

const QChar kQuote = QLatin1Char('"');

QString Quoted(const QString& s)
{
    return kQuote + s + kQuote;
}

// Room for " (NN)", ".wma" and the encoder's ".XXXXXX.part" within a file
// name's 255 bytes.
constexpr int kMaxBaseBytes = 200;

// The encoder's reason for a failed run: the last line it wrote to stderr,
// without its own name in front.
QString ReasonFrom(const QByteArray& stderrBytes)
{
    const QStringList lines = QString::fromLocal8Bit(stderrBytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QString line;
    for (auto it = lines.crbegin(); it != lines.crend() && line.isEmpty(); ++it)
        line = it->trimmed();
    const QString prefix = kWmaEncoderName + QStringLiteral(": ");
    if (line.startsWith(prefix))
        line.remove(0, prefix.size());
    return line.left(500);
}

} // namespace

QStringList WmaArguments(const QString& input, const QString& output, const QString& aSetting, const WmaTags& tags)
{
    QStringList a{QStringLiteral("-input"), input, QStringLiteral("-output"), output, QStringLiteral("-a_setting"),
                  aSetting};
    const std::pair<const char*, const QString*> options[] = {
        {"-title", &tags.title}, {"-author", &tags.artist}, {"-copyright", &tags.copyright},
        {"-description", &tags.description}};
    for (const auto& [option, value] : options) {
        if (!value->isEmpty())
            a << QString::fromLatin1(option) << *value;
    }
    return a;
}

QString WmaCommandLineText(const QString& encoder, const QString& input, const QString& output,
                           const QString& aSetting, const WmaTags& tags)
{
    QString c = encoder + QStringLiteral(" -input ") + Quoted(input) + QStringLiteral(" -output ") + Quoted(output)
        + QStringLiteral(" -a_setting ") + aSetting + QLatin1Char(' ');
    if (!tags.title.isEmpty())
        c += QStringLiteral(" -title ") + Quoted(tags.title);
    if (!tags.artist.isEmpty())
        c += QStringLiteral(" -author ") + Quoted(tags.artist);
    if (!tags.copyright.isEmpty())
        c += QStringLiteral(" -copyright ") + Quoted(tags.copyright);
    if (!tags.description.isEmpty())
        c += QStringLiteral(" -description ") + Quoted(tags.description);
    return c;
}

QString WmaFileBase(const QString& name, int number)
{
    QString s = SafeFilename(name);
    s.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
    s = s.trimmed();
    // A leading dot would hide the file from the user.
    while (s.startsWith(QLatin1Char('.')))
        s.remove(0, 1);
    s = s.trimmed();
    while (s.toUtf8().size() > kMaxBaseBytes) {
        s.chop(s.size() >= 2 && s.at(s.size() - 1).isLowSurrogate() ? 2 : 1);
        s = s.trimmed();
    }
    if (s.isEmpty())
        return QStringLiteral("Track ") + QString::number(number);
    return s;
}

QStringList UniqueFileBases(const QStringList& bases)
{
    QSet<QString> typed;
    for (const QString& b : bases)
        typed.insert(b.toLower());
    QSet<QString> used;
    QStringList out;
    for (const QString& b : bases) {
        QString name = b;
        for (int k = 2; used.contains(name.toLower()) || (name != b && typed.contains(name.toLower())); ++k)
            name = b + QStringLiteral(" (") + QString::number(k) + QLatin1Char(')');
        used.insert(name.toLower());
        out << name;
    }
    return out;
}

QVector<WmaTrack> PlanWmaTracks(const QString& indexPath, int count, const QString& outputFolder,
                                const QString& profile, const QString& encoder)
{
    const QString setting = WmaASetting(profile);
    QStringList bases;
    QVector<WmaTags> tags;
    for (int k = 1; k <= count; ++k) {
        tags << LoadWmaEncodeTags(indexPath, k);
        bases << WmaFileBase(tags.last().title, k);
    }
    bases = UniqueFileBases(bases);
    QVector<WmaTrack> tracks;
    for (int k = 1; k <= count; ++k) {
        WmaTrack t;
        t.number = k;
        t.listItem = WmaListItem(indexPath, k);
        t.input = XMLGetValue(QStringLiteral("Filename"), WmaTrackSection(k), indexPath, QString(), false);
        t.output = AddSlash(outputFolder) + bases[k - 1] + QStringLiteral(".wma");
        t.arguments = WmaArguments(t.input, t.output, setting, tags[k - 1]);
        t.commandLine = WmaCommandLineText(encoder, t.input, t.output, setting, tags[k - 1]);
        tracks << t;
    }
    return tracks;
}

QString WmaFailureText(const JobResult& r)
{
    switch (r.code) {
    case WmaCode::WorkFolder:
        return QStringLiteral("Compressing the file failed: ") + r.detail + QStringLiteral("  In ConverttoWMA");
    case WmaCode::MoveFailed:
        return MoveFailureText(r.detail);
    case JobCode::Canceled:
        return r.detail.isEmpty() ? QString() : MoveFailureText(r.detail);
    default:
        return EncoderFailureText(r, QStringLiteral("WMA"), kWmaEncoderName);
    }
}

WmaEncodeJob::WmaEncodeJob(Options options, QObject* parent) : Job(parent), m_options(std::move(options))
{
    if (m_options.programFolder.isEmpty())
        m_options.programFolder = ProgramFolder();
    if (m_options.parallel < 1)
        m_options.parallel = 1;
}

WmaEncodeJob::~WmaEncodeJob()
{
    cancel();
    wait();
}

QString WmaEncodeJob::encoderPath() const
{
    return GetShortPath(AddSlash(m_options.programFolder) + kWmaEncoderName);
}

QStringList WmaEncodeJob::outputs() const
{
    QStringList files;
    if (!result().ok() || isRunning())
        return files;
    for (const WmaTrack& t : m_tracks)
        files << t.output;
    return files;
}

void WmaEncodeJob::discard()
{
    m_work.reset();
}

JobResult WmaEncodeJob::work()
{
    m_failedTrack = 0;
    m_tracks.clear();
    m_work.reset();
    const JobResult r = encodeAll();
    if (!r.ok())
        discard(); // nothing half made, and no finished file of a failed run, stays behind
    return r;
}

namespace {

// One encoder process per track, at most `parallel` at once, in an event loop
// of its own until all have ended. A failure or a cancel stops the others
// (they remove their half-written files).
class EncoderRun {
public:
    struct Hooks {
        std::function<bool(int finished, int total, const QString& text)> report; // false: stop
        std::function<bool()> canceled;
        std::function<void(int index)> done; // each finished track once, in track order
    };

    EncoderRun(const QVector<WmaTrack>& tracks, const QString& encoder, int parallel, Hooks hooks)
        : m_tracks(tracks), m_encoder(encoder), m_parallel(parallel), m_hooks(std::move(hooks)),
          m_state(tracks.size(), State::Pending), m_procs(tracks.size(), nullptr), m_failures(tracks.size())
    {
    }

    void exec()
    {
        QTimer tick; // notices a cancel while encoders run
        tick.setInterval(50);
        QObject::connect(&tick, &QTimer::timeout, &m_loop, [this] {
            if (m_hooks.canceled() && !m_stop)
                stopAll();
            // Between two tracks nothing runs, yet the next one is on its way:
            // only a stopped run may end here.
            if (m_stop && m_running == 0)
                m_loop.quit();
        });
        if (!m_tracks.isEmpty()) {
            tick.start();
            QMetaObject::invokeMethod(&m_loop, [this] { startNext(); }, Qt::QueuedConnection);
            m_loop.exec();
            tick.stop();
        }
        for (QProcess* p : m_procs) {
            if (p) {
                p->waitForFinished(-1);
                delete p;
            }
        }
    }

    // The index of the earliest track that failed (failure() gives its result), or -1.
    int firstFailed() const { return int(m_state.indexOf(State::Failed)); }
    const JobResult& failure(int i) const { return m_failures[i]; }
    int finished() const { return m_finished; }

private:
    enum class State { Pending, Running, Done, Failed, Stopped };

    void stopAll()
    {
        m_stop = true;
        for (QProcess* p : m_procs) {
            if (p && p->state() != QProcess::NotRunning)
                p->terminate();
        }
    }

    void ended(int i, const JobResult& r)
    {
        if (m_state[i] != State::Running)
            return;
        --m_running;
        ++m_finished;
        m_state[i] = r.ok() ? State::Done : m_stop ? State::Stopped : State::Failed;
        m_failures[i] = r;
        if (m_state[i] == State::Failed)
            stopAll();
        while (m_announced < m_tracks.size() && m_state[m_announced] == State::Done)
            m_hooks.done(m_announced++);
        // Not from inside the process's own signal: start the next one from the loop.
        QMetaObject::invokeMethod(&m_loop, [this] { startNext(); }, Qt::QueuedConnection);
    }

    void startNext()
    {
        while (!m_stop && m_running < m_parallel && m_next < m_tracks.size()) {
            const int i = m_next++;
            if (!m_hooks.report(m_finished, int(m_tracks.size()), QStringLiteral("Compressing ") + m_tracks[i].listItem)) {
                stopAll();
                break;
            }
            start(i);
        }
        if (m_running == 0)
            m_loop.quit();
    }

    void start(int i)
    {
        auto* p = new QProcess;
        m_procs[i] = p;
        p->setProgram(m_encoder);
        p->setArguments(m_tracks[i].arguments);
        p->setStandardInputFile(QProcess::nullDevice());
        p->setStandardOutputFile(QProcess::nullDevice());
        QObject::connect(p, &QProcess::errorOccurred, p, [this, i, p](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart)
                ended(i, {WmaCode::EncoderFailed, 0, p->errorString()});
        });
        QObject::connect(p, &QProcess::finished, p, [this, i, p](int code, QProcess::ExitStatus status) {
            ended(i, exitResult(i, p, code, status));
        });
        m_state[i] = State::Running;
        ++m_running;
        p->start();
    }

    JobResult exitResult(int i, QProcess* p, int code, QProcess::ExitStatus status) const
    {
        if (status != QProcess::NormalExit || code != 0) {
            QString reason = ReasonFrom(p->readAllStandardError());
            if (reason.isEmpty())
                reason = status != QProcess::NormalExit ? QStringLiteral("the encoder stopped unexpectedly")
                                                        : QStringLiteral("exit code %1").arg(code);
            return {WmaCode::EncoderFailed, 0, reason};
        }
        if (!FileExists(m_tracks[i].output))
            return {WmaCode::FileMissing, 0, m_tracks[i].commandLine};
        return {};
    }

    const QVector<WmaTrack>& m_tracks;
    const QString m_encoder;
    const int m_parallel;
    Hooks m_hooks;
    QVector<State> m_state;
    QVector<QProcess*> m_procs;
    QVector<JobResult> m_failures;
    int m_next = 0;
    int m_running = 0;
    int m_finished = 0;
    int m_announced = 0; // done() was called for the tracks below this
    bool m_stop = false;
    QEventLoop m_loop;
};

} // namespace

JobResult WmaEncodeJob::encodeAll()
{
    const QString encoder = encoderPath();
    if (!FileExists(encoder))
        return {WmaCode::EncoderMissing, 0, encoder};

    int count = m_options.count;
    if (count <= 0)
        count = XMLGetInt(QStringLiteral("Tracks"), QString(), m_options.indexPath, 0);
    const QString profile = m_options.profile.isEmpty() ? WmaEncodeProfile() : m_options.profile;

    // Beside the tracks, so the move to a save folder on the same disk is a rename.
    const QString recordFolder = QFileInfo(m_options.indexPath).absolutePath();
    m_work = std::make_unique<QTemporaryDir>(recordFolder + QStringLiteral("/.sonivault-wma-XXXXXX"));
    if (!m_work->isValid())
        return {WmaCode::WorkFolder, 0, QStringLiteral("cannot make a working folder in ") + recordFolder + QStringLiteral(": ")
                    + m_work->errorString()};
    m_tracks = PlanWmaTracks(m_options.indexPath, count, m_work->path(), profile, encoder);
    const int n = int(m_tracks.size());

    // The earliest failing track is the one reported.
    EncoderRun run(m_tracks, encoder, m_options.parallel,
                   {[this](int done, int total, const QString& text) { return report(done, total, text); },
                    [this] { return isCanceled(); },
                    [this](int i) { Q_EMIT trackFinished(m_tracks[i].number, m_tracks[i].output); }});
    run.exec();
    if (const int failed = run.firstFailed(); failed >= 0) {
        m_failedTrack = m_tracks[failed].number;
        return run.failure(failed);
    }
    if (isCanceled() || run.finished() < n)
        return canceledResult();
    report(n, n, QString());
    return {};
}

WmaMoveJob::WmaMoveJob(QStringList files, QString saveFolder, FileOpCallbacks callbacks, QObject* parent)
    : Job(parent), m_files(std::move(files)), m_saveFolder(std::move(saveFolder)), m_callbacks(std::move(callbacks))
{
}

JobResult WmaMoveJob::work()
{
    FileOpCallbacks cb = m_callbacks;
    cb.progress = [this](qint64 done, qint64 total, const QString& file) {
        if (m_callbacks.progress && !m_callbacks.progress(done, total, file))
            cancel();
        return report(done, total, file);
    };
    const QString result = ShellFileOperation(m_files, m_saveFolder, FileOp::Move, cb);
    if (result.isEmpty())
        return {};
    if (result == kMoveCanceled)
        return {JobCode::Canceled, 0, kMoveCanceled};
    return {WmaCode::MoveFailed, 0, result};
}

} // namespace sv
