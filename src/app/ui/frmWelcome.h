#pragma once
// The first-run dialog: welcome, the tutorial choice, ready.
#include <QDialog>
#include <memory>

namespace Ui { class frmWelcome; }

class frmWelcome : public QDialog {
    Q_OBJECT
public:
    explicit frmWelcome(QWidget* parent = nullptr);
    ~frmWelcome() override;

    // One click advances exactly one page; on the last page it closes.
    void cmdNext_Click();

Q_SIGNALS:
    void TutorialChosen(bool on);

private:
    std::unique_ptr<Ui::frmWelcome> ui;
};
