#include "settings/Profiles.h"

#include "settings/modXML.h"
#include "util/modFunctions.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace sv {

namespace {
const QString kName = QStringLiteral("ProfileName");
const QString kDescription = QStringLiteral("Description");
const QString kLength = QStringLiteral("RecordLength");
const QString kPause = QStringLiteral("Pause");
const QChar kLineBreak(1);
} // namespace

QString DefaultProfilesFile()
{
    return UserDataFolder() + QStringLiteral("profiles.xml");
}

bool CopyShippedProfiles(const QString& shipped, const QString& file)
{
    if (QFileInfo::exists(file) || !QFileInfo::exists(shipped))
        return false;
    return QFile::copy(shipped, file);
}

ProfileList ReadProfileList(const QString& file)
{
    ProfileList list;
    // This read also creates the file when it is missing.
    list.lastUsed = int(std::trunc(Val(XMLGetValue(QStringLiteral("LastUsed"), QString(), file, QStringLiteral("0")))));
    XMLListSections(list.sections, file);
    for (const QString& section : list.sections) {
        const QString name = XMLGetValue(kName, section, file, QString());
        if (!name.isEmpty())
            list.names.append(name);
    }
    return list;
}

QString ProfileSection(int index)
{
    return QStringLiteral("Profile") + QString::number(index);
}

Profile ReadProfile(const QString& file, int index)
{
    const QString s = ProfileSection(index);
    Profile p;
    p.name = XMLGetValue(kName, s, file, QString());
    p.description = UnescapeDescription(XMLGetValue(kDescription, s, file, QString()));
    p.recordLength = XMLGetValue(kLength, s, file, QString());
    p.pause = XMLGetValue(kPause, s, file, QString());
    return p;
}

bool WriteProfile(const QString& file, int index, const Profile& p)
{
    const QString s = ProfileSection(index);
    bool ok = XMLSetValue(p.name, kName, s, file);
    ok = XMLSetValue(EscapeDescription(p.description), kDescription, s, file) && ok;
    ok = XMLSetValue(p.recordLength, kLength, s, file) && ok;
    ok = XMLSetValue(p.pause, kPause, s, file) && ok;
    return ok;
}

bool DeleteProfile(const QString& file, int index, int count)
{
    if (index < 0 || index >= count)
        return false;
    bool ok = true;
    // Moved values are copied as stored, so descriptions are not escaped twice.
    for (int j = index; j < count - 1; ++j) {
        const QString from = ProfileSection(j + 1);
        const QString to = ProfileSection(j);
        const QString name = XMLGetValue(kName, from, file, QString());
        const QString description = XMLGetValue(kDescription, from, file, QString());
        const QString pause = XMLGetValue(kPause, from, file, QString());
        const QString length = XMLGetValue(kLength, from, file, QString());
        ok = XMLSetValue(name, kName, to, file) && ok;
        ok = XMLSetValue(description, kDescription, to, file) && ok;
        ok = XMLSetValue(length, kLength, to, file) && ok;
        ok = XMLSetValue(pause, kPause, to, file) && ok;
    }
    return XMLDeleteSection(ProfileSection(count - 1), file) && ok;
}

bool StoreLastUsed(const QString& file, int index)
{
    return XMLSetValue(QString::number(index), QStringLiteral("LastUsed"), QString(), file);
}

QString EscapeDescription(const QString& text)
{
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QString(kLineBreak));
    s.replace(QLatin1Char('\n'), kLineBreak);
    s.replace(QLatin1Char('\r'), kLineBreak);
    return s;
}

QString UnescapeDescription(const QString& stored)
{
    QString s = stored;
    s.replace(kLineBreak, QLatin1Char('\n'));
    return s;
}

QString ProfileSettingsText(double length, double pause)
{
    const QString l = ShortNumber(length);
    if (pause <= 0)
        return QStringLiteral("Records for ") + l + QStringLiteral(" minutes.");
    return QStringLiteral("Records for ") + l + QStringLiteral(" minutes with a pause at ") + ShortNumber(pause)
        + QStringLiteral(" minutes.");
}

QString ShapeMinutes(const QString& text)
{
    if (text.isEmpty())
        return text;
    const double whole = std::trunc(Val(text));
    if (whole == 0 || !std::isfinite(whole))
        return QString();
    return QString::number(qint64(whole));
}

ProfileCheck CheckProfile(const QString& name, const QString& length, bool pauseChecked, const QString& pause)
{
    const auto fail = [](ProfileCheck::Field f, const QString& title, const QString& text) {
        return ProfileCheck{false, f, title, text};
    };
    if (name.isEmpty())
        return fail(ProfileCheck::Name, QStringLiteral("Profile Name"), QStringLiteral("Please enter the profile's name."));
    const double len = Val(length);
    if (len < 5 || len > 150)
        return fail(ProfileCheck::Length, QStringLiteral("Recording Length"),
                    QStringLiteral("The recording length must be between 5 and 150 minutes."));
    if (pauseChecked) {
        const QString title = QStringLiteral("Recording Pause");
        if (pause.trimmed().isEmpty() || NotNumeric(pause))
            return fail(ProfileCheck::Pause, title, QStringLiteral("Please enter a number between 1 and 5"));
        const double p = Val(pause);
        if (p < 5)
            return fail(ProfileCheck::Pause, title, QStringLiteral("The pause must be at least 5 minutes."));
        if (!(len > p))
            return fail(ProfileCheck::Pause, title, QStringLiteral("The pause must be less than the total recording time."));
    }
    return {};
}

} // namespace sv
