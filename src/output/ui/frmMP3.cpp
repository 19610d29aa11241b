#include "output/ui/frmMP3.h"
#include "ui_frmMP3.h"

frmMP3::frmMP3(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmMP3>())
{
    ui->setupUi(this);
    ui->chkSave->hide();
    ui->cboBitrate->addItems(sv::Mp3DialogBitrates());
    connect(ui->sliSpeed, &QSlider::valueChanged, this,
            [this](int v) { ui->lblSpeed->setText(sv::Mp3SpeedLabel(v)); });
    connect(ui->chkID3, &QCheckBox::clicked, this, &frmMP3::chkID3_Click);
    connect(ui->cmdDefault, &QPushButton::clicked, this, &frmMP3::cmdDefault_Click);
    connect(ui->cmdHelp, &QPushButton::clicked, this, &frmMP3::helpRequested);
    connect(ui->cmdOK, &QPushButton::clicked, this, [this] {
        ui->chkSave->setChecked(true);
        accept();
    });
    connect(ui->cmdCancel, &QPushButton::clicked, this, [this] {
        ui->chkSave->setChecked(false);
        reject();
    });
    ui->cmdOK->setDefault(true);
    setValues(sv::Mp3DialogDefaults());
}

frmMP3::~frmMP3() = default;

void frmMP3::setValues(const sv::Mp3DialogValues& v)
{
    ui->chkCopyright->setChecked(v.copyright);
    ui->chkCRC->setChecked(v.crc);
    ui->chkISO->setChecked(v.forceIso);
    ui->sliSpeed->setValue(v.speed >= 1 && v.speed <= 10 ? v.speed : 3);
    ui->lblSpeed->setText(sv::Mp3SpeedLabel(ui->sliSpeed->value()));
    switch (v.channels) {
    case 2: ui->optStereo->setChecked(true); break;
    case 3: ui->optJStereo->setChecked(true); break;
    case 4: ui->optMono->setChecked(true); break;
    default: ui->optAuto->setChecked(true); break;
    }
    ui->chkID3->setChecked(v.id3 != 0);
    switch (v.id3) {
    case 2: ui->optID31->setChecked(true); break;
    case 3: ui->optID32->setChecked(true); break;
    default: ui->optID3Auto->setChecked(true); break;
    }
    for (QRadioButton* o : {ui->optID3Auto, ui->optID31, ui->optID32})
        o->setEnabled(v.id3 != 0);
    ui->cboBitrate->setCurrentIndex(sv::Mp3DialogBitrateIndex(v.bitrate));
}

sv::Mp3DialogValues frmMP3::values() const
{
    sv::Mp3DialogValues v;
    v.copyright = ui->chkCopyright->isChecked();
    v.crc = ui->chkCRC->isChecked();
    v.forceIso = ui->chkISO->isChecked();
    v.speed = ui->sliSpeed->value();
    v.channels = ui->optStereo->isChecked() ? 2 : ui->optJStereo->isChecked() ? 3 : ui->optMono->isChecked() ? 4 : 1;
    v.id3 = !ui->chkID3->isChecked() ? 0 : ui->optID31->isChecked() ? 2 : ui->optID32->isChecked() ? 3 : 1;
    v.bitrate = ui->cboBitrate->currentText();
    return v;
}

bool frmMP3::saveRequested() const
{
    return ui->chkSave->isChecked();
}

void frmMP3::chkID3_Click()
{
    const bool on = ui->chkID3->isChecked();
    for (QRadioButton* o : {ui->optID3Auto, ui->optID31, ui->optID32})
        o->setEnabled(on);
    if (on)
        ui->optID3Auto->setChecked(true);
}

void frmMP3::cmdDefault_Click()
{
    setValues(sv::Mp3DialogDefaults());
}
