#include "help/ui/HelpWindow.h"

#include "help/ChmArchive.h"
#include "help/HelpContents.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QImage>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <cmath>
#include <functional>

namespace sv {

namespace {
const QString kScheme = QStringLiteral("chm");
// 96 dots per inch in dots per metre: pictures that say so are shown pixel for pixel.
constexpr double kBaseDotsPerMetre = 96.0 / 0.0254;

QString decodedPath(const QUrl& url) { return url.path(QUrl::FullyDecoded); }
} // namespace

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &HelpBrowser::followLink);
    m_refit = new QTimer(this);
    m_refit->setSingleShot(true);
    m_refit->setInterval(150);
    connect(m_refit, &QTimer::timeout, this, &HelpBrowser::refit);
}

int HelpBrowser::pictureRoom() const
{
    // The stylesheet's body margin and the document margin on both sides.
    return std::max(120, viewport()->width() - 2 * (12 + int(document()->documentMargin())) - 4);
}

QString HelpBrowser::fitPictures(const QString& html)
{
    // A picture wider than a narrow window (the tutorial beside the wizard)
    // is shown smaller rather than cut off.
    static const QRegularExpression img(QStringLiteral("<img\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression width(QStringLiteral("\\bwidth\\s*=\\s*\"?(\\d+)\"?"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression height(QStringLiteral("\\bheight\\s*=\\s*\"?(\\d+)\"?"),
                                           QRegularExpression::CaseInsensitiveOption);
    m_room = pictureRoom();
    m_widestPicture = 0;
    QString out = html;
    QList<QRegularExpressionMatch> tags;
    for (auto it = img.globalMatch(html); it.hasNext();)
        tags.prepend(it.next());
    for (const auto& tag : tags) {
        QString t = tag.captured(0);
        const auto w = width.match(t), h = height.match(t);
        if (!w.hasMatch() || !h.hasMatch())
            continue;
        const int pw = w.captured(1).toInt(), ph = h.captured(1).toInt();
        m_widestPicture = std::max(m_widestPicture, pw);
        if (pw <= m_room || pw <= 0)
            continue;
        const int nh = std::max(1, int(std::lround(double(ph) * m_room / pw)));
        t.replace(h.capturedStart(0), h.capturedLength(0), QStringLiteral("height=\"%1\"").arg(nh));
        const auto w2 = width.match(t);
        t.replace(w2.capturedStart(0), w2.capturedLength(0), QStringLiteral("width=\"%1\"").arg(m_room));
        out.replace(tag.capturedStart(0), tag.capturedLength(0), t);
    }
    return out;
}

void HelpBrowser::doSetSource(const QUrl& url, QTextDocument::ResourceType type)
{
    QTextBrowser::doSetSource(url, type);
    m_anchorScroll = url.hasFragment() ? verticalScrollBar()->value() : -1;
}

void HelpBrowser::resizeEvent(QResizeEvent* event)
{
    QTextBrowser::resizeEvent(event);
    const bool pictures =
        m_widestPicture > 0 && std::min(m_widestPicture, m_room) != std::min(m_widestPicture, pictureRoom());
    // Text that flows anew moves the anchor the page was opened at.
    const bool anchor = m_anchorScroll >= 0 && event->size().width() != event->oldSize().width();
    if (pictures || anchor)
        m_refit->start();
}

void HelpBrowser::refit()
{
    QScrollBar* bar = verticalScrollBar();
    const bool pictures =
        m_widestPicture > 0 && std::min(m_widestPicture, m_room) != std::min(m_widestPicture, pictureRoom());
    if (!pictures) {
        // Still where the anchor put it (the reader has not scrolled): go to the anchor again.
        if (m_anchorScroll >= 0 && bar->value() == m_anchorScroll && source().hasFragment()) {
            scrollToAnchor(source().fragment(QUrl::FullyDecoded));
            m_anchorScroll = bar->value();
        }
        return;
    }
    // Lay the page out again for the new width, keeping the reader's place.
    const double at = bar->maximum() > 0 ? double(bar->value()) / bar->maximum() : 0.0;
    const QUrl url = source();
    reload();
    if (source() == url)
        bar->setValue(int(std::lround(at * bar->maximum())));
}

void HelpBrowser::setArchive(std::shared_ptr<const ChmArchive> archive) { m_archive = std::move(archive); }

QUrl HelpBrowser::topicUrl(const QString& topic)
{
    QString t = topic;
    t.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QString fragment;
    const int hash = t.indexOf(QLatin1Char('#'));
    if (hash >= 0) {
        fragment = t.mid(hash + 1);
        t.truncate(hash);
    }
    if (!t.startsWith(QLatin1Char('/')))
        t.prepend(QLatin1Char('/'));
    QUrl url;
    url.setScheme(kScheme);
    url.setPath(t, QUrl::DecodedMode);
    if (!fragment.isEmpty())
        url.setFragment(fragment, QUrl::DecodedMode);
    return url;
}

void HelpBrowser::showTopic(const QString& topic) { setSource(topicUrl(topic)); }

QString HelpBrowser::currentTopic() const
{
    const QUrl url = source();
    QString t = decodedPath(url).mid(1);
    if (url.hasFragment())
        t += QLatin1Char('#') + url.fragment(QUrl::FullyDecoded);
    return t;
}

void HelpBrowser::followLink(const QUrl& link)
{
    const QUrl url = source().resolved(link);
    if (url.scheme() == kScheme) {
        // An anchor on the page shown only scrolls; setSource keeps history either way.
        setSource(url);
        return;
    }
    // Web and mail links belong to the desktop's programs.
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")
        || url.scheme() == QLatin1String("mailto"))
        QDesktopServices::openUrl(url);
}

QString HelpBrowser::missingTopicPage(const QString& path) const
{
    return QStringLiteral("<html><head><title>Topic not found</title></head><body>"
                          "<h1>Topic not found</h1><p>The help file does not contain the topic <b>%1</b>.</p>"
                          "<p>The help file may be damaged or from another version of Sonivault. "
                          "Reinstalling Sonivault puts the right one back.</p></body></html>")
        .arg(path.toHtmlEscaped());
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (url.scheme() != kScheme)
        return {};
    const QString path = decodedPath(url);
    const QByteArray data = m_archive ? m_archive->read(path) : QByteArray();

    switch (type) {
    case QTextDocument::HtmlResource:
        if (data.isEmpty())
            return missingTopicPage(path.mid(1));
        return fitPictures(QString::fromUtf8(data));
    case QTextDocument::StyleSheetResource:
        return QString::fromUtf8(data);
    case QTextDocument::ImageResource: {
        QImage image;
        if (data.isEmpty() || !image.loadFromData(data))
            return {};
        // A picture drawn at a higher resolution (192 dpi) is shown at its
        // intended size, as sharp as the screen allows.
        const double source = std::max(1.0, std::round(image.dotsPerMeterX() / kBaseDotsPerMetre));
        const double target = devicePixelRatioF();
        QSize logical = image.size() / source;
        if (logical.width() > pictureRoom())
            logical = logical.scaled(pictureRoom(), logical.height(), Qt::KeepAspectRatio);
        if (logical * target != image.size())
            image = image.scaled(logical * target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        image.setDevicePixelRatio(target);
        return image;
    }
    default:
        return {};
    }
}

HelpWindow::HelpWindow(const QString& windowType, std::shared_ptr<const ChmArchive> archive, QWidget* owner)
    : QWidget(owner, Qt::Window), m_type(windowType), m_archive(std::move(archive))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmHelp") + windowType);
    const bool tutorial = windowType.compare(QLatin1String("Tutorial"), Qt::CaseInsensitive) == 0;
    m_title = tutorial ? QStringLiteral("Sonivault Tutorial") : QStringLiteral("Sonivault Help");
    setWindowTitle(m_title);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildToolBar());
    buildBrowser();

    // Default sizes, never larger than the screen.
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() * 0.9 : QSize(800, 600);
    if (tutorial) {
        layout->addWidget(m_browser, 1);
        resize(QSize(420, 560).boundedTo(room));
        return;
    }
    auto* split = new QSplitter(Qt::Horizontal, this);
    auto* tabs = new QTabWidget(split);
    tabs->setObjectName(QStringLiteral("tabHelpNavigation"));
    tabs->setDocumentMode(true);
    buildContents(tabs);
    buildIndex(tabs);
    fillIndex();
    split->addWidget(tabs);
    split->addWidget(m_browser);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({250, 550});
    layout->addWidget(split, 1);
    fillContents();
    resize(QSize(800, 600).boundedTo(room));
}

QToolBar* HelpWindow::buildToolBar()
{
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("tbHelp"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setFocusPolicy(Qt::NoFocus);
    m_back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("&Back"));
    m_back->setObjectName(QStringLiteral("cmdHelpBack"));
    m_back->setShortcut(QKeySequence::Back);
    m_forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("&Forward"));
    m_forward->setObjectName(QStringLiteral("cmdHelpForward"));
    m_forward->setShortcut(QKeySequence::Forward);
    m_back->setEnabled(false);
    m_forward->setEnabled(false);
    return bar;
}

void HelpWindow::buildBrowser()
{
    m_browser = new HelpBrowser(this);
    m_browser->setObjectName(QStringLiteral("txtHelpTopic"));
    m_browser->setArchive(m_archive);
    m_browser->setFrameShape(QFrame::NoFrame);
    connect(m_back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
        const QString title = m_browser->documentTitle();
        setWindowTitle(title.isEmpty() ? m_title : m_title + QStringLiteral(" - ") + title);
        selectContentsFor(url);
    });
}

void HelpWindow::buildContents(QTabWidget* tabs)
{
    m_contents = new QTreeWidget(tabs);
    m_contents->setObjectName(QStringLiteral("tvwHelpContents"));
    m_contents->setHeaderHidden(true);
    m_contents->setFrameShape(QFrame::NoFrame);
    tabs->addTab(m_contents, QStringLiteral("&Contents"));
    connect(m_contents, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const QString local = item->data(0, Qt::UserRole).toString();
        if (!local.isEmpty() && local != m_browser->currentTopic())
            m_browser->showTopic(local);
    });
    connect(m_contents, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        Q_EMIT m_contents->itemActivated(item, 0);
    });
}

void HelpWindow::buildIndex(QTabWidget* tabs)
{
    auto* indexPage = new QWidget(tabs);
    auto* indexLayout = new QVBoxLayout(indexPage);
    indexLayout->setContentsMargins(4, 4, 4, 4);
    m_indexFilter = new QLineEdit(indexPage);
    m_indexFilter->setObjectName(QStringLiteral("txtHelpIndex"));
    m_indexFilter->setPlaceholderText(QStringLiteral("Type a word to find"));
    m_indexFilter->setClearButtonEnabled(true);
    m_index = new QListWidget(indexPage);
    m_index->setObjectName(QStringLiteral("lstHelpIndex"));
    indexLayout->addWidget(m_indexFilter);
    indexLayout->addWidget(m_index, 1);
    tabs->addTab(indexPage, QStringLiteral("&Index"));
    connect(m_indexFilter, &QLineEdit::textChanged, this, [this](const QString& text) {
        // Only the entries holding the words typed; the first of them is ready for Enter.
        QListWidgetItem* first = nullptr;
        for (int i = 0; i < m_index->count(); ++i) {
            QListWidgetItem* item = m_index->item(i);
            const bool match = item->text().contains(text.trimmed(), Qt::CaseInsensitive);
            item->setHidden(!match);
            if (match && !first)
                first = item;
        }
        m_index->setCurrentItem(first);
    });
    connect(m_indexFilter, &QLineEdit::returnPressed, this, [this] {
        if (QListWidgetItem* item = m_index->currentItem())
            Q_EMIT m_index->itemActivated(item);
    });
    connect(m_index, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const QString local = item->data(Qt::UserRole).toString();
        if (!local.isEmpty())
            m_browser->showTopic(local);
    });
    connect(m_index, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        Q_EMIT m_index->itemActivated(item);
    });
}

HelpWindow::~HelpWindow() = default;

QString HelpWindow::chmPath() const { return m_archive ? m_archive->path() : QString(); }

QString HelpWindow::defaultTopic() const
{
    // The first topic of the contents is the help file's front page.
    const QByteArray hhc = m_archive ? m_archive->read(contentsFile()) : QByteArray();
    std::function<QString(const QList<HelpContentsEntry>&)> first = [&](const QList<HelpContentsEntry>& list) {
        for (const HelpContentsEntry& e : list) {
            if (!e.local.isEmpty())
                return e.local;
            const QString inner = first(e.children);
            if (!inner.isEmpty())
                return inner;
        }
        return QString();
    };
    const QString topic = first(ParseHelpSitemap(hhc));
    return topic.isEmpty() ? QStringLiteral("Page1.htm") : topic;
}

QString HelpWindow::contentsFile() const
{
    if (m_archive)
        for (const QString& f : m_archive->files())
            if (f.endsWith(QLatin1String(".hhc"), Qt::CaseInsensitive))
                return f;
    return {};
}

void HelpWindow::showTopic(const QString& wanted)
{
    const QString topic = wanted.isEmpty() ? defaultTopic() : wanted;
    // The same topic again (the tutorial re-shows its page) keeps the reader's place.
    if (m_browser->currentTopic() == topic && !m_browser->source().isEmpty())
        return;
    m_browser->showTopic(topic);
}

void HelpWindow::closeEvent(QCloseEvent* event)
{
    Q_EMIT closed();
    QWidget::closeEvent(event);
}

void HelpWindow::fillContents()
{
    if (!m_contents || !m_archive)
        return;
    // The contents file is whichever .hhc the help file carries.
    const QByteArray hhc = m_archive->read(contentsFile());
    std::function<void(const QList<HelpContentsEntry>&, QTreeWidgetItem*)> add =
        [&](const QList<HelpContentsEntry>& entries, QTreeWidgetItem* parent) {
            for (const HelpContentsEntry& e : entries) {
                auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_contents);
                item->setText(0, e.name);
                item->setToolTip(0, e.name);
                item->setData(0, Qt::UserRole, e.local);
                item->setIcon(0, style()->standardIcon(e.children.isEmpty() ? QStyle::SP_FileIcon
                                                                            : QStyle::SP_DirIcon));
                add(e.children, item);
            }
        };
    add(ParseHelpSitemap(hhc), nullptr);
    m_contents->expandAll();
}

void HelpWindow::fillIndex()
{
    if (!m_index || !m_archive)
        return;
    QString hhk;
    for (const QString& f : m_archive->files())
        if (f.endsWith(QLatin1String(".hhk"), Qt::CaseInsensitive)) {
            hhk = f;
            break;
        }
    std::function<void(const QList<HelpContentsEntry>&)> add = [&](const QList<HelpContentsEntry>& entries) {
        for (const HelpContentsEntry& e : entries) {
            if (!e.local.isEmpty()) {
                auto* item = new QListWidgetItem(e.name, m_index);
                item->setData(Qt::UserRole, e.local);
            }
            add(e.children);
        }
    };
    add(ParseHelpSitemap(m_archive->read(hhk)));
    m_index->sortItems();
}

void HelpWindow::selectContentsFor(const QUrl& url)
{
    if (!m_contents)
        return;
    const QString path = url.path(QUrl::FullyDecoded).mid(1);
    for (QTreeWidgetItemIterator it(m_contents); *it; ++it) {
        const QString local = ChmArchive::objectPath((*it)->data(0, Qt::UserRole).toString()).mid(1);
        if (local.compare(path, Qt::CaseInsensitive) == 0) {
            const QSignalBlocker block(m_contents);
            m_contents->setCurrentItem(*it);
            return;
        }
    }
}

} // namespace sv
