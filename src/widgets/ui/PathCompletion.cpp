#include "widgets/ui/PathCompletion.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWindow>

namespace sv {

namespace {

// A press outside the open list closes it and reaches the widget under the
// pointer at once, so the first click on Next is a click on Next. (The list
// on its own only closes, and the toolkit's late replay of the press can come
// after the release, which then finds no pressed widget.)
class ClickThrough : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() != QEvent::MouseButtonPress)
            return false;
        auto* popup = static_cast<QWidget*>(watched);
        const auto* me = static_cast<QMouseEvent*>(e);
        const QPoint global = me->globalPosition().toPoint();
        if (popup->rect().contains(popup->mapFromGlobal(global)))
            return false;
        popup->setAttribute(Qt::WA_NoMouseReplay);
        popup->hide();
        // Handed to the window under the pointer as the window system would,
        // so the release that follows finds the pressed widget.
        QWidget* target = QApplication::widgetAt(global);
        QWindow* handle = target ? target->window()->windowHandle() : nullptr;
        if (handle && target->window() != popup && target->isEnabled()) {
            const QPointF local = handle->mapFromGlobal(global);
            QMouseEvent press(QEvent::MouseButtonPress, local, local, me->globalPosition(), me->button(), me->buttons(),
                              me->modifiers());
            QCoreApplication::sendEvent(handle, &press);
        }
        return true;
    }
};

} // namespace

void EnablePathCompletion(QComboBox* box)
{
    if (!box || !box->lineEdit())
        return;
    auto* model = new QFileSystemModel(box);
    model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    // The model only watches what it is asked about; the root keeps it cheap.
    model->setRootPath(QDir::rootPath());
    auto* completer = new QCompleter(model, box);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    // Installed after the completer's own filter on its list, so it sees a
    // press first.
    completer->popup()->installEventFilter(new ClickThrough(completer));
    // The box's own drop-down list holds the special names; the completer
    // must not replace it, only serve the edit field.
    box->setCompleter(nullptr);
    box->lineEdit()->setCompleter(completer);
    // The model reads a folder only when asked for it; ask for the folder
    // being typed in, and the completer offers its subfolders once read.
    QObject::connect(box->lineEdit(), &QLineEdit::textEdited, model, [model](const QString& text) {
        const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
        if (slash >= 0)
            model->index(slash == 0 ? QStringLiteral("/") : text.left(slash));
    });
}

} // namespace sv
