#pragma once
// The one owner of a recording's files: where the recording is, whether it
// was split (its index and track files), and where finished files were
// delivered. It is the only code that deletes a recording's files, and it
// never deletes a file that was delivered.
#include <QString>
#include <QStringList>
#include <QVector>

namespace sv {

enum class DeliveryKind { Wav, Mp3, Wma, Flac, Cd };

struct Delivery {
    DeliveryKind kind = DeliveryKind::Wav;
    QString folder;      // with a trailing slash; empty for a CD
    QStringList files;   // the finished files (absolute), as far as known
};

class RecordingSession {
public:
    enum class State { Empty, Recorded, Split };

    State state() const { return m_state; }
    QString recordingPath() const { return m_recording; }
    // The folder of the recording, its index and its tracks (trailing slash).
    QString folder() const;
    // recording.xml once split, "" before.
    QString indexPath() const { return m_index; }
    int trackCount() const { return m_tracks; }
    // The track files as the index lists them.
    QStringList trackFiles() const;
    const QVector<Delivery>& deliveries() const { return m_deliveries; }

    // A new take is recorded to path: what an earlier take left there goes.
    void startRecording(const QString& path);
    // Takes over a recording that is already on the disk at path (a split of
    // a recording made elsewhere, or after a restart). Deletes nothing.
    void adoptRecording(const QString& path);
    // The split committed count tracks and their index in folder(); the
    // recording itself is deleted.
    void splitDone(int count);
    // Finished files went to folder: they are the user's from now on. WAV
    // copies saved into the recording's own folder are the track files
    // themselves; the index records that, so no later split replaces them.
    void delivered(DeliveryKind kind, const QString& folder, const QStringList& files = {});
    // True for a file that was delivered (compared as canonical paths).
    bool isDelivered(const QString& path) const;

    // Deletes the recording only (a take too short to go on with, one left
    // with Back, or one recorded again).
    void discardRecording();
    // Deletes the recording and the track files its index lists, except any
    // delivered one, and starts over empty. Deliveries stay protected.
    void clear();

private:
    void remove(const QString& path) const;

    State m_state = State::Empty;
    QString m_recording;
    QString m_index;
    int m_tracks = 0;
    QVector<Delivery> m_deliveries;
};

} // namespace sv
