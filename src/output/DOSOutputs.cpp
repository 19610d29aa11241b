#include "output/DOSOutputs.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStringDecoder>
#include <QTimer>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace sv {

namespace {
RunnerMessageHandler& messageHandler()
{
    static RunnerMessageHandler handler;
    return handler;
}

// Opening a pipe pair is what the start needs first; checking it here gives
// the system's error number, which QProcess keeps to itself.
int pipeError()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return errno;
    ::close(fds[0]);
    ::close(fds[1]);
    return 0;
}
} // namespace

void SetRunnerMessageHandler(RunnerMessageHandler handler)
{
    messageHandler() = std::move(handler);
}

QString CommandLineText(const QString& program, const QStringList& arguments)
{
    auto quoted = [](const QString& s) {
        if (!s.isEmpty() && !s.contains(QLatin1Char(' ')) && !s.contains(QLatin1Char('"')))
            return s;
        QString q = s;
        q.replace(QLatin1Char('"'), QStringLiteral("\\\""));
        return QLatin1Char('"') + q + QLatin1Char('"');
    };
    QString line = program.contains(QLatin1Char(' ')) ? quoted(program) : program;
    for (const QString& a : arguments)
        line += QLatin1Char(' ') + quoted(a);
    return line;
}

// Text from the tools is in the system's encoding; a stateful decoder keeps a
// character that is split between two pieces intact.
struct DOSOutputs::Decoder {
    QStringDecoder decoder{QStringDecoder::System};
};

DOSOutputs::DOSOutputs(QObject* parent)
    : QObject(parent)
{
}

DOSOutputs::~DOSOutputs()
{
    if (m_proc) {
        m_proc->disconnect(this);
        m_proc->kill();
        m_proc->waitForFinished(2000);
    }
    delete m_decoder;
}

void DOSOutputs::fail(RunnerFailure failure, const QString& text)
{
    m_failure = failure;
    m_message = text;
    if (m_reportMessages && messageHandler())
        messageHandler()(text);
}

QString DOSOutputs::ExecuteCommand(const QString& program, const QStringList& arguments)
{
    if (m_proc)
        return QString(); // already running: a nested call from an event handler
    m_failure = RunnerFailure::None;
    m_message.clear();
    m_exitCode = -1;

    if (program.isEmpty()) {
        fail(RunnerFailure::CommandLineEmpty, kCommandLineEmpty);
        return QString();
    }
    if (const int err = pipeError()) {
        fail(RunnerFailure::PipeFailed, kCreatePipeFailed + QString::number(err));
        return QString();
    }

    QPointer<DOSOutputs> self(this);
    auto* proc = new QProcess(this);
    m_proc = proc;
    proc->setProcessChannelMode(QProcess::MergedChannels);
    proc->setStandardInputFile(QProcess::nullDevice());
    if (!m_env.isEmpty())
        proc->setProcessEnvironment(m_env);
    proc->setProgram(program);
    proc->setArguments(arguments);
    proc->start(QIODevice::ReadOnly);
    if (!proc->waitForStarted(-1)) {
        delete proc;
        fail(RunnerFailure::NotFound, kFileNotFound);
        return QString();
    }

    m_outputs.clear();
    delete m_decoder;
    m_decoder = new Decoder;

    QEventLoop loop;
    connect(proc, &QProcess::readyReadStandardOutput, this, &DOSOutputs::drain);
    connect(proc, &QProcess::finished, &loop, &QEventLoop::quit);
    // Deleting the runner from an event handler must not leave the loop spinning.
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    if (proc->state() != QProcess::NotRunning)
        loop.exec();
    if (!self)
        return QString();

    drain();
    m_exitCode = proc->exitStatus() == QProcess::NormalExit ? proc->exitCode() : -1;
    proc->disconnect(this);
    proc->deleteLater();
    m_proc = nullptr;
    if (m_decoder) {
        m_outputs += m_decoder->decoder(QByteArray()); // flush a dangling partial character
    }

    Q_EMIT ReceiveOutputs(QString());
    if (!self)
        return QString();
    QCoreApplication::processEvents();
    if (!self)
        return QString();
    return m_outputs;
}

void DOSOutputs::drain()
{
    QPointer<DOSOutputs> self(this);
    while (self && m_proc && m_proc->bytesAvailable() > 0) {
        const QByteArray bytes = m_proc->read(ReadSize);
        if (bytes.isEmpty())
            break;
        const QString text = m_decoder->decoder(bytes);
        m_outputs += text;
        Q_EMIT ReceiveOutputs(text);
    }
}

void DOSOutputs::Cancel()
{
    if (m_proc)
        m_proc->kill();
}

std::optional<int> EncoderPercent(const QString& text)
{
    std::optional<int> found;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
            ++end;
        const QStringView line = QStringView(text).mid(start, end - start);
        const qsizetype p = line.indexOf(QLatin1Char('%'));
        const qsizetype open = line.indexOf(QLatin1Char('('));
        if (p >= 0 && open >= 0 && open < p) {
            const QStringView s = line.mid(open + 1, p - open - 1).trimmed();
            bool ok = false;
            const double v = s.toDouble(&ok);
            if (ok && std::isfinite(v) && v == std::floor(v) && v >= 0 && v <= 100)
                found = int(v);
        }
        start = end + 1;
    }
    return found;
}

std::optional<int> PercentReader::feed(const QString& piece)
{
    const QString text = m_tail + piece;
    const auto result = EncoderPercent(text);
    qsizetype lastBreak = -1;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        if (text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')) {
            lastBreak = i;
            break;
        }
    }
    m_tail = text.mid(lastBreak + 1);
    // A tool that never ends its lines must not make the kept text grow.
    if (m_tail.size() > 1024)
        m_tail = m_tail.right(1024);
    return result;
}

} // namespace sv
