#include "platform/os/video/film_writer.h"

#include <cmath>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace filmwriter {
namespace {

struct Writer {
    AVFormatContext *format = nullptr;
    AVCodecContext *video = nullptr;
    AVCodecContext *audio = nullptr;
    AVStream *videoStream = nullptr;
    AVStream *audioStream = nullptr;
    SwsContext *sws = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    bool headerWritten = false;
    std::string error;

    ~Writer() {
        if (format != nullptr) {
            if (format->pb != nullptr) {
                avio_closep(&format->pb);
            }
            avformat_free_context(format);
        }
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        sws_freeContext(sws);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }

    bool Fail(const std::string &why) {
        error = why;
        return false;
    }

    // A new stream and a context for the encoder of id, to be set up and
    // opened by the caller.
    bool AddStream(AVCodecID id, const char *missing, const AVCodec **encoder,
                   AVStream **stream, AVCodecContext **context) {
        *encoder = avcodec_find_encoder(id);
        if (*encoder == nullptr) {
            return Fail(missing);
        }
        *stream = avformat_new_stream(format, nullptr);
        *context = avcodec_alloc_context3(*encoder);
        return true;
    }

    // Opens the set-up encoder and gives its stream the encoder's parameters.
    bool OpenStream(AVCodecContext *context, const AVCodec *encoder, AVStream *stream,
                    const char *refused) {
        if (avcodec_open2(context, encoder, nullptr) < 0) {
            return Fail(refused);
        }
        avcodec_parameters_from_context(stream->codecpar, context);
        stream->time_base = context->time_base;
        return true;
    }

    // Sends a frame (null: flush) and writes every packet that comes out.
    bool Encode(AVCodecContext *codec, AVStream *stream, AVFrame *input) {
        if (avcodec_send_frame(codec, input) < 0) {
            return Fail("encoder refused a frame");
        }
        for (;;) {
            const int r = avcodec_receive_packet(codec, packet);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) {
                return true;
            }
            if (r < 0) {
                return Fail("encoder failed");
            }
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format, packet) < 0) {
                return Fail("muxer failed");
            }
        }
    }

    bool Write(const std::string &path, const FilmSpec &spec) {
        av_log_set_level(AV_LOG_ERROR);
        const bool mpeg = spec.container == Container::Mpeg;
        if (spec.width == 0 || spec.height == 0 || spec.frames <= 0 || spec.frameNum <= 0 ||
            spec.frameDen <= 0) {
            return Fail("bad film size");
        }
        if (avformat_alloc_output_context2(&format, nullptr, mpeg ? "mpeg" : "avi",
                                           path.c_str()) < 0) {
            return Fail("no muxer");
        }
        format->flags |= AVFMT_FLAG_BITEXACT;
        packet = av_packet_alloc();
        frame = av_frame_alloc();

        // Video.
        const AVCodec *vc = nullptr;
        if (!AddStream(mpeg ? AV_CODEC_ID_MPEG1VIDEO : AV_CODEC_ID_MJPEG, "no video encoder", &vc,
                       &videoStream, &video)) {
            return false;
        }
        video->width = int(spec.width);
        video->height = int(spec.height);
        video->time_base = AVRational{spec.frameNum, spec.frameDen};
        video->framerate = AVRational{spec.frameDen, spec.frameNum};
        video->pix_fmt = mpeg ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUVJ420P;
        video->gop_size = 12;
        video->max_b_frames = 0;
        video->thread_count = 1;
        video->flags |= AV_CODEC_FLAG_BITEXACT | AV_CODEC_FLAG_QSCALE;
        video->global_quality = FF_QP2LAMBDA * 2;
        if (mpeg) {
            video->bit_rate = 4000000;
            video->rc_max_rate = 0;
        }
        if (format->oformat->flags & AVFMT_GLOBALHEADER) {
            video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        if (!OpenStream(video, vc, videoStream, "video encoder does not open")) {
            return false;
        }

        // Sound.
        if (spec.toneHz > 0.0) {
            const AVCodec *ac = nullptr;
            if (!AddStream(mpeg ? AV_CODEC_ID_MP2 : AV_CODEC_ID_PCM_S16LE, "no sound encoder", &ac,
                           &audioStream, &audio)) {
                return false;
            }
            audio->sample_fmt = AV_SAMPLE_FMT_S16;
            audio->sample_rate = spec.sampleRate;
            av_channel_layout_default(&audio->ch_layout, spec.channels);
            audio->bit_rate = mpeg ? 192000 : 0;
            audio->time_base = AVRational{1, spec.sampleRate};
            audio->thread_count = 1;
            audio->flags |= AV_CODEC_FLAG_BITEXACT;
            if (!OpenStream(audio, ac, audioStream, "sound encoder does not open")) {
                return false;
            }
        }

        if (avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
            return Fail("file does not open");
        }
        if (avformat_write_header(format, nullptr) < 0) {
            return Fail("header not written");
        }
        headerWritten = true;

        // Sound is written alongside the pictures, up to each picture's end.
        const double seconds = double(spec.frames) * spec.frameNum / spec.frameDen;
        const int64_t totalSamples = audio != nullptr ? int64_t(seconds * spec.sampleRate) : 0;
        int64_t soundAt = 0;
        auto writeSound = [&](int64_t until) {
            const int chunk = audio->frame_size > 0 ? audio->frame_size : 1024;
            while (soundAt < std::min(until, totalSamples)) {
                const int n = int(std::min<int64_t>(chunk, totalSamples - soundAt));
                av_frame_unref(frame);
                frame->format = AV_SAMPLE_FMT_S16;
                frame->sample_rate = spec.sampleRate;
                av_channel_layout_copy(&frame->ch_layout, &audio->ch_layout);
                frame->nb_samples = audio->frame_size > 0 ? audio->frame_size : n;
                if (av_frame_get_buffer(frame, 0) < 0) {
                    return Fail("no sound buffer");
                }
                auto *samples = reinterpret_cast<int16_t *>(frame->data[0]);
                for (int i = 0; i < frame->nb_samples; ++i) {
                    const double t = double(soundAt + i) / spec.sampleRate;
                    const int16_t v =
                        i < n ? int16_t(std::lround(12000.0 * std::sin(2.0 * M_PI * spec.toneHz * t)))
                              : int16_t(0);
                    for (int c = 0; c < spec.channels; ++c) {
                        samples[i * spec.channels + c] = v;
                    }
                }
                frame->pts = soundAt;
                if (!Encode(audio, audioStream, frame)) {
                    return false;
                }
                soundAt += frame->nb_samples;
            }
            return true;
        };

        // Pictures.
        sws = sws_getContext(int(spec.width), int(spec.height), AV_PIX_FMT_BGRA, int(spec.width),
                             int(spec.height), video->pix_fmt, SWS_BILINEAR | SWS_BITEXACT,
                             nullptr, nullptr, nullptr);
        if (sws == nullptr) {
            return Fail("no converter");
        }
        std::vector<uint8_t> bgrx(size_t(spec.width) * spec.height * 4, 0);
        for (int k = 0; k < spec.frames; ++k) {
            if (audio != nullptr &&
                !writeSound(int64_t(double(k + 1) * spec.frameNum / spec.frameDen * spec.sampleRate))) {
                return false;
            }
            std::fill(bgrx.begin(), bgrx.end(), 0);
            if (spec.picture) {
                spec.picture(k, bgrx);
            }
            for (size_t i = 3; i < bgrx.size(); i += 4) {
                bgrx[i] = 0xFF;
            }
            av_frame_unref(frame);
            frame->format = video->pix_fmt;
            frame->width = video->width;
            frame->height = video->height;
            if (av_frame_get_buffer(frame, 0) < 0) {
                return Fail("no frame buffer");
            }
            const uint8_t *src[4] = {bgrx.data(), nullptr, nullptr, nullptr};
            const int srcPitch[4] = {int(spec.width * 4), 0, 0, 0};
            sws_scale(sws, src, srcPitch, 0, int(spec.height), frame->data, frame->linesize);
            frame->pts = k;
            if (!Encode(video, videoStream, frame)) {
                return false;
            }
        }
        if (!Encode(video, videoStream, nullptr)) {
            return false;
        }
        if (audio != nullptr && (!writeSound(totalSamples) || !Encode(audio, audioStream, nullptr))) {
            return false;
        }
        if (av_write_trailer(format) < 0) {
            return Fail("trailer not written");
        }
        return true;
    }
};

} // namespace

bool WriteFilm(const std::string &path, const FilmSpec &spec, std::string *error) {
    Writer writer;
    const bool ok = writer.Write(path, spec);
    if (!ok && error != nullptr) {
        *error = writer.error;
    }
    return ok;
}

void FillColor(std::vector<uint8_t> &bgrx, uint32_t rgb) {
    for (size_t i = 0; i + 3 < bgrx.size(); i += 4) {
        bgrx[i] = uint8_t(rgb);
        bgrx[i + 1] = uint8_t(rgb >> 8);
        bgrx[i + 2] = uint8_t(rgb >> 16);
        bgrx[i + 3] = 0xFF;
    }
}

} // namespace filmwriter
