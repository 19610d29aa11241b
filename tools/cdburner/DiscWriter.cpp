#include "Writers.h"

#include <libburn/libburn.h>

using namespace burn;

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace sv::cd {

namespace {

constexpr int ProfileCdR = 0x09;
constexpr int ProfileCdRw = 0x0a;
constexpr int PollMicroseconds = 200000;
// One CD speed step in the kilobytes (1000 bytes) per second libburn counts in.
constexpr int SpeedStepKB = 177;

// The most telling message libburn queued, for the failure report.
QString LastLibburnMessage()
{
    QString last;
    int code = 0, os = 0;
    char text[BURN_MSGS_MESSAGE_LEN];
    char severity[80];
    while (burn_msgs_obtain(const_cast<char*>("SORRY"), &code, text, &os, severity) > 0) {
        last = QString::fromLocal8Bit(text);
        std::fprintf(stderr, "libburn %s: %s\n", severity, text);
    }
    return last;
}

QString WithDetail(const QString& reason)
{
    const QString detail = LastLibburnMessage();
    return detail.isEmpty() ? reason : reason + QStringLiteral(" (") + detail + QStringLiteral(")");
}

// Holds libburn and everything taken from it, and gives all of it back in
// the right order whatever way WriteDisc leaves.
struct Session {
    bool initialized = false;
    burn_drive_info* drives = nullptr;
    unsigned int driveCount = 0;
    burn_drive* grabbed = nullptr;
    burn_disc* disc = nullptr;
    burn_write_opts* opts = nullptr;
    bool eject = false;

    ~Session()
    {
        if (opts)
            burn_write_opts_free(opts);
        if (disc)
            burn_disc_free(disc);
        if (grabbed)
            burn_drive_release(grabbed, eject ? 1 : 0);
        if (drives)
            burn_drive_info_free(drives);
        if (initialized)
            burn_finish();
    }
};

void SetText(burn_session* s, burn_track* t, const char* type, const QString& text)
{
    QByteArray bytes = CdText(text);
    bytes.append('\0');
    auto* payload = reinterpret_cast<unsigned char*>(bytes.data());
    if (t)
        burn_track_set_cdtext(t, 0, 0, const_cast<char*>(type), payload, int(bytes.size()), 0);
    else
        burn_session_set_cdtext(s, 0, 0, const_cast<char*>(type), payload, int(bytes.size()), 0);
}

// Album, performer and the track titles in block 0, ISO-8859-1. When they
// do not fit in the lead-in the disc is written without them: titles are
// not worth a refused CD.
void AttachCdText(burn_session* s, const CdPlan& plan)
{
    int charCodes[8] = {0x00, -1, -1, -1, -1, -1, -1, -1};
    int copyrights[8] = {0x00, -1, -1, -1, -1, -1, -1, -1};
    int languages[8] = {0x09, -1, -1, -1, -1, -1, -1, -1};
    burn_session_set_cdtext_par(s, charCodes, copyrights, languages, 0);
    SetText(s, nullptr, "TITLE", plan.album);
    SetText(s, nullptr, "PERFORMER", plan.performer);
    int count = 0;
    burn_track** tracks = burn_session_get_tracks(s, &count);
    for (int i = 0; i < count && i < plan.tracks.size(); ++i) {
        SetText(s, tracks[i], "TITLE", plan.tracks[i].name);
        SetText(s, tracks[i], "PERFORMER", plan.tracks[i].artist);
    }
    unsigned char* packs = nullptr;
    int packCount = 0;
    if (burn_cdtext_from_session(s, &packs, &packCount, 0) > 0) {
        free(packs);
        return;
    }
    LastLibburnMessage();
    std::fprintf(stderr, "The titles do not fit into the CD-TEXT; the disc is written without them.\n");
    burn_session_dispose_cdtext(s, -1);
    for (int i = 0; i < count; ++i)
        burn_track_dispose_cdtext(tracks[i], -1);
}

QString BuildDisc(Session& run, const CdPlan& plan)
{
    run.disc = burn_disc_create();
    burn_session* session = burn_session_create();
    if (!run.disc || !session)
        return QStringLiteral("Out of memory while preparing the CD.");
    burn_disc_add_session(run.disc, session, BURN_POS_END);
    burn_session_free(session); // the disc holds it now

    for (const CdTrack& t : plan.tracks) {
        const int fd = ::open(QFile::encodeName(t.file).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::lseek(fd, t.dataOffset, SEEK_SET) != t.dataOffset) {
            if (fd >= 0)
                ::close(fd);
            return QStringLiteral("Track %1: the file %2 cannot be read.").arg(t.number).arg(t.file);
        }
        burn_source* src = burn_fd_source_new(fd, -1, t.dataBytes);
        burn_track* track = burn_track_create();
        if (!src || !track) {
            if (src)
                burn_source_free(src);
            else
                ::close(fd);
            if (track)
                burn_track_free(track);
            return QStringLiteral("Out of memory while preparing the CD.");
        }
        burn_track_define_data(track, 0, 0, 1, BURN_AUDIO);
        const bool sourced = burn_track_set_source(track, src) == BURN_SOURCE_OK;
        burn_source_free(src); // the track holds it now
        if (sourced)
            burn_session_add_track(session, track, BURN_POS_END);
        burn_track_free(track);
        if (!sourced)
            return WithDetail(QStringLiteral("Track %1 cannot be prepared for writing.").arg(t.number));
    }
    AttachCdText(session, plan);
    return {};
}

// Picks the first drive that holds a blank CD-R or CD-RW and keeps it
// grabbed; every other drive is left alone.
QString FindBlankDisc(Session& run)
{
    while (burn_drive_scan(&run.drives, &run.driveCount) == 0)
        usleep(100000);
    if (run.driveCount == 0)
        return WithDetail(QStringLiteral("No CD writer was found. Please connect a CD writer and try again."));

    bool anyWriter = false;
    QString seen;
    for (unsigned int i = 0; i < run.driveCount; ++i) {
        burn_drive_info& info = run.drives[i];
        if (!info.write_cdr && !info.write_cdrw)
            continue;
        anyWriter = true;
        if (burn_drive_grab(info.drive, 1) != 1)
            continue;
        enum burn_disc_status status;
        for (int tries = 0; (status = burn_disc_get_status(info.drive)) == BURN_DISC_UNREADY && tries < 50; ++tries)
            usleep(100000);
        int profile = 0;
        char profileName[80] = {0};
        burn_disc_get_profile(info.drive, &profile, profileName);
        if (status == BURN_DISC_BLANK && (profile == ProfileCdR || profile == ProfileCdRw)) {
            run.grabbed = info.drive;
            std::printf("Using the %s in %.8s %.16s\n", profileName, info.vendor, info.product);
            return {};
        }
        if (status == BURN_DISC_EMPTY)
            seen = QStringLiteral("The CD writer holds no disc.");
        else if (seen.isEmpty())
            seen = QStringLiteral("The disc in the CD writer is not a blank CD-R or CD-RW.");
        burn_drive_release(info.drive, 0);
    }
    if (!anyWriter)
        return WithDetail(QStringLiteral("No CD writer was found. Please connect a CD writer and try again."));
    return seen + QStringLiteral(" Please insert a blank CD-R or CD-RW and try again.");
}

// Sectors a track may occupy on the blank disc, counted like the plan (with
// the first pregap); 0 when the disc does not say.
std::int64_t DiscCapacity(burn_drive* d)
{
    int startLba = 0, endLba = 0;
    if (burn_disc_read_atip(d) == 1 && burn_drive_get_start_end_lba(d, &startLba, &endLba, 0) == 1 && endLba > 0)
        return std::int64_t(endLba) + FirstPregapSectors;
    const off_t bytes = burn_disc_available_space(d, nullptr);
    return bytes > 0 ? std::int64_t(bytes / 2048) + FirstPregapSectors : 0;
}

int OverallPercent(const CdPlan& plan, enum burn_drive_status status, const burn_progress& p)
{
    if (status == BURN_DRIVE_WRITING_LEADOUT)
        return 99;
    if (status != BURN_DRIVE_WRITING || p.track < 0 || p.track >= plan.tracks.size())
        return -1;
    std::int64_t done = 0;
    for (int i = 0; i < p.track; ++i)
        done += plan.tracks[i].sectors;
    done += std::clamp<std::int64_t>(p.sector, 0, plan.tracks[p.track].sectors);
    return int(qMin<std::int64_t>(99, done * 100 / qMax<std::int64_t>(plan.trackSectors, 1)));
}

} // namespace

QString WriteDisc(const CdPlan& plan, int speed, const Percent& progress)
{
    Session run;
    if (!burn_initialize())
        return QStringLiteral("The CD writing library could not be started.");
    run.initialized = true;
    // Messages are collected for the failure report instead of going
    // straight to the terminal.
    burn_msgs_set_severities(const_cast<char*>("SORRY"), const_cast<char*>("NEVER"), const_cast<char*>("cdburner: "));

    QString reason = FindBlankDisc(run);
    if (!reason.isEmpty())
        return reason;
    if (CancelRequested)
        return QStringLiteral("Writing the audio CD was cancelled before it began; the disc is unchanged.");

    const std::int64_t capacity = DiscCapacity(run.grabbed);
    if (capacity > 0) {
        reason = CheckLength(plan, capacity, QStringLiteral("the blank disc"));
        if (!reason.isEmpty())
            return reason;
    }

    reason = BuildDisc(run, plan);
    if (!reason.isEmpty())
        return reason;

    run.opts = burn_write_opts_new(run.grabbed);
    if (!run.opts)
        return QStringLiteral("Out of memory while preparing the CD.");
    burn_write_opts_set_write_type(run.opts, BURN_WRITE_SAO, BURN_BLOCK_SAO);
    burn_write_opts_set_perform_opc(run.opts, 1);
    burn_write_opts_set_underrun_proof(run.opts, 1);
    burn_write_opts_set_simulate(run.opts, 0);
    burn_write_opts_set_multi(run.opts, 0);
    burn_drive_set_speed(run.grabbed, 0, speed > 0 ? speed * SpeedStepKB : 0);

    char reasons[BURN_REASONS_LEN] = {0};
    if (burn_precheck_write(run.opts, run.disc, reasons, 1) <= 0)
        return QStringLiteral("The CD writer cannot write this audio CD: %1").arg(QString::fromLocal8Bit(reasons));
    if (CancelRequested)
        return QStringLiteral("Writing the audio CD was cancelled before it began; the disc is unchanged.");

    burn_disc_write(run.opts, run.disc);
    burn_progress p{};
    while (burn_drive_get_status(run.grabbed, nullptr) == BURN_DRIVE_SPAWNING)
        usleep(PollMicroseconds / 4);
    int shown = 0;
    if (progress)
        progress(0);
    bool cancelling = false;
    enum burn_drive_status status;
    while ((status = burn_drive_get_status(run.grabbed, &p)) != BURN_DRIVE_IDLE) {
        if (CancelRequested && !cancelling) {
            cancelling = true;
            std::printf("Cancelling...\n");
            std::fflush(stdout);
            burn_drive_cancel(run.grabbed);
        }
        const int percent = OverallPercent(plan, status, p);
        if (percent > shown && progress) {
            shown = percent;
            progress(percent);
        }
        usleep(PollMicroseconds);
    }
    if (cancelling)
        return QStringLiteral("Writing the audio CD was cancelled; the disc may be unusable.");
    if (!burn_drive_wrote_well(run.grabbed))
        return WithDetail(QStringLiteral("Writing the audio CD failed; the disc may be unusable."));
    run.eject = true;
    if (progress)
        progress(100);
    return {};
}

} // namespace sv::cd
