// The hand-offs between the wizard's pages, in one place: a page announces
// what happened, and here the page that goes on with it is told. Pages never
// call each other.
#include "app/ui/frmMain.h"
#include "app/ui/pages/Pages.h"

void frmMain::WirePages()
{
    connect(m_connect, &PageConnect::connected, m_volume, &PageVolume::Enter);
    connect(m_volume, &PageVolume::defaultDeviceChanged, this, &frmMain::DeviceChangeNotice);

    // Recording, drawing and splitting
    connect(m_record, &PageRecord::recordingFinished, m_waveform, &PageWaveform::WaveFormStep);
    connect(m_waveform, &PageWaveform::drawingStarted, m_record, &PageRecord::StopGraph);
    connect(m_waveform, &PageWaveform::recordingDamaged, m_record, [this] {
        m_record->Reopen();
        m_record->ShowDamaged();
    });
    connect(m_waveform, &PageWaveform::backToRecording, m_record, [this] {
        m_record->ClearTimes();
        m_record->Reopen();
    });
    m_split->UseTracks(m_waveform->Tracks());
    connect(m_split, &PageSplit::splitStarting, m_waveform, &PageWaveform::cmdWaveStop_Click);
    connect(m_split, &PageSplit::releaseRecording, m_waveform, &PageWaveform::ReleaseRecording);
    connect(m_split, &PageSplit::recordingDamaged, m_record, &PageRecord::Reopen);
    connect(m_split, &PageSplit::splitDone, m_waveCopy, &PageWaveCopy::SetTrackCount);
    connect(m_split, &PageSplit::splitDone, m_output, &PageOutput::Enter);

    // Delivery and the finish page
    connect(m_mp3, &PageMP3::compressRequested, m_mp3Compress, &PageMP3Compress::ConverttoMP3);
    connect(m_mp3Compress, &PageMP3Compress::delivered, m_finish, &PageFinish::ShowDelivered);
    connect(m_split, &PageSplit::splitDone, m_wma, &PageWMA::SetTrackCount);
    connect(m_wma, &PageWMA::convertRequested, m_wmaCompress, &PageWMACompress::ConverttoWMA);
    connect(m_wmaCompress, &PageWMACompress::delivered, m_finish, &PageFinish::ShowDelivered);
    connect(m_waveCopy, &PageWaveCopy::delivered, m_finish, &PageFinish::ShowDelivered);
    connect(m_flac, &PageFLAC::delivered, m_finish, &PageFinish::ShowDelivered);
    connect(m_finish, &PageFinish::newRecordingRequested, this, &frmMain::ResetSonivault);
}
