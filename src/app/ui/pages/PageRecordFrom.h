#pragma once
// Page 4: the recording profile and the recording location.
#include "app/ui/pages/WizardPage.h"

#include <QColor>
#include <cstdint>
#include <memory>

namespace Ui { class PageRecordFrom; }

class PageRecordFrom : public WizardPage {
    Q_OBJECT
public:
    explicit PageRecordFrom(WizardHost& wizard);
    ~PageRecordFrom() override;

    void LoadProfiles();
    void lstProfiles_Click();
    void AddProfile_Click();
    void cmdEditProfile_Click();
    void cmdDeleteProfile_Click();
    int SelectedProfile() const; // -1 for none
    // False for none, and for a profile whose stored length or pause is not valid.
    bool SelectedProfileValid() const;
    int ProfileCount() const;

    // Disk-space line for a recording of the given minutes.
    void CalcRecSpace(int minutes);
    std::int64_t GetFreeSpace() const;
    struct RecSpace {
        bool enough;
        QString text;
        QColor colour;
    };
    static RecSpace RecSpaceFor(double minutes, double freeBytes);

    // Lets the user choose the recording folder, then stores it.
    void lblRecLocation_Click();


private:
    std::unique_ptr<Ui::PageRecordFrom> ui;
};
