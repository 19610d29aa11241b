#pragma once
// Answers the program's message boxes in a test, in order, and records them.
// A box with no answer queued is recorded as unexpected and answered with the
// safe choice (Cancel/No/OK); the test checks unexpected() at its end.
#include "util/ui/modMsgbox.h"

#include <QList>
#include <QString>

namespace svtest {

class MsgBoxScript {
public:
    MsgBoxScript()
    {
        sv::SetMsgBoxResponder([this](const sv::MsgBoxShown& b) {
            shown.append(b);
            if (m_answers.isEmpty()) {
                m_unexpected.append(b.title + QStringLiteral(": ") + b.text);
                switch (b.style & 7) {
                case sv::vbOKCancel: case sv::vbYesNoCancel: case sv::vbYesNoAllCancel: return int(sv::vbCancel);
                case sv::vbYesNo: return int(sv::vbNo);
                default: return int(sv::vbOK);
                }
            }
            return m_answers.takeFirst();
        });
    }
    ~MsgBoxScript() { sv::SetMsgBoxResponder({}); }
    MsgBoxScript(const MsgBoxScript&) = delete;
    MsgBoxScript& operator=(const MsgBoxScript&) = delete;

    // Queue the answer for the next box (1 OK, 2 Cancel, 6 Yes, 7 No, 8 Yes to
    // All, 9 No to All).
    void answer(int result) { m_answers.append(result); }
    void clear() { shown.clear(); m_unexpected.clear(); m_answers.clear(); }
    bool unexpected() const { return !m_unexpected.isEmpty(); }
    QString unexpectedText() const { return m_unexpected.join(QStringLiteral(" | ")); }
    int pending() const { return int(m_answers.size()); }
    const sv::MsgBoxShown& last() const { return shown.last(); }

    QList<sv::MsgBoxShown> shown;

private:
    QList<int> m_answers;
    QStringList m_unexpected;
};

} // namespace svtest
