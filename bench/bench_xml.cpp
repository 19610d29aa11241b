// Time of one XMLGetValue and one XMLSetValue on a 200-section file (the
// size of a long track index), median of many runs.
#include "settings/modXML.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

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
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::vector<double> get, set;
    QElapsedTimer t;
    for (int i = 0; i < 200; ++i) {
        t.start();
        const QString v = sv::XMLGetValue("Name", "Track199", file, "");
        get.push_back(t.nsecsElapsed() / 1e3);
        if (v.isEmpty())
            return 1;
    }
    for (int i = 0; i < 100; ++i) {
        t.start();
        if (!sv::XMLSetValue(QString::number(i), "Length", "Track100", file))
            return 1;
        set.push_back(t.nsecsElapsed() / 1e3);
    }
    std::printf("XMLGetValue, last of 200 sections: median %.0f us\n", median(get));
    std::printf("XMLSetValue, middle of 200 sections (written to disk with fsync): median %.0f us\n", median(set));
    return 0;
}
