#pragma once
// The one way the program shows a message. Styles use the classic numbers:
// buttons 0 OK, 1 OK/Cancel, 3 Yes/No/Cancel, 4 Yes/No, 6 Yes/Yes to All/No/
// No to All/Cancel (a question about one of several files); icons +16
// critical, +32 question, +48 exclamation, +64 information; +256 second
// button default. Results: 1 OK, 2 Cancel, 6 Yes, 7 No, 8 Yes to All, 9 No to All.
#include <QString>
#include <functional>

class QWidget;

namespace sv {

enum MsgResult { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7, vbYesToAll = 8, vbNoToAll = 9 };
enum MsgStyle {
    vbOKOnly = 0, vbOKCancel = 1, vbYesNoCancel = 3, vbYesNo = 4, vbYesNoAllCancel = 6,
    vbCritical = 16, vbQuestion = 32, vbExclamation = 48, vbInformation = 64,
    vbDefaultButton2 = 256
};

inline const QString AppTitle = QStringLiteral("Sonivault");

// What a box showed, for tests and for the record.
struct MsgBoxShown {
    QString title;
    QString text;
    int style = 0;
    bool plain = false; // the standard box rather than the positioned one
    int position = -1;  // MsgBoxEx's position mode after adjustment
};

// A test installs a responder; every box is then answered by it instead of
// being shown. Pass an empty function to restore real boxes.
using MsgBoxResponder = std::function<int(const MsgBoxShown&)>;
void SetMsgBoxResponder(MsgBoxResponder responder);

// The main window, for centring (mode 7) and for the minimised rule.
void SetMsgBoxMainWindow(QWidget* window);

// Positioned box of the main form. position: 0..7 (see MsgBoxPosition); other
// values leave the box where the toolkit puts it. A minimised main window
// turns the mode into 6 and writes it back through position.
int MsgBoxEx(const QString& prompt, int style, const QString& title, int* position = nullptr);
// The standard message box (dialogs, runner, start-up and sound-card messages).
int PlainMsgBox(const QString& prompt, int style = 0, const QString& title = QString());

// Top-left corner of a box of size (mw, mh) for a position mode, given the
// work area and the owner's rectangle. Returns false for modes outside 0..7.
struct Rect { int left, top, width, height; };
bool MsgBoxPosition(int mode, const Rect& workArea, const Rect& owner, int mw, int mh, int& x, int& y);

// The critical-error box of the split and other file work.
void ReportCriticalError(const QString& component, const QString& details);

} // namespace sv
