#include "util/ui/modMsgbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cmath>

namespace sv {

namespace {
MsgBoxResponder g_responder;
QPointer<QWidget> g_mainWindow;

int roundHalf(double v) { return static_cast<int>(std::lround(v)); }

int showBox(const MsgBoxShown& shown, QWidget* parent, bool place)
{
    if (g_responder)
        return g_responder(shown);

    QMessageBox box(parent);
    box.setWindowTitle(shown.title.isEmpty() ? AppTitle : shown.title);
    // Texts keep the classic CR LF breaks; the label wants plain LF.
    QString text = shown.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (shown.style & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    QList<QPair<QMessageBox::StandardButton, int>> buttons;
    switch (shown.style & 0x7) {
    case vbOKCancel: buttons = {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}}; break;
    case vbYesNoCancel:
        buttons = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
        break;
    case vbYesNo: buttons = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}}; break;
    case vbYesNoAllCancel:
        buttons = {{QMessageBox::Yes, vbYes},
                   {QMessageBox::YesToAll, vbYesToAll},
                   {QMessageBox::No, vbNo},
                   {QMessageBox::NoToAll, vbNoToAll},
                   {QMessageBox::Cancel, vbCancel}};
        break;
    default: buttons = {{QMessageBox::Ok, vbOK}}; break;
    }
    QMessageBox::StandardButtons set;
    for (const auto& b : buttons)
        set |= b.first;
    box.setStandardButtons(set);
    const int defaultIndex = (shown.style & vbDefaultButton2) && buttons.size() > 1 ? 1 : 0;
    box.setDefaultButton(buttons[defaultIndex].first);
    const int set7 = shown.style & 0x7;
    if (buttons.size() == 1 || set7 == vbOKCancel || set7 == vbYesNoCancel || set7 == vbYesNoAllCancel)
        box.setEscapeButton(buttons.last().first);

    if (place && shown.position >= 0 && shown.position <= 7) {
        const int mode = shown.position;
        QWidget* owner = g_mainWindow;
        QTimer::singleShot(0, &box, [&box, mode, owner] {
            QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
            if (!screen)
                return;
            const QRect w = screen->availableGeometry();
            const QRect o = owner ? owner->frameGeometry() : w;
            const QSize m = box.frameGeometry().size();
            int x = 0, y = 0;
            if (MsgBoxPosition(mode, {w.left(), w.top(), w.width(), w.height()},
                               {o.left(), o.top(), o.width(), o.height()}, m.width(), m.height(), x, y))
                box.move(x, y);
        });
    }
    const int r = box.exec();
    for (const auto& b : buttons)
        if (b.first == r)
            return b.second;
    // Closed by the window's close box: the escape answer.
    return buttons.size() == 1 ? vbOK : ((shown.style & 0x7) == vbYesNo ? vbNo : vbCancel);
}
} // namespace

void SetMsgBoxResponder(MsgBoxResponder responder) { g_responder = std::move(responder); }
void SetMsgBoxMainWindow(QWidget* window) { g_mainWindow = window; }

bool MsgBoxPosition(int mode, const Rect& W, const Rect& O, int mw, int mh, int& x, int& y)
{
    const int right = W.left + W.width, bottom = W.top + W.height;
    switch (mode) {
    case 0: x = W.left; y = W.top; return true;
    case 1: x = right - mw; y = W.top; return true;
    case 2: x = roundHalf((W.width - mw) / 2.0); y = W.top; return true;
    case 3: x = W.left; y = bottom - mh; return true;
    case 4: x = right - mw; y = bottom - mh; return true;
    case 5: x = roundHalf((W.width - mw) / 2.0); y = bottom - mh; return true;
    case 6: x = roundHalf((W.width - mw) / 2.0); y = roundHalf((W.height - mh) / 2.0); return true;
    case 7:
        x = roundHalf(O.left + O.width / 2.0 - mw / 2.0);
        y = roundHalf(O.top + O.height / 2.0 - mh / 2.0);
        return true;
    default: return false;
    }
}

int MsgBoxEx(const QString& prompt, int style, const QString& title, int* position)
{
    MsgBoxShown shown;
    shown.text = prompt;
    shown.style = style;
    shown.title = title == QLatin1String("**") ? AppTitle : title;
    shown.position = position ? *position : 7;
    QWidget* main = g_mainWindow;
    const bool mainShown = main && main->isVisible();
    if (mainShown && main->isMinimized()) {
        shown.position = 6;
        if (position)
            *position = 6;
    }
    if (!mainShown)
        shown.position = -1;
    return showBox(shown, mainShown ? main : nullptr, mainShown);
}

int PlainMsgBox(const QString& prompt, int style, const QString& title)
{
    MsgBoxShown shown;
    shown.text = prompt;
    shown.style = style;
    shown.title = title.isEmpty() ? AppTitle : title;
    shown.plain = true;
    QWidget* main = g_mainWindow;
    return showBox(shown, main && main->isVisible() ? main : nullptr, false);
}

void ReportCriticalError(const QString& component, const QString& details)
{
    const QString nl = QStringLiteral("\r\n");
    PlainMsgBox(QStringLiteral("Sonivault experienced a critical error. Sonivault will try to continue, but if "
                               "problems continue, please restart your computer.")
                    + nl + nl + QStringLiteral("Component: ") + component + nl + nl + QStringLiteral("Details:")
                    + nl + details + nl + nl
                    + QStringLiteral("If you continue to experience this problem, please contact Velmora Technical "
                                     "Support, providing the information in this message."),
                vbCritical, AppTitle);
}

} // namespace sv
