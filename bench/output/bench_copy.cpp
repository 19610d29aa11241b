// Throughput of the WAV copy (ShellFileOperation) against cp, and the time to
// write the track index. Usage: bench_copy [total MiB, default 256] [runs, default 5]
// Files go to TMPDIR (or the system temporary folder).
#include "output/FileOperation.h"
#include "output/TrackFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

using namespace sv;

namespace {

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    const qint64 mib = a.size() > 1 ? a[1].toLongLong() : 256;
    const int runs = a.size() > 2 ? a[2].toInt() : 5;
    QTextStream out(stdout);

    QTemporaryDir dir(QDir::tempPath() + "/sonivault-bench-XXXXXX");
    const QString src = dir.path() + "/rec/";
    QDir().mkpath(src);
    // Twelve tracks of a side, as a split leaves them.
    const int tracks = 12;
    QStringList files;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < block.size(); ++i)
        block[i] = char((i * 131) >> 3);
    for (int t = 1; t <= tracks; ++t) {
        QFile f(TrackFilePath(src, t));
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        for (qint64 m = 0; m < mib / tracks; ++m)
            f.write(block);
        files << f.fileName();
    }
    const double bytes = double(mib / tracks * tracks) * 1024 * 1024;

    QList<double> ours, cp, cpSync;
    for (int r = 0; r < runs; ++r) {
        const QString d1 = dir.path() + "/ours", d2 = dir.path() + "/cp", d3 = dir.path() + "/cpsync";
        for (const QString& d : {d1, d2, d3}) {
            QDir(d).removeRecursively();
            QDir().mkpath(d);
        }
        QElapsedTimer t;
        t.start();
        if (!ShellFileOperation(files, d1, FileOp::Copy).isEmpty())
            return 1;
        ours << t.nsecsElapsed() / 1e9;
        t.restart();
        if (!run("cp", files + QStringList{d2}))
            return 1;
        cp << t.nsecsElapsed() / 1e9;
        t.restart();
        QStringList copied;
        for (int i = 1; i <= tracks; ++i)
            copied << d3 + "/" + TrackFileName(i);
        if (!run("cp", files + QStringList{d3}) || !run("sync", copied))
            return 1;
        cpSync << t.nsecsElapsed() / 1e9;
    }
    auto mbps = [&](double s) { return QString::number(bytes / s / 1e6, 'f', 0); };
    out << "copy of " << tracks << " tracks, " << mib / tracks * tracks << " MiB, median of " << runs << " runs\n";
    out << "  ShellFileOperation: " << mbps(median(ours)) << " MB/s\n";
    out << "  cp:                 " << mbps(median(cp)) << " MB/s\n";
    out << "  cp + sync of files: " << mbps(median(cpSync)) << " MB/s\n";

    for (int n : {12, 99}) {
        QList<double> idx;
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer t;
            t.start();
            if (!WriteRecordingIndex(src, n))
                return 1;
            idx << t.nsecsElapsed() / 1e6;
        }
        out << "WriteRecordingIndex, " << n << " tracks: " << QString::number(median(idx), 'f', 1) << " ms\n";
    }
    return 0;
}
