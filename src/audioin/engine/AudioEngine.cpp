#include "audioin/engine/AudioEngine.h"

#include "audioin/engine/CaptureSink.h"

#include <QMetaObject>
#include <QPointer>

namespace sv::audio {

RecordObject::RecordObject(QObject* parent) : QObject(parent) {}

RecordObject::~RecordObject()
{
    // Backends stop their streams in their own destructors; make sure the file is closed.
    if (m_sink)
        m_sink->close();
}

void RecordObject::SetFileName(const QString& path) { m_fileName = path; }
void RecordObject::SetPreviewFileName(const QString& path) { m_fileName = path; }

void RecordObject::StartCapture(int channels, int rate)
{
    if (m_streaming)
        finishCapture(false);
    if (m_fileName.isEmpty())
        throw AudioError(5, QStringLiteral("No file was named for the capture."));
    auto sink = std::make_unique<CaptureSink>();
    QString error;
    if (!sink->open(m_fileName, channels, rate, &error))
        throw AudioError(75, QStringLiteral("Cannot write %1: %2").arg(m_fileName, error));
    QPointer<RecordObject> self(this);
    sink->onFailure = [self](const QString& reason) {
        QMetaObject::invokeMethod(
            self.data(), [self, reason] {
                if (self)
                    self->reportFailure(reason);
            },
            Qt::QueuedConnection);
    };
    m_sink = std::move(sink);
    try {
        startStream(m_sink.get(), channels, rate);
    } catch (...) {
        m_sink->close();
        m_sink.reset();
        throw;
    }
    m_streaming = true;
    Q_EMIT CaptureStarted();
}

void RecordObject::finishCapture(bool emitCompleted)
{
    if (!m_streaming)
        return;
    m_streaming = false;
    stopStream();
    if (m_sink)
        m_sink->close();
    if (emitCompleted)
        Q_EMIT CaptureCompleted();
}

void RecordObject::StopCapture() { finishCapture(true); }

void RecordObject::reportFailure(const QString& reason)
{
    if (!m_streaming)
        return;
    finishCapture(false);
    Q_EMIT CaptureFailed(reason);
}

void RecordObject::PauseCapture()
{
    if (!m_streaming || !m_sink || m_sink->paused())
        return;
    m_sink->setPaused(true);
    Q_EMIT CapturePaused();
}

void RecordObject::ResumeCapture()
{
    if (!m_streaming || !m_sink || !m_sink->paused())
        return;
    m_sink->setPaused(false);
    Q_EMIT CaptureResumed();
}

bool RecordObject::IsCapturing() const { return m_streaming; }
bool RecordObject::IsPaused() const { return m_streaming && m_sink && m_sink->paused(); }

double RecordObject::GetRecordedSeconds() const
{
    return m_sink && m_sink->rate() > 0 ? double(m_sink->frames()) / m_sink->rate() : 0.0;
}

qint64 RecordObject::FramesWritten() const { return m_sink ? m_sink->frames() : 0; }

int RecordObject::GetLevel1() const { return m_streaming && m_sink ? m_sink->level(0) : 0; }
int RecordObject::GetLevel2() const { return m_streaming && m_sink ? m_sink->level(1) : 0; }

} // namespace sv::audio
