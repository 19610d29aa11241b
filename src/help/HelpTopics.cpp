#include "help/HelpTopics.h"

namespace sv {

const QList<PageTopic>& TutorialTopics()
{
    static const QList<PageTopic> table = {
        {QStringLiteral("picWelcome"), QStringLiteral("Page1.htm")},
        {QStringLiteral("picConnect"), QStringLiteral("Page2.htm")},
        {QStringLiteral("picVolume"), QStringLiteral("Page3.htm")},
        {QStringLiteral("picRecordFrom"), QStringLiteral("Page4.htm")},
        {QStringLiteral("picRecord"), QStringLiteral("Page5.htm")},
        {QStringLiteral("picWaveform"), QStringLiteral("Page6.htm")},
        {QStringLiteral("picSplit"), QStringLiteral("Page7.htm")},
        {QStringLiteral("picOutput"), QStringLiteral("Page8.htm")},
        {QStringLiteral("picMP3"), QStringLiteral("Page9.htm")},
        {QStringLiteral("picWMA"), QStringLiteral("Page10.htm")},
        {QStringLiteral("picWaveCopy"), QStringLiteral("Page11.htm")},
        {QStringLiteral("picWMACompress"), QStringLiteral("Page12.htm")},
        {QStringLiteral("picMP3Compress"), QStringLiteral("Page12.htm")},
        {QStringLiteral("picFinish"), QStringLiteral("Page13.htm")},
    };
    return table;
}

QString TutorialTopicForPage(const QString& pageName)
{
    for (const PageTopic& row : TutorialTopics())
        if (row.page == pageName)
            return row.topic;
    return TopicBlank;
}

QStringList ProgramHelpTopics()
{
    QStringList topics;
    for (const PageTopic& row : TutorialTopics())
        if (!topics.contains(row.topic))
            topics << row.topic;
    topics << TopicBlank << TopicConnectPlayer << TopicNoDetect << TopicMP3Options;
    return topics;
}

} // namespace sv
