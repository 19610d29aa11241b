#include "help/ui/HTMLHelp.h"

#include "help/ChmArchive.h"
#include "help/ui/HelpWindow.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace sv {

const QString HTMLHelp::MessageTitle = QStringLiteral("HTML Help Class");

HTMLHelp::HTMLHelp(QObject* parent) : QObject(parent) {}

HTMLHelp::~HTMLHelp() { HHClose(); }

QString HTMLHelp::resolvedPath() const
{
    if (m_chmFile.contains(QLatin1Char('/')))
        return m_chmFile;
    return QDir(DataFolder()).filePath(m_chmFile);
}

std::shared_ptr<const ChmArchive> HTMLHelp::archiveFor(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (m_archive && m_archive->path() == canonical)
        return m_archive;
    auto archive = std::make_shared<ChmArchive>();
    if (!archive->open(canonical))
        return {};
    m_archive = archive;
    return m_archive;
}

QWidget* HTMLHelp::HHDisplayTopicURL(QWidget* owner)
{
    if (!m_chmFile.endsWith(QLatin1String("chm"), Qt::CaseInsensitive)) {
        PlainMsgBox(m_chmFile + QStringLiteral(" is not a valid HTML Help file."), vbExclamation, MessageTitle);
        return nullptr;
    }
    const QString path = resolvedPath();
    if (!QFileInfo(path).isFile()) {
        PlainMsgBox(QStringLiteral("The file ") + path + QStringLiteral(" does not exist.") + QLatin1Char('\n')
                        + QStringLiteral("Please make sure the correct path and file name have been specified."),
                    vbExclamation, MessageTitle);
        return nullptr;
    }
    const auto archive = archiveFor(path);
    if (!archive) {
        // A file by the right name that is not a help file (damaged, truncated
        // download): say so instead of showing an empty window.
        PlainMsgBox(QStringLiteral("The file ") + path + QStringLiteral(" cannot be read as an HTML Help file.")
                        + QLatin1Char('\n') + QStringLiteral("Please reinstall Sonivault."),
                    vbExclamation, MessageTitle);
        return nullptr;
    }

    const QString type = m_window.trimmed();
    QPointer<HelpWindow> window = m_windows.value(type);
    QWidget* wantedOwner = m_onTop ? owner : nullptr;
    // A window of another help file, or with another owner, is made afresh.
    if (window && (window->chmPath() != archive->path() || window->parentWidget() != wantedOwner)) {
        window->close();
        window = nullptr;
    }
    const bool created = !window;
    if (created) {
        window = new HelpWindow(type, archive, wantedOwner);
        connect(window, &HelpWindow::closed, this, [this, type] { Q_EMIT windowClosed(type); });
        m_windows.insert(type, window);
    }
    if (created) {
        // The tutorial sits beside the wizard: it must not take the keyboard away from it.
        if (type.compare(QLatin1String("Tutorial"), Qt::CaseInsensitive) == 0)
            window->setAttribute(Qt::WA_ShowWithoutActivating);
        // Shown first, so that the topic is laid out (and an anchor found) at the real width.
        window->show();
    }
    window->showTopic(m_topic.trimmed());
    if (type.compare(QLatin1String("Tutorial"), Qt::CaseInsensitive) != 0) {
        window->showNormal();
        window->raise();
        window->activateWindow();
    }
    m_last = window;
    m_hasHandle = true;
    return window;
}

QWidget* HTMLHelp::HHWndHandle()
{
    if (!m_hasHandle || !m_last) {
        PlainMsgBox(QStringLiteral("No HTML Help window handle to retrieve."), vbExclamation, MessageTitle);
        return nullptr;
    }
    return m_last;
}

bool HTMLHelp::HHWndOpen() const { return m_hasHandle && m_last && m_last->isVisible(); }

void HTMLHelp::HHClose()
{
    const auto windows = m_windows;
    m_windows.clear();
    for (const QPointer<HelpWindow>& w : windows)
        if (w)
            w->close();
}

HelpWindow* HTMLHelp::windowFor(const QString& windowType) const
{
    return m_windows.value(windowType.trimmed());
}

} // namespace sv
