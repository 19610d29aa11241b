// Writes to a settings file as fast as it can and prints every value the
// store reported as stored, one a line, unbuffered, so a script that kills
// it knows what must be in the file.
//   store_writer counter FILE      Counter in section A: 1, 2, 3, ...; other
//                                  keys around it change too, so the file
//                                  grows and shrinks
//   store_writer keys FILE ID N    keys ID_1 .. ID_N, each once
#include "settings/modXML.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {
void report(const QString& line)
{
    const std::string s = line.toStdString() + "\n";
    (void)!::write(1, s.data(), s.size());
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "counter") == 0) {
        const QString file = QString::fromLocal8Bit(argv[2]);
        int n = sv::XMLGetValue("Counter", "A", file, "0").toInt();
        for (;;) {
            ++n;
            sv::XMLSetValue(QString(n % 50, QLatin1Char('x')), "Filler" + QString::number(n % 7),
                            "B\\" + QString::number(n % 5), file);
            if (sv::XMLSetValue(QString::number(n), "Counter", "A", file))
                report(QString::number(n));
        }
    }
    if (argc >= 5 && std::strcmp(argv[1], "keys") == 0) {
        const QString file = QString::fromLocal8Bit(argv[2]);
        const QString id = QString::fromLocal8Bit(argv[3]);
        const int count = std::atoi(argv[4]);
        for (int i = 1; i <= count; ++i) {
            const QString key = id + "_" + QString::number(i);
            if (sv::XMLSetValue(QString::number(i), key, i % 2 ? "Shared" : "Shared\\Sub", file))
                report(key);
        }
        return 0;
    }
    std::fprintf(stderr, "usage: store_writer counter FILE | store_writer keys FILE ID N\n");
    return 2;
}
