#pragma once
// Reading the CD writer's output: it prints lines such as
// "Writing the audio CD: 42%" while it works.
#include <QRegularExpression>
#include <QString>

namespace sv {

// The latest percentage in the output read so far (0..100), or -1 while
// there is none. A line cut off in the middle of its number is not counted.
inline int ParseCdBurnerPercent(const QString& output)
{
    static const QRegularExpression percent(QStringLiteral("(\\d{1,3})%"));
    int last = -1;
    auto it = percent.globalMatch(output);
    while (it.hasNext()) {
        const auto m = it.next();
        const int start = int(m.capturedStart(1));
        if (start > 0 && output.at(start - 1).isDigit())
            continue;
        last = qMin(100, m.captured(1).toInt());
    }
    return last;
}

} // namespace sv
