// Reading a WAV file's format for playback: the chunk walk is the shared
// reader's (tst_wavreader); here what playback takes beyond the split's
// formats, and how a short or odd file is trimmed to whole frames.
#include "support/TestEnv.h"

#include "audioin/engine/DeviceObjects.h"

#include <QFile>
#include <QTest>

using namespace sv::audio;

namespace {

QByteArray le32(quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); }
QByteArray le16(quint16 v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); }

QByteArray fmtChunk(quint16 tag, int channels, int rate, int bits)
{
    const int align = channels * bits / 8;
    return "fmt " + le32(16) + le16(tag) + le16(quint16(channels)) + le32(quint32(rate))
        + le32(quint32(rate * align)) + le16(quint16(align)) + le16(quint16(bits));
}

QByteArray riff(const QByteArray& body) { return "RIFF" + le32(quint32(body.size() + 4)) + "WAVE" + body; }

} // namespace

class TestPlayWav : public QObject {
    Q_OBJECT
    svtest::TestEnv m_env;

    QString write(const QByteArray& bytes)
    {
        const QString path = m_env.tmp() + QStringLiteral("f.wav");
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return path;
    }

private Q_SLOTS:
    void formats_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("dataOffset");
        QTest::addColumn<qint64>("frames");
        QTest::addColumn<int>("bits");

        const QByteArray pcm4(4 * 100, '\x01'); // 100 stereo 16-bit frames
        QTest::newRow("canonical") << riff(fmtChunk(1, 2, 44100, 16) + "data" + le32(400) + pcm4) << true
                                   << qint64(44) << qint64(100) << 16;
        QTest::newRow("data size beyond the file is trimmed")
            << riff(fmtChunk(1, 2, 44100, 16) + "data" + le32(4000) + pcm4) << true << qint64(44) << qint64(100) << 16;
        QTest::newRow("partial last frame dropped")
            << riff(fmtChunk(1, 2, 44100, 16) + "data" + le32(402) + pcm4 + "xy") << true << qint64(44) << qint64(100) << 16;
        QTest::newRow("float") << riff(fmtChunk(3, 1, 48000, 32) + "data" + le32(400) + pcm4) << true << qint64(44)
                               << qint64(100) << 32;
        QTest::newRow("24-bit") << riff(fmtChunk(1, 2, 44100, 24) + "data" + le32(600) + QByteArray(600, 0)) << true
                                << qint64(44) << qint64(100) << 24;
        QTest::newRow("compressed") << riff(fmtChunk(2, 2, 44100, 4) + "data" + le32(400) + pcm4) << false << qint64(0)
                                    << qint64(0) << 0;
        QTest::newRow("zero channels") << riff(fmtChunk(1, 0, 44100, 16) + "data" + le32(400) + pcm4) << false
                                       << qint64(0) << qint64(0) << 0;
        QTest::newRow("missing file") << QByteArray() << false << qint64(0) << qint64(0) << 0;
    }

    void formats()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, ok);
        PlayWavInfo info;
        QString error;
        const QString path = file.isEmpty() ? m_env.tmp() + QStringLiteral("none.wav") : write(file);
        QCOMPARE(ReadPlayWavInfo(path, &info, &error), ok);
        if (!ok) {
            QVERIFY(!error.isEmpty());
            if (file.isEmpty())
                QCOMPARE(error, QStringLiteral("File not found"));
            return;
        }
        QFETCH(qint64, dataOffset);
        QFETCH(qint64, frames);
        QFETCH(int, bits);
        QCOMPARE(qint64(info.dataOffset), dataOffset);
        QCOMPARE(qint64(info.frames()), frames);
        QCOMPARE(info.bits, bits);
        QCOMPARE(info.dataBytes, info.frames() * info.blockAlign);
    }
};

QTEST_GUILESS_MAIN(TestPlayWav)
#include "tst_play_wav.moc"
