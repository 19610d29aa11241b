#include "output/EncoderFailure.h"

namespace sv {

QString EncoderFailureText(const JobResult& r, const QString& format, const QString& program)
{
    switch (r.code) {
    case EncoderCode::Missing:
        return QStringLiteral("The %1 encoder can't be found. Please reinstall Sonivault. STR=").arg(format) + r.detail;
    case EncoderCode::Failed:
        return QStringLiteral("Compressing the file failed: ") + r.detail + QStringLiteral("  In ") + program;
    case EncoderCode::NotCreated:
        return QStringLiteral("The compressed file was not created. Commandline= ") + r.detail;
    default:
        return QString();
    }
}

QString MoveFailureText(const QString& why)
{
    return QStringLiteral("Error moving or copying files. ") + why;
}

} // namespace sv
