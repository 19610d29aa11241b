#pragma once
// Our help viewer: topics, pictures and styles come straight out of the
// compiled help file. One window per window type ("Main", "Tutorial").
#include <QTextBrowser>
#include <QWidget>

#include <memory>

class QAction;
class QLineEdit;
class QListWidget;
class QTimer;
class QSplitter;
class QTabWidget;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace sv {

class ChmArchive;

// A text browser whose every resource is read from a help file. Links to
// other topics stay inside; web and mail links go to the desktop.
class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);
    void setArchive(std::shared_ptr<const ChmArchive> archive);
    // "Page3.htm", "connection troubleshooting.htm#noDetect"
    void showTopic(const QString& topic);
    // The topic shown, as a name inside the help file with its anchor ("Page3.htm#x").
    QString currentTopic() const;
    static QUrl topicUrl(const QString& topic);

    QVariant loadResource(int type, const QUrl& name) override;

    // Widest a picture may be shown: the width of the page's text area.
    int pictureRoom() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void doSetSource(const QUrl& url, QTextDocument::ResourceType type) override;

private:
    void followLink(const QUrl& url);
    QString missingTopicPage(const QString& path) const;
    QString fitPictures(const QString& html);
    void refit();

    std::shared_ptr<const ChmArchive> m_archive;
    QTimer* m_refit = nullptr;
    int m_room = 0;          // pictureRoom() when the page was laid out
    int m_widestPicture = 0; // widest picture of the page shown, as written
    int m_anchorScroll = -1; // scroll position an anchor jump gave, -1 for none
};

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // windowType: "Main" shows the contents and the index beside the topic; "Tutorial" the topic alone.
    HelpWindow(const QString& windowType, std::shared_ptr<const ChmArchive> archive, QWidget* owner);
    ~HelpWindow() override;

    QString windowType() const { return m_type; }
    QString chmPath() const;
    // An empty topic shows the first topic of the contents.
    void showTopic(const QString& topic);
    HelpBrowser* browser() const { return m_browser; }

Q_SIGNALS:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QToolBar* buildToolBar();
    void buildBrowser();
    void buildContents(QTabWidget* tabs);
    void buildIndex(QTabWidget* tabs);
    void fillContents();
    void fillIndex();
    QString contentsFile() const;
    QString defaultTopic() const;
    void selectContentsFor(const QUrl& url);

    QString m_type;
    std::shared_ptr<const ChmArchive> m_archive;
    HelpBrowser* m_browser = nullptr;
    QTreeWidget* m_contents = nullptr;
    QListWidget* m_index = nullptr;
    QLineEdit* m_indexFilter = nullptr;
    QAction* m_back = nullptr;
    QAction* m_forward = nullptr;
    QString m_title;
};

} // namespace sv
