#pragma once
// sonivault-cli: each area offers its commands through one function that
// returns false when the command is not its own, and otherwise sets the exit
// code (0 success, 1 a failure of the work, 2 bad arguments).
#include <QStringList>
#include <QTextStream>

namespace sv::cli {

QTextStream& out();
QTextStream& err();
// A one-line error for bad arguments; returns 2.
int usageError(const QString& message);

bool RunTracksCommand(const QStringList& args, int& exitCode);
bool RunOutputCommand(const QStringList& args, int& exitCode);
// "encode mp3|wma|flac ...": each in its cli_encode_*.cpp.
bool RunEncodeMp3Command(const QStringList& args, int& exitCode);
bool RunEncodeWmaCommand(const QStringList& args, int& exitCode);
bool RunEncodeFlacCommand(const QStringList& args, int& exitCode);

} // namespace sv::cli
