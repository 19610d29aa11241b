// The WAV header reader: which files it takes, where it finds the audio, how it refuses the rest.
#include "support/TestEnv.h"
#include "tracks/WavGen.h"

#include "tracks/modWaveSplit.h"

#include <QtTest>

#include <sys/stat.h>

using namespace sv;
using namespace svtest;

namespace {

// A "fmt " chunk; tag 0xFFFE gets the extensible tail with subTag inside.
QByteArray fmtChunk(int tag, int channels, int rate, int bits, int subTag = 1)
{
    QByteArray f = fmtBody(WavSpec{channels, rate, bits, tag});
    if (tag == 0xFFFE) {
        le(f, 22, 2);
        le(f, std::uint32_t(bits), 2);
        le(f, 3, 4);
        le(f, std::uint32_t(subTag), 2);
        f += QByteArray::fromHex("000000001000800000aa00389b71");
    }
    return chunk("fmt ", f);
}

QByteArray riff(const QByteArray& chunks, const char* magic = "RIFF")
{
    QByteArray b(magic, 4);
    le(b, std::uint32_t(4 + chunks.size()), 4);
    return b + "WAVE" + chunks;
}

QByteArray dataChunk(int bytes)
{
    QByteArray d("data");
    le(d, std::uint32_t(bytes), 4);
    return d + QByteArray(bytes, '\x11');
}

} // namespace

class TestWavReader : public QObject {
    Q_OBJECT
    TestEnv env;

    WaveStatus read(const QByteArray& bytes, WaveHeader& h, QString* why = nullptr)
    {
        return ReadWaveHeader(env.writeFile("r.wav", bytes), h, why);
    }

private Q_SLOTS:
    // Chunks before the audio are walked over by their sizes; a "data" inside a comment is not audio.
    void accepted()
    {
        struct Row { const char* name; QByteArray file; int dataStart, frames; };
        const QByteArray fmt = fmtChunk(1, 2, 8000, 16);
        const QByteArray d = dataChunk(400);
        const QByteArray meta = chunk("LIST", "INFOICMTmetadata and bad data here");
        const QByteArray junk = chunk("JUNK", QByteArray(4096, 'd'));
        const QByteArray odd = chunk("bext", "abc"); // 3 bytes + pad
        QByteArray ds64;
        le(ds64, 0, 4), le(ds64, 0, 4), le(ds64, 80, 4), le(ds64, 0, 4), le(ds64, 0, 4), le(ds64, 0, 4), le(ds64, 0, 4);
        const Row rows[] = {
            {"canonical", riff(fmt + d), 45, 100},
            {"LIST with 'data' text", riff(fmt + meta + d), int(45 + meta.size()), 100},
            {"4 KiB JUNK before fmt", riff(junk + fmt + d), int(45 + junk.size()), 100},
            {"odd-sized chunk padded", riff(fmt + odd + d), 45 + 12, 100},
            {"extensible PCM", riff(fmtChunk(0xFFFE, 2, 8000, 16) + d), 45 + 24, 100},
            {"mono 8-bit", riff(fmtChunk(1, 1, 8000, 8) + d), 45, 400},
            {"data size beyond the file", riff(fmt + d.left(8) + QByteArray(40, 0)).replace(40, 4, QByteArray("\xff\xff\x00\x00", 4)), 45, 10},
            {"streaming size 0xFFFFFFFF", riff(fmt + d).replace(40, 4, "\xff\xff\xff\xff"), 45, 100},
            {"RF64 with ds64", riff(chunk("ds64", ds64) + fmt + d, "RF64").replace(12 + 36 + 24 + 4, 4, "\xff\xff\xff\xff"), 45 + 36, 20},
        };
        for (const Row& r : rows) {
            WaveHeader h;
            QVERIFY2(read(r.file, h) == WaveStatus::Ok, r.name);
            QVERIFY2(h.DataStart == r.dataStart && h.Frames == r.frames, r.name);
        }
    }

    // Other formats are named in the reason; broken headers are corrupted.
    void refused()
    {
        struct Row { QByteArray file; int status; QString reason; };
        const QByteArray d = dataChunk(400);
        const int U = int(WaveStatus::Unsupported), C = int(WaveStatus::Corrupted);
        const Row rows[] = {
            {riff(fmtChunk(7, 1, 8000, 8) + d), U, QString::fromUtf8("μ-law")},
            {riff(fmtChunk(3, 2, 8000, 32) + d), U, "floating-point"},
            {riff(fmtChunk(0xFFFE, 2, 8000, 32, 3) + d), U, "floating-point"}, // extensible float
            {riff(fmtChunk(1, 2, 8000, 16) + d, "RIFX"), U, "RIFX"},
            {riff(fmtChunk(1, 2, 8000, 24) + d), U, "24-bit"},
            {riff(fmtChunk(1, 6, 8000, 16) + d), U, "6-channel"},
            {QByteArray("fmt ") + QByteArray(60, 0), C, "not a WAV"},
            {riff(fmtChunk(1, 2, 0, 16) + d), C, "sample rate"},
            {riff(fmtChunk(1, 2, 8000, 16).replace(20, 2, QByteArray("\x03\x00", 2)) + d), C, "block align"},
            {riff(chunk("fmt ", QByteArray(10, 0)) + d), C, "cut short"},
            {riff(d + fmtChunk(1, 2, 8000, 16)), C, "before its format"},
            {riff(fmtChunk(1, 2, 8000, 16) + chunk("LIST", "x")), C, "no data"},
            {riff(chunk("JUNK", "x").replace(4, 4, "\0\0\0\x7f") + fmtChunk(1, 2, 8000, 16) + d), C, "no fmt"}, // chunk size past the end
        };
        for (const Row& r : rows) {
            WaveHeader h;
            QString why;
            QVERIFY2(int(read(r.file, h, &why)) == r.status && why.contains(r.reason), qPrintable(why));
        }
    }
    // Over 4 GiB from another recorder: the 32-bit size wrapped; a trailing chunk is not audio.
    void wrappedSizeOver4GiB()
    {
        const std::int64_t audio = (std::int64_t(5) << 30) + 400, trailing = 26;
        const QByteArray head = riff(fmtChunk(1, 2, 44100, 16) + dataChunk(0)).replace(40, 4, QByteArray(4, 0));
        QByteArray field;
        le(field, std::uint32_t(audio & 0xffffffff), 4);
        const QByteArray bytes = QByteArray(head).replace(40, 4, field);
        const WaveReadAt at = [&](std::int64_t off, char* buf, std::int64_t len) -> std::int64_t {
            const std::int64_t n = std::max<std::int64_t>(0, std::min<std::int64_t>(len, bytes.size() - off));
            memcpy(buf, bytes.constData() + off, size_t(n));
            return n;
        };
        WaveHeader h;
        QCOMPARE(ParseWaveHeader(at, 44 + audio + trailing, h), WaveStatus::Ok);
        QCOMPARE(h.DataSize, audio);
        QCOMPARE(h.Frames, audio / 4);
    }

    // A FIFO would block the reader forever, a device never ends.
    void nonRegularFilesRefused()
    {
        const QByteArray fifo = QFile::encodeName(env.tmp() + "fifo.wav");
        QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        WaveHeader h;
        QString why;
        QCOMPARE(ReadWaveHeader(QString::fromUtf8(fifo), h, &why), WaveStatus::OpenFailed);
        QVERIFY(why.contains("regular"));
        QCOMPARE(ReadWaveHeader("/dev/zero", h), WaveStatus::OpenFailed);
        QCOMPARE(ReadWaveHeader(env.tmp(), h), WaveStatus::OpenFailed);
        QCOMPARE(ReadWaveHeader(env.tmp() + "missing.wav", h), WaveStatus::OpenFailed);
    }
};

QTEST_GUILESS_MAIN(TestWavReader)
#include "tst_wavreader.moc"
