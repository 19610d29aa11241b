#pragma once
// A main window on the virtual deck, in a fresh temporary home, with every
// message box answered by a script.
#include "app/ui/frmMain.h"
#include "app/ui/frmWelcome.h"
#include "app/ui/pages/Pages.h"
#include "audioin/engine/VirtualBackend.h"
#include "settings/modXML.h"
#include "support/FindChild.h"
#include "support/MsgBoxScript.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QtTest>

#include <functional>
#include <memory>

namespace svtest {

inline sv::audio::VirtualDeck SmallDeck()
{
    sv::audio::VirtualDeck deck;
    deck.mixers = {{QStringLiteral("Test Card"),
                    {{QStringLiteral("Line In"), sv::audio::VirtualSignal::noise(8000), 60},
                     {QStringLiteral("Microphone"), sv::audio::VirtualSignal::silence(), 40}}}};
    deck.speed = 20;
    return deck;
}

// Runs fn on the next modal dialog once it is up (the caller then blocks in exec()).
inline void OnModal(std::function<void(QWidget*)> fn)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, fn] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            fn(w);
        }
    });
    timer->start(10);
}

class Wizard {
public:
    explicit Wizard(sv::audio::VirtualDeck deck = SmallDeck()) : m_deck(std::move(deck))
    {
        sv::audio::SetEngineFactory([this] { return sv::audio::CreateVirtualEngine(m_deck); });
        sv::SetSettingsFile(settingsFile());
    }
    ~Wizard()
    {
        sv::SetMsgBoxMainWindow(nullptr);
        if (w)
            w->hide();
        w.reset();
        sv::audio::SetEngineFactory({});
    }

    QString settingsFile() const { return env.dataFolder() + QStringLiteral("settings.xml"); }
    QString profilesFile() const { return env.dataFolder() + QStringLiteral("profiles.xml"); }
    void set(const QString& section, const QString& key, const QString& value)
    {
        QDir().mkpath(env.dataFolder());
        QVERIFY(sv::XMLSetValue(value, key, section, settingsFile()));
    }
    QString get(const QString& section, const QString& key, const QString& def = QStringLiteral("(none)"))
    {
        return sv::XMLGetValue(key, section, settingsFile(), def);
    }
    void noWelcomeDialog() { set(QStringLiteral("Messages\\Startup"), QStringLiteral("IsFirstRun"), QStringLiteral("1")); }

    // Loads the window and runs the deferred step at once.
    bool start(bool deferred = true)
    {
        w = std::make_unique<frmMain>();
        sv::SetMsgBoxMainWindow(w.get());
        const bool ok = w->Load();
        if (ok && deferred)
            w->timWaitSec_Timer();
        return ok;
    }

    RunState& st() { return w->State(); }
    QWidget* current() const
    {
        for (QWidget* p : pages())
            if (w->IsPageVisible(p))
                return p;
        return nullptr;
    }
    QList<QWidget*> pages() const
    {
        return {w->picWelcome(), w->picConnect(), w->picVolume(), w->picRecordFrom(), w->picRecord(),
                w->picWaveform(), w->picSplit(), w->picOutput(), w->picMP3(), w->picWMA(), w->picWaveCopy(),
                w->picMP3Compress(), w->picWMACompress(), w->picFinish(), w->picFLAC()};
    }
    QString page() const { return current() ? current()->objectName() : QString(); }
    void next() { w->cmdNext_Click(); }
    void back() { w->cmdBack_Click(); }

    TestEnv env;
    MsgBoxScript boxes;
    std::unique_ptr<frmMain> w;

private:
    sv::audio::VirtualDeck m_deck;
};

} // namespace svtest
