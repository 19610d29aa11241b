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

    // Each encoder is one process; the loop turns until all have ended. A
    // failure or a cancel stops the others (they remove their half-written
    // files), and the earliest failing track is the one reported.
    enum class State { Pending, Running, Done, Failed, Stopped };
    QVector<State> state(n, State::Pending);
    QVector<QProcess*> procs(n, nullptr);
    QVector<JobResult> failures(n);
    int next = 0;
    int running = 0;
    int finished = 0;
    int announced = 0; // trackFinished was sent for the tracks below this
    bool stop = false;
    QEventLoop loop;
    std::function<void()> startNext;

    auto stopAll = [&] {
        stop = true;
        for (QProcess* p : procs) {
            if (p && p->state() != QProcess::NotRunning)
                p->terminate();
        }
    };
    auto ended = [&](int i, const JobResult& r) {
        if (state[i] != State::Running)
            return;
        --running;
        ++finished;
        state[i] = r.ok() ? State::Done : stop ? State::Stopped : State::Failed;
        failures[i] = r;
        if (state[i] == State::Failed)
            stopAll();
        while (announced < n && state[announced] == State::Done) {
            Q_EMIT trackFinished(m_tracks[announced].number, m_tracks[announced].output);
            ++announced;
        }
        // Not from inside the process's own signal: start the next one from the loop.
        QMetaObject::invokeMethod(&loop, startNext, Qt::QueuedConnection);
    };
    startNext = [&] {
        while (!stop && running < m_options.parallel && next < n) {
            const int i = next++;
            const WmaTrack& t = m_tracks[i];
            if (!report(finished, n, QStringLiteral("Compressing ") + t.listItem)) {
                stopAll();
                break;
            }
            auto* p = new QProcess;
            procs[i] = p;
            p->setProgram(encoder);
            p->setArguments(t.arguments);
            p->setStandardInputFile(QProcess::nullDevice());
            p->setStandardOutputFile(QProcess::nullDevice());
            QObject::connect(p, &QProcess::errorOccurred, p, [&, i, p](QProcess::ProcessError e) {
                if (e == QProcess::FailedToStart)
                    ended(i, {WmaCode::EncoderFailed, 0, p->errorString()});
            });
            QObject::connect(p, &QProcess::finished, p, [&, i, p](int code, QProcess::ExitStatus status) {
                JobResult r;
                if (status != QProcess::NormalExit || code != 0) {
                    QString reason = ReasonFrom(p->readAllStandardError());
                    if (reason.isEmpty())
                        reason = status != QProcess::NormalExit ? QStringLiteral("the encoder stopped unexpectedly")
                                                                : QStringLiteral("exit code %1").arg(code);
                    r = {WmaCode::EncoderFailed, 0, reason};
                } else if (!FileExists(m_tracks[i].output)) {
                    r = {WmaCode::FileMissing, 0, m_tracks[i].commandLine};
                }
                ended(i, r);
            });
            state[i] = State::Running;
            ++running;
            p->start();
        }
        if (running == 0)
            loop.quit();
    };

    QTimer tick; // notices a cancel while encoders run
    tick.setInterval(50);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (isCanceled() && !stop)
            stopAll();
        // Between two tracks nothing runs, yet the next one is on its way:
        // only a stopped run may end here.
        if (stop && running == 0)
            loop.quit();
    });
    if (n > 0) {
        tick.start();
        QMetaObject::invokeMethod(&loop, startNext, Qt::QueuedConnection);
        loop.exec();
        tick.stop();
    }
    for (QProcess* p : procs) {
        if (p) {
            p->waitForFinished(-1);
            delete p;
        }
    }

    for (int i = 0; i < n; ++i) {
        if (state[i] == State::Failed) {
            m_failedTrack = m_tracks[i].number;
            return failures[i];
        }
    }
    if (isCanceled() || finished < n)
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
