#include "WmaEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace wm8e {
namespace {

// Path of the file being written, for the signal handler: a fixed buffer, as
// a handler may not allocate.
char g_partialPath[PATH_MAX + 32];

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string AvError(int code)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The ASF muxer puts audio frames whole into fixed-size packets and pads the
// rest, so small frames in its default 3200-byte packets waste up to a third
// of the file at 32 kbps (and 192 kbps frames fit only twice). We hand it
// groups of encoder frames as one media object, sized to fill one packet
// exactly: the object plus the packet's own 11 header bytes and the 15 bytes
// of a single payload's header.
constexpr int kPacketOverhead = 11 + 15;
constexpr int kTargetPacketSize = 2400;

int FramesPerGroup(int blockAlign) { return std::max(1, (kTargetPacketSize + blockAlign / 2) / blockAlign); }

std::string RefusedFormat(const AVCodecParameters* par)
{
    switch (par->codec_id) {
    case AV_CODEC_ID_PCM_U8:
        return "8-bit PCM";
    case AV_CODEC_ID_PCM_S24LE:
        return "24-bit PCM";
    case AV_CODEC_ID_PCM_S32LE:
        return "32-bit PCM";
    case AV_CODEC_ID_PCM_F32LE:
        return "32-bit floating-point";
    case AV_CODEC_ID_PCM_F64LE:
        return "64-bit floating-point";
    default:
        break;
    }
    const AVCodecDescriptor* d = avcodec_descriptor_get(par->codec_id);
    return d ? std::string(d->long_name ? d->long_name : d->name) : std::string("an unknown format");
}

// FFmpeg 7 made the write callback's buffer const.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
using WriteBuffer = const uint8_t*;
#else
using WriteBuffer = uint8_t*;
#endif

// The temporary output file: written through our own I/O callbacks so that a
// failed write (a full disk) is reported with its real reason.
class PartialFile {
public:
    explicit PartialFile(const std::string& output)
    {
        std::string tmpl = output + ".XXXXXX.part";
        if (tmpl.size() >= sizeof g_partialPath)
            throw Failure("output path " + Quoted(output) + " is too long");
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        std::memcpy(g_partialPath, buf.data(), buf.size());
        m_fd = mkstemps(g_partialPath, 5);
        if (m_fd < 0) {
            const int e = errno;
            g_partialPath[0] = '\0';
            throw Failure("cannot write into folder " + Quoted(FolderOf(output)) + ": " + std::strerror(e));
        }
        m_path = g_partialPath;
        // mkstemp makes the file private; a music file gets the usual rights.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(m_fd, 0666 & ~mask);
    }
    ~PartialFile() { Discard(); }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    int fd() const { return m_fd; }
    int writeError() const { return m_writeError; }

    static int Write(void* opaque, WriteBuffer data, int size)
    {
        auto* self = static_cast<PartialFile*>(opaque);
        int done = 0;
        while (done < size) {
            const ssize_t n = ::write(self->m_fd, data + done, size_t(size - done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                self->m_writeError = errno;
                return AVERROR(errno);
            }
            done += int(n);
        }
        return size;
    }

    static int64_t Seek(void* opaque, int64_t offset, int whence)
    {
        auto* self = static_cast<PartialFile*>(opaque);
        if (whence == AVSEEK_SIZE) {
            struct stat st {};
            return fstat(self->m_fd, &st) == 0 ? int64_t(st.st_size) : AVERROR(errno);
        }
        const off_t pos = lseek(self->m_fd, offset, whence & ~AVSEEK_FORCE);
        return pos < 0 ? AVERROR(errno) : int64_t(pos);
    }

    // Flushes the file to disk and gives it its real name.
    void Commit(const std::string& output)
    {
        if (fsync(m_fd) != 0 || ::close(m_fd) != 0) {
            m_fd = -1;
            throw Failure("cannot write " + Quoted(output) + ": " + std::strerror(errno));
        }
        m_fd = -1;
        if (std::rename(m_path.c_str(), output.c_str()) != 0)
            throw Failure("cannot create " + Quoted(output) + ": " + std::strerror(errno));
        g_partialPath[0] = '\0';
        m_path.clear();
    }

    void Discard()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        if (!m_path.empty()) {
            g_partialPath[0] = '\0';
            ::unlink(m_path.c_str());
            m_path.clear();
        }
    }

private:
    int m_fd = -1;
    int m_writeError = 0;
    std::string m_path;
};

// Owns every FFmpeg object of one run.
struct Session {
    AVFormatContext* in = nullptr;
    AVCodecContext* enc = nullptr;
    SwrContext* swr = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVFormatContext* out = nullptr;
    AVIOContext* io = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* inPkt = nullptr;
    AVPacket* encPkt = nullptr;
    AVPacket* group = nullptr;
    uint8_t** converted = nullptr;
    int convertedCapacity = 0;

    ~Session()
    {
        if (converted)
            av_freep(&converted[0]);
        av_freep(&converted);
        av_packet_free(&group);
        av_packet_free(&encPkt);
        av_packet_free(&inPkt);
        av_frame_free(&frame);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
        if (out)
            out->pb = nullptr;
        avformat_free_context(out);
        av_audio_fifo_free(fifo);
        swr_free(&swr);
        avcodec_free_context(&enc);
        avformat_close_input(&in);
    }
};

class Encoder {
public:
    explicit Encoder(const EncodeJob& job)
        : m_job(job)
    {
    }

    void Run()
    {
        OpenInput();
        CheckOutputTarget();
        OpenEncoder();
        PartialFile file(m_job.output);
        m_file = &file;
        OpenOutput();
        Transcode();
        Finish();
        file.Commit(m_job.output);
        m_file = nullptr;
    }

private:
    void OpenInput()
    {
        const std::string& path = m_job.input;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0)
            throw Failure("cannot read input " + Quoted(path) + ": " + std::strerror(errno));
        if (S_ISDIR(st.st_mode))
            throw Failure("input " + Quoted(path) + " is a folder, not a WAV file");
        m_inputDev = st.st_dev;
        m_inputIno = st.st_ino;
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0)
            throw Failure("cannot read input " + Quoted(path) + ": " + std::strerror(errno));
        ::close(fd);

        const AVInputFormat* wav = av_find_input_format("wav");
        int r = avformat_open_input(&s.in, path.c_str(), wav, nullptr);
        if (r == AVERROR_INVALIDDATA || r == AVERROR_EOF)
            throw Failure("input " + Quoted(path) + " is not a WAV file");
        if (r < 0)
            throw Failure("cannot read input " + Quoted(path) + ": " + AvError(r));
        if (s.in->nb_streams != 1 || s.in->streams[0]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            throw Failure("input " + Quoted(path) + " is not a WAV file");
        m_inPar = s.in->streams[0]->codecpar;
        if (m_inPar->codec_id != AV_CODEC_ID_PCM_S16LE)
            throw Failure("input " + Quoted(path) + " holds " + RefusedFormat(m_inPar)
                          + " audio; only 16-bit PCM WAV files can be encoded");
        if (m_inPar->ch_layout.nb_channels < 1 || m_inPar->sample_rate < 1)
            throw Failure("input " + Quoted(path) + " has a damaged WAV header");
    }

    void CheckOutputTarget()
    {
        struct stat st {};
        if (stat(m_job.output.c_str(), &st) != 0)
            return;
        if (S_ISDIR(st.st_mode))
            throw Failure("output " + Quoted(m_job.output) + " is a folder");
        if (st.st_dev == m_inputDev && st.st_ino == m_inputIno)
            throw Failure("output " + Quoted(m_job.output) + " is the input file itself");
    }

    void OpenEncoder()
    {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
        if (!codec)
            throw Failure("this FFmpeg has no WMA (wmav2) encoder");
        s.enc = avcodec_alloc_context3(codec);
        if (!s.enc)
            throw Failure("out of memory");
        s.enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
        s.enc->sample_rate = m_job.sampleRate;
        av_channel_layout_default(&s.enc->ch_layout, m_job.channels);
        s.enc->bit_rate = m_job.bitRate;
        s.enc->time_base = AVRational{1, m_job.sampleRate};
        s.enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int r = avcodec_open2(s.enc, codec, nullptr);
        if (r < 0)
            throw Failure("cannot start the WMA encoder: " + AvError(r));

        AVChannelLayout inLayout{};
        if (m_inPar->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&inLayout, m_inPar->ch_layout.nb_channels);
        else
            av_channel_layout_copy(&inLayout, &m_inPar->ch_layout);
        r = swr_alloc_set_opts2(&s.swr, &s.enc->ch_layout, AV_SAMPLE_FMT_FLTP, m_job.sampleRate, &inLayout,
                                AV_SAMPLE_FMT_S16, m_inPar->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        if (r < 0 || (r = swr_init(s.swr)) < 0)
            throw Failure("cannot convert the input's samples: " + AvError(r));

        s.fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, m_job.channels, s.enc->frame_size * 4);
        s.frame = av_frame_alloc();
        s.inPkt = av_packet_alloc();
        s.encPkt = av_packet_alloc();
        s.group = av_packet_alloc();
        if (!s.fifo || !s.frame || !s.inPkt || !s.encPkt || !s.group)
            throw Failure("out of memory");
        s.frame->format = AV_SAMPLE_FMT_FLTP;
        s.frame->sample_rate = m_job.sampleRate;
        s.frame->nb_samples = s.enc->frame_size;
        av_channel_layout_copy(&s.frame->ch_layout, &s.enc->ch_layout);
        if (av_frame_get_buffer(s.frame, 0) < 0)
            throw Failure("out of memory");
        m_framesPerGroup = FramesPerGroup(s.enc->block_align);
    }

    void OpenOutput()
    {
        int r = avformat_alloc_output_context2(&s.out, nullptr, "asf", nullptr);
        if (r < 0 || !s.out)
            throw Failure("this FFmpeg cannot write ASF files");
        constexpr int kIoBuffer = 64 * 1024;
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
        if (!buffer)
            throw Failure("out of memory");
        s.io = avio_alloc_context(buffer, kIoBuffer, 1, m_file, nullptr, &PartialFile::Write,
                                  &PartialFile::Seek);
        if (!s.io) {
            av_free(buffer);
            throw Failure("out of memory");
        }
        s.out->pb = s.io;
        s.out->flags |= AVFMT_FLAG_CUSTOM_IO;

        AVStream* st = avformat_new_stream(s.out, nullptr);
        if (!st)
            throw Failure("out of memory");
        st->time_base = s.enc->time_base;
        if ((r = avcodec_parameters_from_context(st->codecpar, s.enc)) < 0)
            throw Failure("cannot set up the WMA stream: " + AvError(r));

        const std::pair<const char*, const std::string*> tags[] = {
            {"title", &m_job.title},
            {"author", &m_job.author},
            {"copyright", &m_job.copyright},
            {"comment", &m_job.description},
        };
        for (const auto& [key, value] : tags) {
            if (!value->empty())
                av_dict_set(&s.out->metadata, key, value->c_str(), 0);
        }

        AVDictionary* opts = nullptr;
        av_dict_set_int(&opts, "packet_size", int64_t(m_framesPerGroup) * s.enc->block_align + kPacketOverhead, 0);
        r = avformat_write_header(s.out, &opts);
        av_dict_free(&opts);
        if (r < 0)
            throw WriteFailure(r);
    }

    Failure WriteFailure(int r) const
    {
        if (m_file && m_file->writeError())
            return Failure("cannot write " + Quoted(m_job.output) + ": " + std::strerror(m_file->writeError()));
        return Failure("cannot write " + Quoted(m_job.output) + ": " + AvError(r));
    }

    void Transcode()
    {
        const int inChannels = m_inPar->ch_layout.nb_channels;
        int r;
        while ((r = av_read_frame(s.in, s.inPkt)) >= 0) {
            const int samples = s.inPkt->size / (2 * inChannels);
            m_inputSamples += samples;
            const uint8_t* in[] = {s.inPkt->data};
            Convert(in, samples);
            av_packet_unref(s.inPkt);
            EncodeWhole();
        }
        if (r != AVERROR_EOF)
            throw Failure("cannot read input " + Quoted(m_job.input) + ": " + AvError(r));
        if (m_inputSamples == 0)
            throw Failure("input " + Quoted(m_job.input) + " holds no sound");
        Convert(nullptr, 0); // the resampler's tail
        EncodeWhole();
        if (const int rest = av_audio_fifo_size(s.fifo); rest > 0)
            EncodeFrame(rest);
        SendToEncoder(nullptr);
        WriteGroup();
    }

    void Convert(const uint8_t** in, int samples)
    {
        const int room = swr_get_out_samples(s.swr, samples);
        if (room > s.convertedCapacity) {
            if (s.converted)
                av_freep(&s.converted[0]);
            av_freep(&s.converted);
            if (av_samples_alloc_array_and_samples(&s.converted, nullptr, m_job.channels, room, AV_SAMPLE_FMT_FLTP, 0)
                < 0)
                throw Failure("out of memory");
            s.convertedCapacity = room;
        }
        const int got = swr_convert(s.swr, s.converted, room, in, samples);
        if (got < 0)
            throw Failure("cannot convert the input's samples: " + AvError(got));
        if (got > 0 && av_audio_fifo_write(s.fifo, reinterpret_cast<void**>(s.converted), got) < got)
            throw Failure("out of memory");
    }

    void EncodeWhole()
    {
        while (av_audio_fifo_size(s.fifo) >= s.enc->frame_size)
            EncodeFrame(s.enc->frame_size);
    }

    void EncodeFrame(int samples)
    {
        if (av_frame_make_writable(s.frame) < 0)
            throw Failure("out of memory");
        s.frame->nb_samples = samples;
        if (av_audio_fifo_read(s.fifo, reinterpret_cast<void**>(s.frame->data), samples) < samples)
            throw Failure("cannot convert the input's samples");
        s.frame->pts = m_samplesSent;
        m_samplesSent += samples;
        SendToEncoder(s.frame);
    }

    void SendToEncoder(const AVFrame* frame)
    {
        int r = avcodec_send_frame(s.enc, frame);
        if (r < 0)
            throw Failure("WMA encoding failed: " + AvError(r));
        while ((r = avcodec_receive_packet(s.enc, s.encPkt)) >= 0) {
            AddToGroup(s.encPkt);
            av_packet_unref(s.encPkt);
        }
        if (r != AVERROR(EAGAIN) && r != AVERROR_EOF)
            throw Failure("WMA encoding failed: " + AvError(r));
    }

    void AddToGroup(const AVPacket* pkt)
    {
        if (m_grouped == 0) {
            m_groupPts = pkt->pts;
            m_groupDuration = 0;
            m_groupBytes.clear();
        }
        m_groupBytes.insert(m_groupBytes.end(), pkt->data, pkt->data + pkt->size);
        m_groupDuration += pkt->duration;
        if (++m_grouped == m_framesPerGroup)
            WriteGroup();
    }

    void WriteGroup()
    {
        if (m_grouped == 0)
            return;
        m_grouped = 0;
        int r = av_new_packet(s.group, int(m_groupBytes.size()));
        if (r < 0)
            throw Failure("out of memory");
        std::memcpy(s.group->data, m_groupBytes.data(), m_groupBytes.size());
        s.group->pts = s.group->dts = m_groupPts;
        s.group->duration = m_groupDuration;
        s.group->stream_index = 0;
        av_packet_rescale_ts(s.group, s.enc->time_base, s.out->streams[0]->time_base);
        r = av_write_frame(s.out, s.group);
        av_packet_unref(s.group);
        if (r < 0)
            throw WriteFailure(r);
    }

    void Finish()
    {
        int r = av_write_trailer(s.out);
        if (r >= 0) {
            avio_flush(s.io);
            r = s.io->error;
        }
        if (r < 0 || m_file->writeError())
            throw WriteFailure(r);
    }

    const EncodeJob& m_job;
    Session s;
    PartialFile* m_file = nullptr;
    const AVCodecParameters* m_inPar = nullptr;
    dev_t m_inputDev = 0;
    ino_t m_inputIno = 0;
    int64_t m_inputSamples = 0;
    int64_t m_samplesSent = 0;
    int m_framesPerGroup = 1;
    int m_grouped = 0;
    int64_t m_groupPts = 0;
    int64_t m_groupDuration = 0;
    std::vector<uint8_t> m_groupBytes;
};

} // namespace

std::string Encode(const EncodeJob& job)
{
    try {
        Encoder(job).Run();
        return {};
    } catch (const Failure& f) {
        return f.what();
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
}

void RemovePartialOutput()
{
    if (g_partialPath[0])
        ::unlink(g_partialPath);
}

} // namespace wm8e
