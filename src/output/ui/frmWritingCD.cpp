#include "output/ui/frmWritingCD.h"

#include "output/CdBurnerOutput.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Long enough for the writer to release the drive after its last sector.
constexpr int KillAfterMs = 15000;
} // namespace

frmWritingCD::frmWritingCD(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmWritingCD"));
    setWindowTitle(QStringLiteral("Writing Audio CD"));
    auto* intro = new QLabel(QStringLiteral("Sonivault is writing your tracks to an audio CD. "
                                            "Please leave the disc in the drive until this is finished."),
                             this);
    intro->setObjectName(QStringLiteral("lblCDIntro"));
    intro->setWordWrap(true);
    lblCDStatus = new QLabel(QStringLiteral("Starting the CD writer..."), this);
    lblCDStatus->setObjectName(QStringLiteral("lblCDStatus"));
    barCDProgress = new QProgressBar(this);
    barCDProgress->setObjectName(QStringLiteral("barCDProgress"));
    barCDProgress->setRange(0, 0); // busy until the writer reports a percentage
    cmdCDCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCDCancel->setObjectName(QStringLiteral("cmdCDCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCDCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(10);
    layout->addWidget(intro);
    layout->addWidget(lblCDStatus);
    layout->addWidget(barCDProgress);
    layout->addLayout(buttons);
    setMinimumWidth(420);
    resize(440, sizeHint().height());

    m_runner.setReportMessages(false);
    connect(&m_runner, &sv::DOSOutputs::ReceiveOutputs, this, &frmWritingCD::ReceiveOutputs);
    connect(cmdCDCancel, &QPushButton::clicked, this, &frmWritingCD::cmdCDCancel_Click);
    m_killTimer.setSingleShot(true);
    m_killTimer.setInterval(KillAfterMs);
    connect(&m_killTimer, &QTimer::timeout, &m_runner, &sv::DOSOutputs::Cancel);
}

frmWritingCD::~frmWritingCD() = default;

sv::CdRunResult frmWritingCD::Run(const QString& program, const QStringList& arguments)
{
    sv::CdRunResult result;
    m_canceled = false;
    m_tail.clear();
    cmdCDCancel->setEnabled(true);
    show();
    raise();
    activateWindow();
    m_runner.ExecuteCommand(program, arguments);
    m_killTimer.stop();
    hide();
    if (m_runner.lastFailure() != sv::RunnerFailure::None) {
        result.error = m_runner.lastMessage();
        return result;
    }
    result.started = true;
    result.canceled = m_canceled;
    result.exitCode = m_runner.exitCode();
    return result;
}

void frmWritingCD::cmdCDCancel_Click()
{
    if (!m_runner.isRunning() || m_canceled)
        return;
    m_canceled = true;
    cmdCDCancel->setEnabled(false);
    lblCDStatus->setText(QStringLiteral("Cancelling..."));
    // A polite stop lets the writer end its session and report the cancel;
    // the runner's own cancel would kill it at once.
    if (auto* proc = m_runner.findChild<QProcess*>())
        proc->terminate();
    m_killTimer.start();
}

void frmWritingCD::closeEvent(QCloseEvent* e)
{
    // The window goes when the writer has ended; closing it asks to cancel.
    if (m_runner.isRunning()) {
        cmdCDCancel_Click();
        e->ignore();
        return;
    }
    e->accept();
}

void frmWritingCD::ReceiveOutputs(const QString& piece)
{
    const QString text = m_tail + piece;
    qsizetype lastBreak = -1;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        if (text[i] == QLatin1Char('\n') || text[i] == QLatin1Char('\r')) {
            lastBreak = i;
            break;
        }
    }
    // The final, empty piece comes when the writer has ended: what is left
    // over is a whole line too.
    const QString complete = piece.isEmpty() ? text : text.left(lastBreak + 1);
    m_tail = piece.isEmpty() ? QString() : text.mid(lastBreak + 1).right(1024);

    const QStringList lines = complete.split(QRegularExpression(QStringLiteral("[\r\n]")), Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QString line = it->trimmed();
        if (!line.isEmpty()) {
            if (!m_canceled)
                lblCDStatus->setText(line);
            break;
        }
    }
    const int percent = sv::ParseCdBurnerPercent(complete);
    if (percent >= 0) {
        barCDProgress->setRange(0, 100);
        barCDProgress->setValue(percent);
    }
}
