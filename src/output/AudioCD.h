#pragma once
// The audio CD output: which command writes the CD, and how its run ended.
#include <QString>
#include <QStringList>

namespace sv {

// "cd_fail.txt" in the user data folder: the writer leaves it when it fails.
QString CdFailPath();

// The writer's program and arguments. setting is the CDBurner key of Paths:
// when set it is the whole command line, split as a command line is (quotes
// group, no shell); otherwise the writer in the program folder gets the
// index path as its one argument. Empty when the setting has no program.
QStringList CdBurnerCommand(const QString& setting, const QString& programFolder, const QString& indexPath);

// How one run of the writer ended.
struct CdRunResult {
    bool started = false;  // the program ran at all
    bool canceled = false; // the user stopped it
    int exitCode = -1;     // -1 when it crashed, was killed or did not start
    QString error;         // why it did not start
};

// Whether the CD was written: the writer ran, was not stopped, ended
// normally, and left no failure report.
bool CdWritten(const CdRunResult& run, bool failReportExists);

} // namespace sv
