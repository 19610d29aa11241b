#pragma once
// The add/edit dialog of a recording profile: five checks on OK and the
// shaping of the two minute fields.
#include "settings/Profiles.h"

#include <QDialog>
#include <memory>

namespace Ui { class frmNewProfile; }

class frmNewProfile : public QDialog {
    Q_OBJECT
public:
    explicit frmNewProfile(QWidget* parent = nullptr);
    ~frmNewProfile() override;

    // Fills the fields with a stored profile (editing). A pause other than 0
    // checks the pause box and keeps the stored value.
    void SetProfile(const sv::Profile& profile);
    // The fields as the caller stores them (pause "0" when unchecked).
    sv::Profile GetProfile() const;

    void cmdOK_Click();
    void cmdCancel_Click();
    void chkPause_Click();

protected:
    bool event(QEvent* e) override;

private:
    void ShapeField(class QLineEdit* field);
    void ApplyPauseState();

    std::unique_ptr<Ui::frmNewProfile> ui;
    bool m_shaping = false;
};
