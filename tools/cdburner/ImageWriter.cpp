#include "Writers.h"

#include "util/modFunctions.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace sv::cd {

volatile std::sig_atomic_t CancelRequested = 0;

namespace {

constexpr qint64 ChunkBytes = 1 << 20;

QString Cancelled()
{
    return QStringLiteral("Writing the CD image was cancelled.");
}

// Why the image cannot go to cuePath ("" when it can): a BIN name the sheet
// cannot carry, a missing folder, too little room.
QString CheckImageTarget(const CdPlan& plan, const QString& cuePath, const QString& binName)
{
    // The sheet names the BIN in quotes and other burning programs know no
    // escapes: a name that cannot be written back exactly is refused.
    for (const QChar c : binName) {
        if (c == u'"' || c.unicode() < 0x20 || c.unicode() > 0xff)
            return QStringLiteral("The image name %1 cannot be used in a CUE sheet; please choose a name "
                                  "without quotes or special characters.")
                .arg(binName);
    }
    const QString folder = QFileInfo(cuePath).absolutePath();
    if (!FolderExists(folder))
        return QStringLiteral("The folder %1 for the CD image cannot be found.").arg(folder);

    const qint64 binBytes = plan.trackSectors * SectorBytes;
    const std::int64_t free = GetFreeSpaceOf(folder);
    if (free > 0 && free < binBytes + 65536)
        return QStringLiteral("The CD image needs %1, but only %2 are free in %3.")
            .arg(FormatBytes(double(binBytes)), FormatBytes(double(free)), folder);
    return {};
}

// Every track's audio into bin, each padded with zeros to whole sectors;
// progress from 0 to the last whole percent.
QString WriteTrackData(const CdPlan& plan, QSaveFile& bin, const QString& binPath, const Percent& progress, int& shown)
{
    const qint64 binBytes = plan.trackSectors * SectorBytes;
    qint64 written = 0;
    if (progress)
        progress(0);
    QByteArray buffer;
    for (const CdTrack& t : plan.tracks) {
        QFile in(t.file);
        if (!in.open(QIODevice::ReadOnly) || !in.seek(t.dataOffset))
            return QStringLiteral("Track %1: the file %2 cannot be read.").arg(t.number).arg(t.file);
        qint64 left = t.dataBytes;
        while (left > 0) {
            if (CancelRequested)
                return Cancelled();
            buffer.resize(qMin(left, ChunkBytes));
            const qint64 got = in.read(buffer.data(), buffer.size());
            if (got != buffer.size())
                return QStringLiteral("Track %1: the file %2 ended early or could not be read.")
                    .arg(t.number)
                    .arg(t.file);
            if (bin.write(buffer) != got)
                return QStringLiteral("Writing the CD image %1 failed: %2").arg(binPath, bin.errorString());
            left -= got;
            written += got;
            const int percent = int(written * 100 / qMax<qint64>(binBytes, 1));
            if (percent != shown && progress) {
                shown = percent;
                progress(percent);
            }
        }
        const qint64 pad = t.sectors * SectorBytes - t.dataBytes;
        if (pad > 0) {
            if (bin.write(QByteArray(int(pad), '\0')) != pad)
                return QStringLiteral("Writing the CD image %1 failed: %2").arg(binPath, bin.errorString());
            written += pad;
        }
    }
    return {};
}

} // namespace

QString BinPathFor(const QString& cuePath)
{
    if (cuePath.endsWith(QStringLiteral(".cue"), Qt::CaseInsensitive))
        return cuePath.left(cuePath.size() - 4) + QStringLiteral(".bin");
    return cuePath + QStringLiteral(".bin");
}

QString WriteImage(const CdPlan& plan, const QString& cuePath, const Percent& progress)
{
    const QString binPath = BinPathFor(cuePath);
    const QString binName = QFileInfo(binPath).fileName();
    if (const QString why = CheckImageTarget(plan, cuePath, binName); !why.isEmpty())
        return why;
    const QByteArray cue = CueSheet(plan, binName);

    QSaveFile bin(binPath);
    bin.setDirectWriteFallback(false);
    if (!bin.open(QIODevice::WriteOnly))
        return QStringLiteral("The CD image %1 cannot be created: %2").arg(binPath, bin.errorString());
    int shown = 0;
    if (const QString why = WriteTrackData(plan, bin, binPath, progress, shown); !why.isEmpty())
        return why;

    QSaveFile sheet(cuePath);
    sheet.setDirectWriteFallback(false);
    if (!sheet.open(QIODevice::WriteOnly) || sheet.write(cue) != cue.size())
        return QStringLiteral("The CUE sheet %1 cannot be written: %2").arg(cuePath, sheet.errorString());
    if (CancelRequested)
        return Cancelled();
    if (!bin.commit())
        return QStringLiteral("Writing the CD image %1 failed: %2").arg(binPath, bin.errorString());
    if (!sheet.commit()) {
        // The BIN just written is ours; without its sheet it is of no use.
        QFile::remove(binPath);
        return QStringLiteral("The CUE sheet %1 cannot be written: %2").arg(cuePath, sheet.errorString());
    }
    if (progress && shown != 100)
        progress(100);
    return {};
}

} // namespace sv::cd
