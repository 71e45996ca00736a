// The FFmpeg film source: demuxing, decoding and conversion to BGRA.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/os/library_log.h"
#include "platform/os/video/film_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace video {
namespace {

// FFmpeg's own lines (errors only: a damaged film gives one a packet) are
// counted per film and summed up in one line when the film closes.
class FfmpegFilmSource final : public FilmSource {
  public:
    explicit FfmpegFilmSource(const std::string &osPath) : log_(osPath) {}
    ~FfmpegFilmSource() override {
        FilmLogScope scope(&log_);
        sws_freeContext(sws_);
        swr_free(&swr_);
        avcodec_free_context(&audio_);
        av_packet_free(&soundPacket_);
        av_frame_free(&soundFrame_);
        avformat_close_input(&soundFormat_);
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&codec_);
        avformat_close_input(&format_);
    }

    bool Open(const std::string &osPath) {
        FilmLogScope scope(&log_);
        osPath_ = osPath;
        if (!OpenFormat()) {
            return false;
        }
        const AVCodec *decoder = nullptr;
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
        if (stream_ < 0 || decoder == nullptr) {
            return false;
        }
        AVStream *stream = format_->streams[stream_];
        codec_ = avcodec_alloc_context3(decoder);
        if (codec_ == nullptr ||
            avcodec_parameters_to_context(codec_, stream->codecpar) < 0) {
            return false;
        }
        codec_->thread_count = 1;
        if (avcodec_open2(codec_, decoder, nullptr) < 0) {
            return false;
        }
        if (codec_->width <= 0 || codec_->height <= 0 ||
            uint32_t(codec_->width) > kMaxFilmSide || uint32_t(codec_->height) > kMaxFilmSide) {
            return false;
        }
        width_ = uint32_t(codec_->width);
        height_ = uint32_t(codec_->height);
        timeBase_ = stream->time_base;
        startTime_ = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
        if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
            duration_ = double(format_->duration) / AV_TIME_BASE;
        }
        const AVRational rate = av_guess_frame_rate(format_, stream, nullptr);
        frameStep_ = (rate.num > 0 && rate.den > 0) ? double(rate.den) / rate.num : 0.04;
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (frame_ == nullptr || packet_ == nullptr) {
            return false;
        }
        OpenSound(osPath);
        return true;
    }

    // The first audio stream, converted to 16-bit at 44,100 Hz: mono stays
    // mono, anything else becomes stereo. Without it the film is silent.
    // The sound is read through a second opening of the file, so that it
    // can run ahead of the pictures however the file interleaves them.
    void OpenSound(const std::string &osPath) {
        const AVCodec *decoder = nullptr;
        const int index = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
        if (index < 0 || decoder == nullptr) {
            return;
        }
        soundFormat_ = avformat_alloc_context();
        if (soundFormat_ == nullptr) {
            return;
        }
        soundFormat_->interrupt_callback.callback = &FfmpegFilmSource::InterruptCallback;
        soundFormat_->interrupt_callback.opaque = this;
        if (avformat_open_input(&soundFormat_, osPath.c_str(), nullptr, nullptr) < 0) {
            soundFormat_ = nullptr;
            return;
        }
        if (avformat_find_stream_info(soundFormat_, nullptr) < 0 ||
            unsigned(index) >= soundFormat_->nb_streams) {
            avformat_close_input(&soundFormat_);
            return;
        }
        audio_ = avcodec_alloc_context3(decoder);
        if (audio_ == nullptr ||
            avcodec_parameters_to_context(audio_, soundFormat_->streams[index]->codecpar) < 0 ||
            avcodec_open2(audio_, decoder, nullptr) < 0 || audio_->ch_layout.nb_channels <= 0) {
            avcodec_free_context(&audio_);
            return;
        }
        const int channels = audio_->ch_layout.nb_channels == 1 ? 1 : 2;
        AVChannelLayout out;
        av_channel_layout_default(&out, channels);
        if (swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_S16, int(kFilmSoundRate),
                                &audio_->ch_layout, audio_->sample_fmt, audio_->sample_rate, 0,
                                nullptr) < 0 ||
            swr_init(swr_) < 0) {
            swr_free(&swr_);
            avcodec_free_context(&audio_);
            avformat_close_input(&soundFormat_);
            return;
        }
        soundPacket_ = av_packet_alloc();
        soundFrame_ = av_frame_alloc();
        if (soundPacket_ == nullptr || soundFrame_ == nullptr) {
            return;
        }
        audioStream_ = index;
        soundChannels_ = uint32_t(channels);
    }

    uint32_t SoundChannels() const override { return soundChannels_; }
    bool ReadSound(std::vector<int16_t> *out) override {
        if (soundFormat_ == nullptr || soundPacket_ == nullptr) {
            return false;
        }
        FilmLogScope scope(&log_);
        for (;;) {
            if (interrupted_.load()) {
                return false;
            }
            const int read = av_read_frame(soundFormat_, soundPacket_);
            if (read < 0) {
                return false; // end, or a read error: the rest is silence
            }
            const size_t before = out->size();
            if (soundPacket_->stream_index == audioStream_) {
                DecodeSound(out);
            }
            av_packet_unref(soundPacket_);
            if (out->size() > before) {
                return true;
            }
        }
    }

    uint32_t Width() const override { return width_; }
    uint32_t Height() const override { return height_; }
    double Duration() const override { return duration_; }

    ReadResult NextFrame(std::vector<uint8_t> *bgra, double *time) override {
        if (haveHeld_) {
            haveHeld_ = false;
            bgra->swap(held_);
            *time = heldTime_;
            return ReadResult::Frame;
        }
        if (format_ == nullptr) {
            return ReadResult::Error; // a rewind could not open the file again
        }
        FilmLogScope scope(&log_);
        for (;;) {
            if (interrupted_.load()) {
                return ReadResult::Error;
            }
            const int received = avcodec_receive_frame(codec_, frame_);
            if (received == 0) {
                const bool ok = Convert(bgra, time);
                av_frame_unref(frame_);
                if (ok) {
                    return ReadResult::Frame;
                }
                continue; // a picture that cannot be converted is skipped
            }
            if (received == AVERROR_EOF) {
                return ReadResult::End;
            }
            if (received != AVERROR(EAGAIN)) {
                return ReadResult::Error;
            }
            if (draining_) {
                return ReadResult::End;
            }
            const int read = av_read_frame(format_, packet_);
            if (read == AVERROR_EOF || (read < 0 && avio_feof(format_->pb) != 0)) {
                // Flush: the decoder gives out the pictures it still holds.
                draining_ = true;
                avcodec_send_packet(codec_, nullptr);
                continue;
            }
            if (read < 0) {
                return ReadResult::Error;
            }
            if (packet_->stream_index == stream_) {
                // A packet that fails to decode is skipped.
                avcodec_send_packet(codec_, packet_);
            }
            av_packet_unref(packet_);
        }
    }

    // Seeks the picture stream to its start on its own time base. Some
    // containers (program streams without sound among them) land on a later
    // key picture; the first picture is then checked, and when it is not the
    // start the file is opened again.
    bool Rewind() override {
        FilmLogScope scope(&log_);
        bool ok = format_ != nullptr &&
                  (av_seek_frame(format_, stream_, startTime_, AVSEEK_FLAG_BACKWARD) >= 0 ||
                   av_seek_frame(format_, -1, 0, AVSEEK_FLAG_BYTE) >= 0);
        avcodec_flush_buffers(codec_);
        draining_ = false;
        havePrevious_ = false;
        haveHeld_ = false;
        if (ok) {
            double time = 0.0;
            ok = NextFrame(&held_, &time) == ReadResult::Frame && time <= frameStep_ * 0.5;
            haveHeld_ = ok;
            heldTime_ = time;
        }
        if (!ok) {
            ok = Reopen();
        }
        if (audio_ != nullptr) {
            const int64_t soundTarget =
                soundFormat_->start_time == AV_NOPTS_VALUE ? 0 : soundFormat_->start_time;
            if (av_seek_frame(soundFormat_, -1, soundTarget, AVSEEK_FLAG_BACKWARD) < 0) {
                av_seek_frame(soundFormat_, -1, 0, AVSEEK_FLAG_BYTE);
            }
            avcodec_flush_buffers(audio_);
            swr_init(swr_);
        }
        return ok;
    }

    void Interrupt() override { interrupted_.store(true); }
    void ClearInterrupt() override { interrupted_.store(false); }

  private:
    // Opens the file on format_ and reads its stream information.
    bool OpenFormat() {
        format_ = avformat_alloc_context();
        if (format_ == nullptr) {
            return false;
        }
        format_->interrupt_callback.callback = &FfmpegFilmSource::InterruptCallback;
        format_->interrupt_callback.opaque = this;
        if (avformat_open_input(&format_, osPath_.c_str(), nullptr, nullptr) < 0) {
            format_ = nullptr; // freed by the failed open
            return false;
        }
        return avformat_find_stream_info(format_, nullptr) >= 0;
    }

    // Opens the file afresh for the pictures, keeping the decoder.
    bool Reopen() {
        avformat_close_input(&format_);
        if (!OpenFormat() || unsigned(stream_) >= format_->nb_streams ||
            format_->streams[stream_]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
            avformat_close_input(&format_);
            return false;
        }
        avcodec_flush_buffers(codec_);
        draining_ = false;
        havePrevious_ = false;
        haveHeld_ = false;
        return true;
    }

    static int InterruptCallback(void *opaque) {
        return static_cast<FfmpegFilmSource *>(opaque)->interrupted_.load() ? 1 : 0;
    }

    // Decodes the packet in soundPacket_ and appends its samples.
    void DecodeSound(std::vector<int16_t> *out) {
        if (avcodec_send_packet(audio_, soundPacket_) < 0) {
            return; // skipped
        }
        while (avcodec_receive_frame(audio_, soundFrame_) == 0) {
            const int room = swr_get_out_samples(swr_, soundFrame_->nb_samples);
            if (room > 0) {
                const size_t at = out->size();
                out->resize(at + size_t(room) * soundChannels_);
                uint8_t *dst = reinterpret_cast<uint8_t *>(out->data() + at);
                const int got = swr_convert(
                    swr_, &dst, room, const_cast<const uint8_t **>(soundFrame_->extended_data),
                    soundFrame_->nb_samples);
                out->resize(at + size_t(std::max(got, 0)) * soundChannels_);
            }
            av_frame_unref(soundFrame_);
        }
    }

    bool Convert(std::vector<uint8_t> *bgra, double *time) {
        if (frame_->width != int(width_) || frame_->height != int(height_)) {
            return false; // the stream changed size mid-way: not this texture's
        }
        sws_ = sws_getCachedContext(sws_, frame_->width, frame_->height,
                                    AVPixelFormat(frame_->format), int(width_), int(height_),
                                    AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (sws_ == nullptr) {
            return false;
        }
        bgra->resize(size_t(width_) * height_ * 4);
        uint8_t *planes[4] = {bgra->data(), nullptr, nullptr, nullptr};
        int pitches[4] = {int(width_ * 4), 0, 0, 0};
        if (sws_scale(sws_, frame_->data, frame_->linesize, 0, int(height_), planes, pitches) <
            0) {
            return false;
        }
        // Alpha is opaque whatever the source had.
        for (size_t i = 3; i < bgra->size(); i += 4) {
            (*bgra)[i] = 0xFF;
        }
        const int64_t stamp = frame_->best_effort_timestamp;
        double t = 0.0;
        if (stamp != AV_NOPTS_VALUE) {
            t = double(stamp - startTime_) * timeBase_.num / timeBase_.den;
        } else if (havePrevious_) {
            t = previous_ + frameStep_;
        }
        if (t < 0.0) {
            t = 0.0;
        }
        previous_ = t;
        havePrevious_ = true;
        *time = t;
        return true;
    }

    FilmLog log_; // first: it outlives the contexts that may write to it
    std::string osPath_;
    AVFormatContext *format_ = nullptr;
    AVCodecContext *codec_ = nullptr;
    SwsContext *sws_ = nullptr;
    AVFrame *frame_ = nullptr;
    AVPacket *packet_ = nullptr;
    int stream_ = -1;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    AVRational timeBase_{1, 1};
    int64_t startTime_ = 0;
    double duration_ = 0.0;
    double frameStep_ = 0.04;
    double previous_ = 0.0;
    bool havePrevious_ = false;
    bool draining_ = false;
    // The first picture after a rewind, given out by the next NextFrame.
    std::vector<uint8_t> held_;
    double heldTime_ = 0.0;
    bool haveHeld_ = false;
    std::atomic<bool> interrupted_{false};
    AVCodecContext *audio_ = nullptr;
    SwrContext *swr_ = nullptr;
    int audioStream_ = -2; // no stream has this index
    uint32_t soundChannels_ = 0;
    AVFormatContext *soundFormat_ = nullptr;
    AVPacket *soundPacket_ = nullptr;
    AVFrame *soundFrame_ = nullptr;
};

} // namespace

std::unique_ptr<FilmSource> OpenFfmpegFilmSource(const std::string &osPath) {
    RouteFfmpegLog();
    auto source = std::make_unique<FfmpegFilmSource>(osPath);
    if (!source->Open(osPath)) {
        return nullptr;
    }
    return source;
}

} // namespace video
