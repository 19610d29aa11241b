#pragma once
// Page: FLAC files, the tags of each track, the compression level and the
// save folder; Next encodes every track on this page's progress panel.
#include "app/ui/pages/TrackTagFields.h"
#include "app/ui/pages/WizardPage.h"

#include <QPointer>
#include <QVector>
#include <memory>

namespace Ui { class PageFLAC; }
namespace sv {
class AnimGif;
class FlacJob;
struct JobResult;
} // namespace sv

class PageFLAC : public WizardPage {
    Q_OBJECT
public:
    explicit PageFLAC(WizardHost& wizard);
    // A running encoding is cancelled; it leaves no file behind.
    ~PageFLAC() override;

    // Start-up: the level list and the save-location box.
    void FLACOptionsLoad();
    // Fills the track list from the recording's index and shows the page.
    void LoadFLACPage();
    // Stores the shown track's fields, checks the folder and starts encoding.
    void FLACPageNext();
    // Leaving the page: stops the preview and keeps the shown track's fields.
    void LeavePage();
    bool IsEncoding() const;
    // Cancels a running encoding (the finished handler still runs).
    void CancelEncoding();

    // The stored compression level, 0 to 8 (default 5).
    static int StoredLevel();
    static bool StoreLevel(int level);

Q_SIGNALS:
    void delivered(const QString& folder, Delivery what);

private:
    void ShowTrack(int row);
    void SaveShownTrack();
    void Play();
    void StopPreview();
    void ShowEncoding(bool on);
    void TrackProgress(int track, qint64 done, qint64 total);
    void EncodingFinished(const sv::JobResult& r);

    std::unique_ptr<Ui::PageFLAC> ui;
    TrackTagFields m_fields;
    sv::AnimGif* agFLACCompress = nullptr;
    QPointer<sv::FlacJob> m_job;
    QString m_folder;
    int m_shownTrack = -1; // 1-based, -1: none
    int m_barTrack = 0;    // track the track bar follows
    QVector<bool> m_trackDone;
};
