#pragma once
// Every topic the program opens in its help file, in one place: the help
// sources must provide each of them (the help tests check the built file).
#include <QList>
#include <QString>
#include <QStringList>

namespace sv {

inline const QString HelpFileName = QStringLiteral("sonivault.chm");

// Window types of the help file.
inline const QString HelpWindowMain = QStringLiteral("Main");
inline const QString HelpWindowTutorial = QStringLiteral("Tutorial");

// Topics opened from single places of the program.
inline const QString TopicConnectPlayer = QStringLiteral("Connecting your player.htm");
inline const QString TopicNoDetect = QStringLiteral("connection troubleshooting.htm#noDetect");
inline const QString TopicMP3Options = QStringLiteral("mp3 encoding options.htm");
// The tutorial's topic when no wizard page matches.
inline const QString TopicBlank = QStringLiteral("Blank.htm");

// The tutorial topic of each wizard page, by the page container's name.
struct PageTopic {
    QString page;
    QString topic;
};
const QList<PageTopic>& TutorialTopics();

// The tutorial topic of a page container; TopicBlank for any other name.
QString TutorialTopicForPage(const QString& pageName);

// Every topic (with its anchor, where it has one) named anywhere above.
QStringList ProgramHelpTopics();

} // namespace sv
