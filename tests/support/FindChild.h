#pragma once
// Reaches a page's widget or timer by its object name, as a user's click
// would find it on screen; a missing name ends the test with the name.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QObject>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>

namespace sv::test {

template <class T>
T* Find(const QObject* root, const char* name)
{
    T* child = root->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qFatal("no child named %s of type %s under %s", name, T::staticMetaObject.className(),
               qPrintable(root->objectName()));
    return child;
}

} // namespace sv::test
