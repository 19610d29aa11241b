#pragma once
// The copy or move of finished files with a progress dialog, asking before an
// existing file is replaced. Same results as ShellFileOperation.
#include "output/FileOperation.h"

class QWidget;

namespace sv {

QString ShellFileOperation(QWidget* owner, const QStringList& files, const QString& destination, FileOp op,
                           const QString& title);

} // namespace sv
