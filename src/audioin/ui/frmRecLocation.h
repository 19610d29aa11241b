#pragma once
// The recording-location dialog: a volume list, a folder tree and a text box.
#include <QDialog>
#include <memory>

class QFileSystemModel;
namespace Ui { class frmRecLocation; }

class frmRecLocation : public QDialog {
    Q_OBJECT
public:
    explicit frmRecLocation(QWidget* parent = nullptr);
    ~frmRecLocation() override;

    // Opens at dir (its volume selected, its folder shown). After exec(),
    // Result() is 1 after OK and 0 after Cancel; Directory() is the text box.
    void Start(const QString& dir);
    int Result() const { return m_result; }
    QString Directory() const;

    // The mount points shown in the volume list, in order.
    QStringList Drives() const;
    void SelectDrive(int index); // as the user picking an entry
    void SelectFolder(const QString& path); // as the user clicking a folder

    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdReset_Click();

private:
    void Drive_Change();
    void showFolder(const QString& path);
    int driveIndexFor(const QString& path) const;

    std::unique_ptr<Ui::frmRecLocation> ui;
    QFileSystemModel* m_model = nullptr;
    int m_result = 0;
    int m_lastDrive = -1;
    bool m_settingDrive = false;
};
