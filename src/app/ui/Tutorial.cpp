#include "app/ui/Tutorial.h"

#include "app/ui/RunState.h"
#include "app/ui/WizardHost.h"
#include "help/ChmArchive.h"
#include "help/ui/HTMLHelp.h"
#include "help/HelpTopics.h"
#include "help/ui/HelpWindow.h"
#include "util/ui/modMsgbox.h"
#include "util/ui/modShellExecute.h"

#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QProcess>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// Narrowest the tutorial may be made beside the main window.
constexpr int MinTutorialWidth = 280;
} // namespace

std::function<QString()> Tutorial::ChmViewerQuery = &Tutorial::DefaultChmViewer;

Tutorial::Tutorial(QWidget* mainWindow, WizardHost& host, RunState& state, Hooks hooks)
    : QObject(mainWindow), m_main(mainWindow), m_host(host), st(state), m_hooks(std::move(hooks))
{
    timHelp.setObjectName(QStringLiteral("timHelp"));
    timHelp.setInterval(1000);
    connect(&timHelp, &QTimer::timeout, this, &Tutorial::timHelp_Timer);
}

Tutorial::~Tutorial()
{
    timHelp.stop();
}

sv::HTMLHelp& Tutorial::Help()
{
    if (!m_help)
        m_help = std::make_unique<sv::HTMLHelp>();
    return *m_help;
}

bool Tutorial::CanPlaceWindows() const
{
    // Only X11 lets a program put its own windows where it wants them.
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

QWidget* Tutorial::View() const
{
    if (m_docked)
        return m_dock;
    return m_help ? m_help->windowFor(sv::HelpWindowTutorial) : nullptr;
}

bool Tutorial::IsOpen() const
{
    if (m_docked)
        return m_dock && !m_dock->isHidden();
    QWidget* window = View();
    return window && window->isVisible();
}

QString Tutorial::CurrentTopic() const
{
    if (m_docked)
        return m_dockBrowser && IsOpen() ? m_dockBrowser->currentTopic() : QString();
    auto* window = m_help ? m_help->windowFor(sv::HelpWindowTutorial) : nullptr;
    return window && window->isVisible() ? window->browser()->currentTopic() : QString();
}

void Tutorial::ShowTutorialPage()
{
    if (!st.TutorialOn)
        return;
    const QString topic = sv::TutorialTopicForPage(m_hooks.currentPage ? m_hooks.currentPage() : QString());
    if (!CanPlaceWindows()) {
        ShowDocked(topic);
        return;
    }
    const bool wasOpen = IsOpen();
    sv::HTMLHelp& help = Help();
    help.setHHShowOnTop(false);
    help.setCHMFile(st.HelpFile);
    help.setHHTopicURL(topic);
    help.setHHWindow(sv::HelpWindowTutorial);
    QWidget* window = help.HHDisplayTopicURL(m_main);
    if (!window)
        return; // the user has been told why
    timHelp.start();
    // Once open, both windows stay where the user puts them.
    if (!wasOpen)
        PlaceBesideMain(window);
}

void Tutorial::PlaceBesideMain(QWidget* tutorial)
{
    m_savedPos = m_main->pos();
    m_posSaved = true;
    const QRect screen = m_main->screen()->availableGeometry();
    m_main->move(screen.left(), m_main->pos().y());
    const QRect frame = m_main->frameGeometry();
    // The tutorial's frame is as thick as the main window's.
    const int frameW = frame.width() - m_main->width();
    const int frameH = frame.height() - m_main->height();
    const int x = frame.right() + 1;
    tutorial->move(x, frame.top());
    tutorial->resize(std::max(MinTutorialWidth, screen.right() + 1 - x - frameW), frame.height() - frameH);
    tutorial->show();
}

void Tutorial::ShowDocked(const QString& topic)
{
    if (!m_dockArchive || m_dockArchive->path() != QFileInfo(st.HelpFile).canonicalFilePath()) {
        auto archive = std::make_shared<sv::ChmArchive>();
        if (!QFileInfo(st.HelpFile).isFile() || !archive->open(QFileInfo(st.HelpFile).canonicalFilePath())) {
            sv::PlainMsgBox(QStringLiteral("The file ") + st.HelpFile + QStringLiteral(" does not exist.")
                                + QLatin1Char('\n')
                                + QStringLiteral("Please make sure the correct path and file name have been specified."),
                            sv::vbExclamation, sv::HTMLHelp::MessageTitle);
            return;
        }
        m_dockArchive = archive;
        if (m_dockBrowser)
            m_dockBrowser->setArchive(m_dockArchive);
    }
    m_docked = true;
    if (!m_dock) {
        m_dock = new QFrame(m_main);
        m_dock->setObjectName(QStringLiteral("panTutorial"));
        m_dock->setFrameShape(QFrame::StyledPanel);
        auto* column = new QVBoxLayout(m_dock);
        column->setContentsMargins(4, 4, 4, 4);
        auto* header = new QHBoxLayout;
        auto* title = new QLabel(QStringLiteral("<b>Tutorial</b>"), m_dock);
        auto* close = new QToolButton(m_dock);
        close->setObjectName(QStringLiteral("cmdCloseTutorial"));
        close->setAutoRaise(true);
        close->setIcon(m_dock->style()->standardIcon(QStyle::SP_TitleBarCloseButton));
        close->setToolTip(QStringLiteral("Close the tutorial"));
        header->addWidget(title);
        header->addStretch();
        header->addWidget(close);
        column->addLayout(header);
        m_dockBrowser = new sv::HelpBrowser(m_dock);
        m_dockBrowser->setArchive(m_dockArchive);
        column->addWidget(m_dockBrowser, 1);
        // The watch notices the panel went away, as with a closed window.
        connect(close, &QToolButton::clicked, m_dock, &QWidget::hide);
        m_dock->hide();
        m_main->installEventFilter(this);
    }
    if (m_dock->isHidden()) {
        // The main window grows to the right by the panel's width.
        const QRect screen = m_main->screen()->availableGeometry();
        m_dockWidth = std::max(MinTutorialWidth, m_main->width() * 45 / 100);
        if (m_main->frameGeometry().width() + m_dockWidth > screen.width())
            m_dockWidth = std::max(MinTutorialWidth, screen.width() - m_main->frameGeometry().width());
        QMargins margins = m_main->layout()->contentsMargins();
        m_marginBefore = margins.right();
        margins.setRight(m_marginBefore + m_dockWidth);
        m_main->layout()->setContentsMargins(margins);
        m_main->resize(m_main->width() + m_dockWidth, m_main->height());
        m_dock->show();
        LayoutDock();
    }
    m_dockBrowser->showTopic(topic);
    timHelp.start();
}

void Tutorial::LayoutDock()
{
    if (m_dock && !m_dock->isHidden())
        m_dock->setGeometry(m_main->width() - m_dockWidth, 0, m_dockWidth, m_main->height());
}

bool Tutorial::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_main && event->type() == QEvent::Resize)
        LayoutDock();
    return QObject::eventFilter(watched, event);
}

void Tutorial::CloseDocked()
{
    if (!m_dock || m_dockWidth == 0)
        return;
    m_dock->hide();
    QMargins margins = m_main->layout()->contentsMargins();
    margins.setRight(m_marginBefore);
    m_main->layout()->setContentsMargins(margins);
    m_main->resize(std::max(m_main->minimumWidth(), m_main->width() - m_dockWidth), m_main->height());
    m_dockWidth = 0;
}

void Tutorial::CloseHelpFile()
{
    if (m_docked) {
        CloseDocked();
    } else if (m_help) {
        // Only the tutorial: a help topic the user opened stays.
        if (QWidget* window = m_help->windowFor(sv::HelpWindowTutorial))
            window->close();
    }
    timHelp.stop();
    if (m_posSaved) {
        m_main->move(m_savedPos);
        m_posSaved = false;
    }
}

void Tutorial::CloseHelpWindow()
{
    if (m_help)
        m_help->HHClose();
    CloseHelpFile();
}

void Tutorial::timHelp_Timer()
{
    if (IsOpen())
        return;
    CloseHelpFile();
    // Burning a CD must not wait on a question.
    if (st.TutorialOn && !st.WritingAudioCD) {
        const int answer = m_host.Msg(QStringLiteral("Would you like to turn off the tutorial?"),
                                      sv::vbYesNo + sv::vbQuestion + sv::vbDefaultButton2, QStringLiteral("Tutorial"));
        if (answer == sv::vbYes && m_hooks.turnOff)
            m_hooks.turnOff();
    }
}

void Tutorial::StartHelp(const QString& topic)
{
    sv::HTMLHelp& help = Help();
    help.setHHShowOnTop(false);
    help.setCHMFile(st.HelpFile);
    help.setHHTopicURL(topic);
    help.setHHWindow(sv::HelpWindowMain);
    help.HHDisplayTopicURL(m_main);
}

void Tutorial::cmdHelp_Click()
{
    if (ChmViewerQuery && !ChmViewerQuery().isEmpty()) {
        sv::OpenDocument(st.HelpFile);
        return;
    }
    // No viewer for compiled help on this desktop: ours, at the first topic.
    StartHelp(QString());
}

QString Tutorial::DefaultChmViewer()
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("application/vnd.ms-htmlhelp")});
    if (!query.waitForStarted(2000) || !query.waitForFinished(3000) || query.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}
