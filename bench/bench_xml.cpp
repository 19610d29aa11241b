// Times of the settings store:
// - one XMLGetValue and one XMLSetValue on a 200-section file (the size of a
//   long track index), median of many runs;
// - the profile list as start-up reads it (LastUsed, every section, every
//   name, then the selected profile's four keys) with 1000 and 4000 profiles,
//   on a file last changed a while ago and on one just written.
// Only the store's public calls are used, so the same source measures any
// version of the store. bench_xml [RUNS [first]] sets the runs of the profile
// lists; "first" times only the first read (for a slow store).
#include "settings/modXML.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <ctime>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A profiles.xml of n profiles, written in one go in the store's layout.
bool writeProfiles(const QString& file, int n)
{
    QByteArray d = "<XML Version=\"Quarrydale\">\r\n<Param Name=\"LastUsed\" Value=\"0\" />\r\n";
    for (int i = 0; i < n; ++i) {
        const QByteArray s = "Profile" + QByteArray::number(i);
        d += "<" + s + ">\r\n     <Param Name=\"ProfileName\" Value=\"Tape " + QByteArray::number(i)
            + "\" />\r\n<Param Name=\"Description\" Value=\"Side A and B\x01with a pause\" />\r\n"
              "<Param Name=\"RecordLength\" Value=\"90\" />\r\n<Param Name=\"Pause\" Value=\"45\" />\r\n</"
            + s + ">\r\n";
    }
    d += "</XML>\r\n";
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(d) == d.size();
}

void age(const QString& file)
{
    const timespec t[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), t, 0);
}

// What the profile page does at start-up; returns the number of names.
int startupRead(const QString& file)
{
    (void)sv::XMLGetValue("LastUsed", "", file, "0");
    QStringList sections;
    sv::XMLListSections(sections, file);
    int names = 0;
    for (const QString& s : sections)
        names += !sv::XMLGetValue("ProfileName", s, file, "").isEmpty();
    for (const char* key : {"ProfileName", "Description", "RecordLength", "Pause"})
        (void)sv::XMLGetValue(key, "Profile0", file, "");
    return names;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = dir.path() + "/bench.xml";
    sv::XMLCreateFile(file);
    for (int i = 0; i < 200; ++i) {
        const QString s = "Track" + QString::number(i);
        sv::XMLSetValue("Track " + QString::number(i + 1) + ".wav", "Filename", s, file);
        sv::XMLSetValue("Song number " + QString::number(i + 1), "Name", s, file);
        sv::XMLSetValue("180", "Length", s, file);
    }
    std::vector<double> get, set;
    QElapsedTimer t;
    for (int i = 0; i < 100; ++i) {
        t.start();
        if (!sv::XMLSetValue(QString::number(i), "Length", "Track100", file))
            return 1;
        set.push_back(t.nsecsElapsed() / 1e3);
    }
    age(file);
    for (int i = 0; i < 200; ++i) {
        t.start();
        const QString v = sv::XMLGetValue("Name", "Track199", file, "");
        get.push_back(t.nsecsElapsed() / 1e3);
        if (v.isEmpty())
            return 1;
    }
    std::printf("XMLGetValue, last of 200 sections: median %.0f us\n", median(get));
    std::printf("XMLSetValue, middle of 200 sections (written to disk with fsync): median %.0f us\n", median(set));

    const bool firstOnly = argc > 2 && std::strcmp(argv[2], "first") == 0;
    for (int n : {1000, 4000}) {
        const QString profiles = dir.path() + "/profiles" + QString::number(n) + ".xml";
        if (!writeProfiles(profiles, n))
            return 1;
        age(profiles);
        const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : (n <= 1000 ? 5 : 3);
        std::vector<double> cold, warm, written;
        for (int r = 0; r < runs; ++r) {
            // A fresh copy each run: nothing of it is cached yet.
            const QString copy = profiles + ".run" + QString::number(r);
            QFile::copy(profiles, copy);
            age(copy);
            t.start();
            if (startupRead(copy) != n)
                return 1;
            cold.push_back(t.nsecsElapsed() / 1e6);
            if (firstOnly) {
                warm.push_back(0);
                written.push_back(0);
                continue;
            }
            t.start();
            startupRead(copy);
            warm.push_back(t.nsecsElapsed() / 1e6);
            // Right after a write of its own (the page after adding a profile).
            sv::XMLSetValue("1", "LastUsed", "", copy);
            t.start();
            startupRead(copy);
            written.push_back(t.nsecsElapsed() / 1e6);
            QFile::remove(copy);
        }
        std::printf("Profile list of %d profiles: first read %.1f ms, again %.1f ms, right after a write %.1f ms "
                    "(median of %d)\n",
                    n, median(cold), median(warm), median(written), runs);
    }
    return 0;
}
