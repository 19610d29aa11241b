#include "widgets/PathCompletion.h"

#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileSystemModel>
#include <QLineEdit>

namespace sv {

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
