#pragma once
// Page 13: the finish actions, and the audio CD output that ends on this page.
#include "app/ui/pages/WizardPage.h"
#include "output/RecordingSession.h"
#include <memory>
#include <optional>

class QAbstractButton;
namespace Ui { class PageFinish; }

class PageFinish : public WizardPage {
    Q_OBJECT
public:
    explicit PageFinish(WizardHost& wizard);
    ~PageFinish() override;

    // Preselects the option of the stored FinishAction ("1".."4"; else exit).
    void SelectFinishAction(const QString& action);
    void FinishPageNext();
    void ResetFinishPage();
    // Shows the page after a delivery to folder (its text for an audio CD).
    void ShowDelivered(const QString& folder, Delivery what);
    // Runs the CD writer (its window stands in for the main window) and
    // shows the page with the outcome.
    void MakeAudioCD();
    // Opens the shown folder; false (after a message) when that failed.
    bool txtFinishSaveIn_Click();
    // Writes the playlist of the last output and opens it; false (after a
    // message) when there is nothing to play or it could not be opened.
    bool PlayRecording();

Q_SIGNALS:
    // "Make a new recording" was chosen.
    void newRecordingRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Offer(QAbstractButton* option, bool on);
    void OfferPlay(bool on);
    void OfferOpen(bool on);
    void SetNextOnly(const QString& caption);
    // Shows message with the reason (%1) and where the user's files are (%2); false.
    bool Complain(const QString& message, const QString& reason, const QString& place, const QString& title);
    // Opens path with the desktop's program for it; false after complaining.
    bool Open(const QString& path, const QString& message, const QString& place, const QString& title);

    std::unique_ptr<Ui::PageFinish> ui;
    // The output the page shows, when a player can play it.
    std::optional<sv::Delivery> m_playable;
};
