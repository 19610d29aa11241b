#pragma once
// Runs the console tools (encoders, CD writer) while the window keeps working.
// Programs are started with an argument list, never through a shell.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include <QProcess>

namespace sv {

// The runner's own failures. Their texts go to the message handler below; the
// GUI shows them with the standard box, critical icon, application title.
enum class RunnerFailure { None, CommandLineEmpty, PipeFailed, NotFound };

inline const QString kCommandLineEmpty = QStringLiteral("Command Line empty");
inline const QString kCreatePipeFailed = QStringLiteral("CreatePipe failed. Error: ");
inline const QString kFileNotFound = QStringLiteral("File or command not found");

// Receives every runner message. Core code shows nothing itself: the program
// installs a handler that opens a message box (InstallRunnerMessageBoxes).
// Without a handler the messages only reach lastMessage().
using RunnerMessageHandler = std::function<void(const QString& text)>;
void SetRunnerMessageHandler(RunnerMessageHandler handler);

// Program and arguments as one line, for messages only (arguments with spaces
// or quotes are quoted). Never parsed back.
QString CommandLineText(const QString& program, const QStringList& arguments);

class DOSOutputs : public QObject {
    Q_OBJECT
public:
    // Size of each piece reported through ReceiveOutputs.
    static constexpr int ReadSize = 256;

    explicit DOSOutputs(QObject* parent = nullptr);
    ~DOSOutputs() override;

    // The program's environment (the caller's when never set).
    void setEnvironment(const QProcessEnvironment& env) { m_env = env; }
    // Jobs off the UI thread report failures in their result instead of
    // through the message handler (which may open a box).
    void setReportMessages(bool on) { m_reportMessages = on; }

    // Everything read during the last ExecuteCommand.
    QString Outputs() const { return m_outputs; }

    // Runs the command with standard output and standard error merged into
    // one stream; every piece read is reported through ReceiveOutputs as it
    // arrives, then one empty piece when the program has ended. Returns the
    // whole text, or empty text when the program could not be run. Events
    // keep being processed meanwhile.
    QString ExecuteCommand(const QString& program, const QStringList& arguments);

    bool isRunning() const { return m_proc != nullptr; }
    RunnerFailure lastFailure() const { return m_failure; }
    QString lastMessage() const { return m_message; }
    // Exit code of the last run that started (-1 when it crashed or was killed).
    int exitCode() const { return m_exitCode; }

public Q_SLOTS:
    // Ends a running program; ExecuteCommand then returns what was read so far.
    void Cancel();

Q_SIGNALS:
    void ReceiveOutputs(const QString& text);

private:
    void fail(RunnerFailure failure, const QString& text);
    void drain();

    QString m_outputs;
    QString m_message;
    RunnerFailure m_failure = RunnerFailure::None;
    int m_exitCode = -1;
    bool m_reportMessages = true;
    QProcessEnvironment m_env;
    QPointer<QProcess> m_proc;
    struct Decoder;
    Decoder* m_decoder = nullptr;
};

// MP3 encoder progress: the whole number between the first "(" and the first
// "%" of a line, 0 to 100. Each line of the text is read this way and the last
// line that gives a number wins; lines without "(" before their "%", or with
// a fractional or non-numeric value there, give nothing.
std::optional<int> EncoderPercent(const QString& text);

// Output pieces may cut a progress line in two; this keeps the unfinished
// line of one piece and reads it together with the next.
class PercentReader {
public:
    std::optional<int> feed(const QString& piece);
    void reset() { m_tail.clear(); }

private:
    QString m_tail;
};

} // namespace sv
