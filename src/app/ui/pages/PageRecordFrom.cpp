#include "app/ui/pages/PageRecordFrom.h"
#include "ui_PageRecordFrom.h"

#include "audioin/ui/frmRecLocation.h"
#include "settings/Profiles.h"
#include "settings/ui/frmNewProfile.h"
#include "settings/Settings.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"
#include "util/ui/modShellExecute.h"

#include <QDir>
#include <QPushButton>

#include <cmath>

PageRecordFrom::PageRecordFrom(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageRecordFrom>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picRecordFrom"));
    ui->lstRawProfiles->hide();
    ui->picNoProfiles->hide();
    ui->picNoProfiles->setAutoFillBackground(true);
    ui->lblProfileDescription->setTextFormat(Qt::PlainText);
    ui->lblProfileName->setTextFormat(Qt::PlainText);
    connect(ui->lstProfiles, &QListWidget::itemSelectionChanged, this, [this] {
        if (ui->lstProfiles->currentRow() >= 0)
            lstProfiles_Click();
    });
    connect(ui->AddProfile, &QPushButton::clicked, this, &PageRecordFrom::AddProfile_Click);
    connect(ui->cmdEditProfile, &QPushButton::clicked, this, &PageRecordFrom::cmdEditProfile_Click);
    connect(ui->cmdDeleteProfile, &QPushButton::clicked, this, &PageRecordFrom::cmdDeleteProfile_Click);
    connect(ui->lblRecLocation, &QLabel::linkActivated, this, &PageRecordFrom::lblRecLocation_Click);
    connect(ui->lstProfiles, &QListWidget::itemDoubleClicked, this, [this] {
        if (SelectedProfileValid())
            host.GoNext();
    });
}

PageRecordFrom::~PageRecordFrom() = default;

int PageRecordFrom::SelectedProfile() const
{
    return ui->lstProfiles->currentItem() && ui->lstProfiles->currentItem()->isSelected() ? ui->lstProfiles->currentRow()
                                                                                        : -1;
}

int PageRecordFrom::ProfileCount() const
{
    return ui->lstProfiles->count();
}

void PageRecordFrom::LoadProfiles()
{
    const QSignalBlocker block(ui->lstProfiles);
    ui->lstProfiles->clear();
    ui->lstRawProfiles->clear();
    st.ProfilesFile = sv::DefaultProfilesFile();
    sv::CopyShippedProfiles(sv::DataFolder() + QStringLiteral("profiles.xml"), st.ProfilesFile);
    const sv::ProfileList list = sv::ReadProfileList(st.ProfilesFile);
    // One section per listed name, so each row finds its own profile.
    ui->lstRawProfiles->addItems(list.listed);
    ui->lstProfiles->addItems(list.names);
    ui->cmdEditProfile->setEnabled(false);
    ui->cmdDeleteProfile->setEnabled(false);
    if (ui->lstProfiles->count() > 0 && list.lastUsed >= 0 && list.lastUsed <= ui->lstProfiles->count() - 1) {
        ui->lstProfiles->setCurrentRow(list.lastUsed);
        lstProfiles_Click();
    }
    ui->picNoProfiles->setVisible(ui->lstProfiles->count() == 0);
}

void PageRecordFrom::lstProfiles_Click()
{
    const int index = SelectedProfile();
    if (index < 0)
        return;
    ui->cmdEditProfile->setEnabled(true);
    ui->cmdDeleteProfile->setEnabled(true);
    const QString s = ui->lstRawProfiles->item(index) ? ui->lstRawProfiles->item(index)->text() : QString();
    const QString& f = st.ProfilesFile;
    ui->lblProfileName->setText(sv::XMLGetValue(QStringLiteral("ProfileName"), s, f, QString()));
    ui->lblProfileDescription->setText(sv::UnescapeDescription(
        sv::XMLGetValue(QStringLiteral("Description"), s, f, QStringLiteral("(no description available)"))));
    const sv::ProfileTimes t = sv::CheckStoredProfile(sv::XMLGetValue(QStringLiteral("RecordLength"), s, f, QString()),
                                                      sv::XMLGetValue(QStringLiteral("Pause"), s, f, QString()));
    st.RecordSeconds = t.recordSeconds;
    st.PauseSeconds = t.pauseSeconds;
    if (!t.valid) {
        // A damaged or hand-edited profile: say so, and do not record with it.
        ui->lblProfileSettings->setText(sv::InvalidProfileText());
        ui->lblHardDisk->clear();
        ui->lblRecFolder->setText(QDir::toNativeSeparators(st.RecordDirectory));
        if (IsCurrent())
            host.SetEnabled(NavButton::Next, false);
        return;
    }
    ui->lblProfileSettings->setText(sv::ProfileSettingsText(t.length, t.pause));
    CalcRecSpace(int(std::nearbyint(t.length)));
}

bool PageRecordFrom::SelectedProfileValid() const
{
    const int index = SelectedProfile();
    const QListWidgetItem* item = ui->lstRawProfiles->item(index);
    if (index < 0 || !item)
        return false;
    const QString& f = st.ProfilesFile;
    return sv::CheckStoredProfile(sv::XMLGetValue(QStringLiteral("RecordLength"), item->text(), f, QString()),
                                  sv::XMLGetValue(QStringLiteral("Pause"), item->text(), f, QString()))
        .valid;
}

void PageRecordFrom::AddProfile_Click()
{
    frmNewProfile dialog(window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const sv::Profile p = dialog.GetProfile();
    if (p.name.isEmpty())
        return;
    sv::WriteProfile(st.ProfilesFile, ui->lstRawProfiles->count(), p);
    LoadProfiles();
    if (ui->lstProfiles->count() > 0) {
        ui->lstProfiles->setCurrentRow(ui->lstProfiles->count() - 1);
        lstProfiles_Click(); // Next follows the disk-space line it updates
    }
}

void PageRecordFrom::cmdEditProfile_Click()
{
    const int index = SelectedProfile();
    if (index < 0)
        return;
    frmNewProfile dialog(window());
    dialog.SetProfile(sv::ReadProfile(st.ProfilesFile, index));
    if (dialog.exec() != QDialog::Accepted)
        return;
    sv::WriteProfile(st.ProfilesFile, index, dialog.GetProfile());
    LoadProfiles();
    if (index < ui->lstProfiles->count()) {
        ui->lstProfiles->setCurrentRow(index);
        lstProfiles_Click();
    }
}

void PageRecordFrom::cmdDeleteProfile_Click()
{
    const int index = SelectedProfile();
    const int count = ui->lstProfiles->count();
    if (index < 0)
        return;
    sv::DeleteProfile(st.ProfilesFile, index, count);
    LoadProfiles();
    if (index > 0 && index - 1 < ui->lstProfiles->count()) {
        ui->lstProfiles->setCurrentRow(index - 1);
        lstProfiles_Click();
    } else if (SelectedProfile() < 0) {
        ui->cmdEditProfile->setEnabled(false);
        ui->cmdDeleteProfile->setEnabled(false);
    }
    if (ui->lstProfiles->count() == 0) {
        ui->picNoProfiles->show();
        ui->lblProfileName->clear();
        ui->lblProfileDescription->clear();
        ui->lblProfileSettings->clear();
        ui->lblHardDisk->clear();
        host.SetEnabled(NavButton::Next, false);
    } else {
        ui->picNoProfiles->hide();
    }
}

PageRecordFrom::RecSpace PageRecordFrom::RecSpaceFor(double minutes, double freeBytes)
{
    const double required = minutes * 60.0 * 176526.0 * 1.25;
    const QString amounts = sv::FormatBytes(freeBytes) + QStringLiteral(" free, ") + sv::FormatBytes(required)
        + QStringLiteral(" required.");
    if (required > freeBytes)
        return {false, QStringLiteral("Not enough. (") + amounts, QColor(255, 0, 0)};
    return {true, QStringLiteral("OK. (") + amounts, QColor(0, 128, 0)};
}

std::int64_t PageRecordFrom::GetFreeSpace() const
{
    return sv::GetFreeSpaceOf(st.RecordDirectory);
}

void PageRecordFrom::CalcRecSpace(int minutes)
{
    const RecSpace r = RecSpaceFor(minutes, double(GetFreeSpace()));
    ui->lblHardDisk->setText(r.text);
    QPalette pal = ui->lblHardDisk->palette();
    pal.setColor(QPalette::WindowText, r.colour);
    ui->lblHardDisk->setPalette(pal);
    ui->lblRecFolder->setText(QDir::toNativeSeparators(st.RecordDirectory));
    if (IsCurrent())
        host.SetEnabled(NavButton::Next, r.enough);
}

void PageRecordFrom::lblRecLocation_Click()
{
    // Too short to name a folder: start the user somewhere sensible.
    if (st.RecordDirectory.size() < 3)
        st.RecordDirectory = sv::AddSlash(QDir::homePath());
    frmRecLocation dialog(window());
    dialog.Start(st.RecordDirectory);
    dialog.exec();
    if (dialog.Result() == 1)
        st.RecordDirectory = sv::AddSlash(dialog.Directory());
    lstProfiles_Click();
    ui->lblRecFolder->setText(QDir::toNativeSeparators(st.RecordDirectory));
    // Stored after Cancel too: a folder filled in above is kept.
    sv::Settings::setRecordDirectory(st.RecordDirectory);
}
