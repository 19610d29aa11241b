#include "settings/ui/frmNewProfile.h"
#include "ui_frmNewProfile.h"

#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <QEvent>

#include <algorithm>

frmNewProfile::frmNewProfile(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmNewProfile>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    connect(ui->cmdOK, &QPushButton::clicked, this, &frmNewProfile::cmdOK_Click);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmNewProfile::cmdCancel_Click);
    connect(ui->chkPause, &QCheckBox::clicked, this, &frmNewProfile::chkPause_Click);
    connect(ui->txtLength, &QLineEdit::textChanged, this, [this] { ShapeField(ui->txtLength); });
    connect(ui->txtPause, &QLineEdit::textChanged, this, [this] { ShapeField(ui->txtPause); });
    ApplyPauseState();
}

frmNewProfile::~frmNewProfile() = default;

void frmNewProfile::SetProfile(const sv::Profile& p)
{
    ui->txtName->setText(p.name);
    ui->txtDescription->setPlainText(p.description);
    const bool hasPause = !sv::NotNumeric(p.pause) && sv::Val(p.pause) != 0;
    ui->chkPause->setChecked(hasPause);
    ui->txtPause->setText(hasPause ? p.pause : QString());
    ui->txtLength->setText(p.recordLength);
    ApplyPauseState();
}

sv::Profile frmNewProfile::GetProfile() const
{
    sv::Profile p;
    p.name = ui->txtName->text();
    p.description = ui->txtDescription->toPlainText();
    p.recordLength = ui->txtLength->text();
    p.pause = ui->chkPause->isChecked() ? ui->txtPause->text() : QStringLiteral("0");
    return p;
}

void frmNewProfile::cmdOK_Click()
{
    const sv::ProfileCheck check = sv::CheckProfile(ui->txtName->text(), ui->txtLength->text(),
                                                    ui->chkPause->isChecked(), ui->txtPause->text());
    if (!check.ok) {
        QWidget* focus = check.field == sv::ProfileCheck::Name     ? static_cast<QWidget*>(ui->txtName)
                         : check.field == sv::ProfileCheck::Length ? static_cast<QWidget*>(ui->txtLength)
                                                                   : static_cast<QWidget*>(ui->txtPause);
        focus->setFocus();
        sv::MsgBoxEx(check.text, sv::vbExclamation, check.title);
        return;
    }
    if (!ui->chkPause->isChecked())
        ui->txtPause->setText(QStringLiteral("0"));
    accept();
}

void frmNewProfile::cmdCancel_Click()
{
    reject();
}

// A newly checked pause box proposes half the length, but never less than the
// shortest pause OK accepts; a stored pause shown for editing is left as it
// is (SetProfile does not come through here).
void frmNewProfile::chkPause_Click()
{
    ApplyPauseState();
    if (!ui->chkPause->isChecked())
        return;
    const int length = sv::LeadingInt(ui->txtLength->text(), 0);
    constexpr int shortestPause = 5;
    if (length > shortestPause)
        ui->txtPause->setText(QString::number(std::max(shortestPause, length / 2)));
}

void frmNewProfile::ApplyPauseState()
{
    const bool on = ui->chkPause->isChecked();
    ui->txtPause->setEnabled(on);
    ui->lblPause->setEnabled(on);
}

bool frmNewProfile::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        ApplyPauseState();
    return QDialog::event(e);
}

void frmNewProfile::ShapeField(QLineEdit* field)
{
    if (m_shaping)
        return;
    const QString text = field->text();
    const QString shaped = sv::ShapeMinutes(text);
    if (shaped == text)
        return;
    m_shaping = true;
    const int pos = field->cursorPosition();
    field->setText(shaped);
    field->setCursorPosition(qMin(pos, int(shaped.size())));
    m_shaping = false;
}
