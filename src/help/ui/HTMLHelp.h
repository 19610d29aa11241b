#pragma once
// The program's help viewer behind a few properties: set the help file, the
// topic and the window type, then display; ask whether the window is still
// open; close every help window.
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QWidget;

namespace sv {

class ChmArchive;
class HelpWindow;

class HTMLHelp : public QObject {
    Q_OBJECT
public:
    explicit HTMLHelp(QObject* parent = nullptr);
    ~HTMLHelp() override;

    // Path of the compiled help file. A bare file name means the program's folder.
    QString CHMFile() const { return m_chmFile; }
    void setCHMFile(const QString& path) { m_chmFile = path; }
    // Topic inside the help file, optionally with "#" and an anchor.
    QString HHTopicURL() const { return m_topic; }
    void setHHTopicURL(const QString& topic) { m_topic = topic; }
    // Window type ("Main", "Tutorial"); empty for the default window.
    QString HHWindow() const { return m_window; }
    void setHHWindow(const QString& name) { m_window = name; }
    // True: the help window belongs to the caller's window and stays above it.
    bool HHShowOnTop() const { return m_onTop; }
    void setHHShowOnTop(bool onTop) { m_onTop = onTop; }

    // Shows HHTopicURL of CHMFile in the window of type HHWindow, creating
    // the window or re-targeting the open one. Returns that window, or
    // nullptr after telling the user why nothing could be shown.
    QWidget* HHDisplayTopicURL(QWidget* owner);
    // The window of the last display call. Before any (or after it failed),
    // says "No HTML Help window handle to retrieve." and returns nullptr.
    QWidget* HHWndHandle();
    // True while the window of the last display call still exists.
    bool HHWndOpen() const;
    // Closes every help window this object opened.
    void HHClose();

    // The window open for a window type, if any (no message).
    HelpWindow* windowFor(const QString& windowType) const;

    static const QString MessageTitle;

Q_SIGNALS:
    // A help window went away, closed by the user or by HHClose.
    void windowClosed(const QString& windowType);

private:
    QString resolvedPath() const;
    std::shared_ptr<const ChmArchive> archiveFor(const QString& path);

    QString m_chmFile;
    QString m_topic;
    QString m_window;
    bool m_onTop = false;
    QPointer<HelpWindow> m_last;
    bool m_hasHandle = false;
    QHash<QString, QPointer<HelpWindow>> m_windows;
    std::shared_ptr<const ChmArchive> m_archive;
};

} // namespace sv
