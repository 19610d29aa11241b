#include "settings/Profiles.h"

#include "settings/modXML.h"
#include "util/modFunctions.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

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
        if (!name.isEmpty()) {
            list.names.append(name);
            list.listed.append(section);
        }
    }
    return list;
}

namespace {
bool hasSection(const ProfileList& list, const QString& section)
{
    return list.sections.contains(section, Qt::CaseInsensitive);
}

// The number of a top-level "Profile" + number section, or -1.
int profileNumber(const QString& section)
{
    static const QRegularExpression re(QStringLiteral("^Profile(0|[1-9][0-9]{0,8})$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(section);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

void copyProfile(const QString& file, const QString& from, const QString& to, bool& ok)
{
    // Moved values are copied as stored, so descriptions are not escaped twice.
    const QString name = XMLGetValue(kName, from, file, QString());
    const QString description = XMLGetValue(kDescription, from, file, QString());
    const QString pause = XMLGetValue(kPause, from, file, QString());
    const QString length = XMLGetValue(kLength, from, file, QString());
    ok = XMLSetValue(name, kName, to, file) && ok;
    ok = XMLSetValue(description, kDescription, to, file) && ok;
    ok = XMLSetValue(length, kLength, to, file) && ok;
    ok = XMLSetValue(pause, kPause, to, file) && ok;
}
} // namespace

QString NewProfileSection(const ProfileList& list)
{
    int n = int(list.sections.size());
    while (hasSection(list, ProfileSection(n)))
        ++n;
    return ProfileSection(n);
}

QString ProfileSection(int index)
{
    return QStringLiteral("Profile") + QString::number(index);
}

Profile ReadProfile(const QString& file, int index)
{
    const QString s = ReadProfileList(file).listed.value(index);
    return s.isEmpty() ? Profile{} : ReadProfileIn(file, s);
}

Profile ReadProfileIn(const QString& file, const QString& s)
{
    Profile p;
    p.name = XMLGetValue(kName, s, file, QString());
    p.description = UnescapeDescription(XMLGetValue(kDescription, s, file, QString()));
    p.recordLength = XMLGetValue(kLength, s, file, QString());
    p.pause = XMLGetValue(kPause, s, file, QString());
    return p;
}

bool WriteProfile(const QString& file, int index, const Profile& p)
{
    const ProfileList list = ReadProfileList(file);
    const QString s = index >= 0 && index < list.listed.size() ? list.listed[index] : NewProfileSection(list);
    bool ok = XMLSetValue(p.name, kName, s, file);
    ok = XMLSetValue(EscapeDescription(p.description), kDescription, s, file) && ok;
    ok = XMLSetValue(p.recordLength, kLength, s, file) && ok;
    ok = XMLSetValue(p.pause, kPause, s, file) && ok;
    return ok;
}

bool DeleteProfile(const QString& file, int index, int count)
{
    const ProfileList list = ReadProfileList(file);
    if (index < 0 || index >= count || index >= list.listed.size())
        return false;
    const QString section = list.listed[index];
    const int first = profileNumber(section);
    if (first < 0)
        return XMLDeleteSection(section, file);
    int last = first;
    while (hasSection(list, ProfileSection(last + 1)))
        ++last;
    bool ok = true;
    for (int j = first; j < last; ++j)
        copyProfile(file, ProfileSection(j + 1), ProfileSection(j), ok);
    return XMLDeleteSection(ProfileSection(last), file) && ok;
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

ProfileTimes CheckStoredProfile(const QString& recordLength, const QString& pause)
{
    ProfileTimes t;
    if (NotNumeric(recordLength))
        return t;
    const double length = Val(recordLength);
    const double p = pause.trimmed().isEmpty() ? 0 : Val(pause);
    if (length < 5 || length > 150 || (!pause.trimmed().isEmpty() && NotNumeric(pause)))
        return t;
    if (p != 0 && (p < 5 || !(p < length)))
        return t;
    t.valid = true;
    t.length = length;
    t.pause = p;
    t.recordSeconds = int(std::trunc(length)) * 60;
    t.pauseSeconds = int(std::trunc(p)) * 60;
    return t;
}

QString InvalidProfileText()
{
    return QStringLiteral("This profile's length or pause is not valid. Please edit it.");
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
