#include "output/Playlists.h"

#include "output/TrackTags.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"

#include <QFileInfo>
#include <QSaveFile>

namespace sv {

namespace {

const QByteArray kEol = QByteArrayLiteral("\r\n");

QByteArray line(const QString& text)
{
    return text.toUtf8() + kEol;
}

QString q(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool writeAll(const QString& path, const QByteArray& data, QString* error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

QString fileName(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

QString PlaylistPath(const QString& outputFolder, const QString& recordingName, const QString& ext)
{
    return AddSlash(outputFolder) + SafeFilename(recordingName) + ext;
}

QByteArray M3UPlaylistText(const QStringList& files, const QString& outputFolder)
{
    QByteArray out;
    for (const QString& f : files)
        out += line(AddSlash(outputFolder) + fileName(f));
    return out;
}

bool WriteM3UPlaylist(const QString& path, const QStringList& files, const QString& outputFolder, QString* error)
{
    return writeAll(path, M3UPlaylistText(files, outputFolder), error);
}

QString AsxEscape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char('&'))
            out += QStringLiteral("&amp;");
        else if (c == QLatin1Char('<'))
            out += QStringLiteral("&lt;");
        else if (c == QLatin1Char('"'))
            out += QStringLiteral("&quot;");
        else
            out += c;
    }
    return out;
}

QString ParamName(const QString& name, const QString& value)
{
    return QStringLiteral("<Param Name = ") + q(AsxEscape(name)) + QStringLiteral(" Value = ") + q(AsxEscape(value)) +
           QStringLiteral(" />");
}

QByteArray ASXPlaylistText(const QString& indexPath, const QString& recordingName, const QStringList& files,
                           const QString& outputFolder, bool inOutputFolder)
{
    QByteArray out;
    out += line(QStringLiteral("<Asx Version = ") + q(QStringLiteral("3.0")) + QStringLiteral(" >"));
    out += line(QStringLiteral("<Title > ") + AsxEscape(recordingName) + QStringLiteral("</Title>"));
    out += line(QStringLiteral("<Param name = ") + q(QStringLiteral("AllowShuffle")) + QStringLiteral(" value = ") +
                q(QStringLiteral("yes")) + QStringLiteral(" />"));
    out += line(QStringLiteral("<Param name = ") + q(QStringLiteral("encoding")) + QStringLiteral(" value = ") +
                q(QStringLiteral("UTF-8")) + QStringLiteral(" />"));
    const int n = IndexTrackCount(indexPath);
    for (int k = 1; k <= n; ++k) {
        auto field = [&](const char* key, const QString& def = QString()) {
            return StoredTrackValue(indexPath, k, QLatin1String(key)).value_or(def);
        };
        out += line(QStringLiteral("<Entry>"));
        out += line(QStringLiteral("<Title > ") + AsxEscape(field("Name", QStringLiteral("Track ") + QString::number(k))) +
                    QStringLiteral("</Title>"));
        QString ref = files.value(k - 1);
        if (!ref.isEmpty() && inOutputFolder)
            ref = AddSlash(outputFolder) + fileName(ref);
        if (!ref.isEmpty()) {
            out += line(ParamName(QStringLiteral("SourceURL"), ref));
            out += line(QStringLiteral("<Ref href = ") + q(AsxEscape(ref)) + QStringLiteral(" />"));
        }
        if (const QString v = field("Copyright"); !v.isEmpty())
            out += line(ParamName(QStringLiteral("Copyright"), v));
        if (const QString v = field("Artist"); !v.isEmpty())
            out += line(ParamName(QStringLiteral("Author"), v));
        if (const QString v = field("Description"); !v.isEmpty())
            out += line(ParamName(QStringLiteral("Description"), v));
        out += line(QStringLiteral("</Entry>"));
    }
    out += line(QStringLiteral("</Asx>"));
    return out;
}

bool WriteASXPlaylist(const QString& path, const QString& indexPath, const QString& recordingName,
                      const QStringList& files, const QString& outputFolder, bool inOutputFolder, QString* error)
{
    return writeAll(path, ASXPlaylistText(indexPath, recordingName, files, outputFolder, inOutputFolder), error);
}

} // namespace sv
