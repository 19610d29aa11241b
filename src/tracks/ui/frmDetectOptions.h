#pragma once
// "Auto Track Detection Options": the three detection settings. OK checks the
// minimum track length (10 to 60 s); closing by the window's close box (or
// Escape) rejects, and the caller then keeps the stored settings.
#include <QDialog>
#include <memory>

namespace Ui { class frmDetectOptions; }

namespace sv {

struct DetectOptionValues {
    int noise = 25;          // sliNoise, the Hiss setting
    int compare = 50;        // sliCompare, Samples x 100
    QString minTrack = QStringLiteral("10"); // txtMinTrack, stored as typed
};

class frmDetectOptions : public QDialog {
    Q_OBJECT
public:
    explicit frmDetectOptions(QWidget* parent = nullptr);
    ~frmDetectOptions() override;

    void SetValues(const DetectOptionValues& v);
    DetectOptionValues Values() const;

    void cmdDefault_Click();
    void cmdOK_Click();

    // The settings as stored, and back. Store writes only what OK accepted.
    static DetectOptionValues Load();
    static void Store(const DetectOptionValues& v);

private:
    std::unique_ptr<Ui::frmDetectOptions> ui;
};

} // namespace sv
