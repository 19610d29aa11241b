#pragma once
// The MP3 encoder's options dialog ("Encoding Options"). Shows and returns
// the values; the caller loads and stores them.
#include "output/Mp3Options.h"

#include <QDialog>
#include <memory>

namespace Ui { class frmMP3; }

class frmMP3 : public QDialog {
    Q_OBJECT
public:
    explicit frmMP3(QWidget* parent = nullptr);
    ~frmMP3() override;

    void setValues(const sv::Mp3DialogValues& v);
    sv::Mp3DialogValues values() const;
    // OK was pressed (the values are to be stored).
    bool saveRequested() const;

Q_SIGNALS:
    void helpRequested();

private:
    void chkID3_Click();
    void cmdDefault_Click();
    std::unique_ptr<Ui::frmMP3> ui;
};
