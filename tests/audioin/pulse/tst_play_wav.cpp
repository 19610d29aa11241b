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
    // Every readable file here holds 100 frames from byte 44; bits 0: refused.
    void formats_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("bits");
        const QByteArray pcm4(4 * 100, '\x01'); // 100 stereo 16-bit frames
        const auto row = [](const char* name, const QByteArray& file, int bits) { QTest::newRow(name) << file << bits; };
        row("canonical", riff(fmtChunk(1, 2, 44100, 16) + "data" + le32(400) + pcm4), 16);
        row("data size beyond the file is trimmed", riff(fmtChunk(1, 2, 44100, 16) + "data" + le32(4000) + pcm4), 16);
        row("partial last frame dropped", riff(fmtChunk(1, 2, 44100, 16) + "data" + le32(402) + pcm4 + "xy"), 16);
        row("float", riff(fmtChunk(3, 1, 48000, 32) + "data" + le32(400) + pcm4), 32);
        row("24-bit", riff(fmtChunk(1, 2, 44100, 24) + "data" + le32(600) + QByteArray(600, 0)), 24);
        row("compressed", riff(fmtChunk(2, 2, 44100, 4) + "data" + le32(400) + pcm4), 0);
        row("zero channels", riff(fmtChunk(1, 0, 44100, 16) + "data" + le32(400) + pcm4), 0);
        row("missing file", QByteArray(), 0);
    }

    void formats()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, bits);
        PlayWavInfo info;
        QString error;
        const QString path = file.isEmpty() ? m_env.tmp() + QStringLiteral("none.wav") : write(file);
        QCOMPARE(ReadPlayWavInfo(path, &info, &error), bits > 0);
        if (bits == 0) {
            QVERIFY(!error.isEmpty());
            if (file.isEmpty())
                QCOMPARE(error, QStringLiteral("File not found"));
            return;
        }
        QCOMPARE(qint64(info.dataOffset), qint64(44));
        QCOMPARE(qint64(info.frames()), qint64(100));
        QCOMPARE(info.bits, bits);
        QCOMPARE(info.dataBytes, info.frames() * info.blockAlign);
    }
};

QTEST_GUILESS_MAIN(TestPlayWav)
#include "tst_play_wav.moc"
