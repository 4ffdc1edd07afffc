#include "media/asset.hpp"

#include <cmath>

#include "media/ffmpeg_handles.hpp"
#include "media/input_file.hpp"
#include "media/library_setup.hpp"
#include "media/media_error.hpp"

extern "C" {
#include <libavutil/display.h>
}

namespace skelder::media {
namespace {

double frameRateOf(const AVStream* stream) {
    for (AVRational rate : {stream->avg_frame_rate, stream->r_frame_rate}) {
        if (rate.num > 0 && rate.den > 0)
            return av_q2d(rate);
    }
    return 0;
}

double dataRateOf(const AVFormatContext* context, const AVStream* stream) {
    if (stream->codecpar->bit_rate > 0)
        return static_cast<double>(stream->codecpar->bit_rate);
    // Fall back to the bytes of the stream's samples over its duration when the index has them.
    const double seconds = stream->duration > 0 ? stream->duration * av_q2d(stream->time_base)
                                                : context->duration / double(AV_TIME_BASE);
    if (seconds <= 0)
        return 0;
    std::int64_t bytes = 0;
    const int entries = avformat_index_get_entries_count(stream);
    for (int i = 0; i < entries; ++i) {
        bytes += avformat_index_get_entry(const_cast<AVStream*>(stream), i)->size;
    }
    return bytes > 0 ? bytes * 8.0 / seconds : 0;
}

}  // namespace

AffineTransform displayTransformOf(const AVStream* stream) {
    const std::uint8_t* matrix =
        av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (matrix == nullptr)
        return AffineTransform::identity();
    return AffineTransform::fromDisplayMatrix(reinterpret_cast<const std::int32_t*>(matrix));
}

Asset Asset::open(const std::filesystem::path& path) {
    const InputContext context = openInput(path);
    return of(*context, path);
}

Asset Asset::of(const AVFormatContext& formatContext, const std::filesystem::path& path) {
    AVFormatContext* context = const_cast<AVFormatContext*>(&formatContext);
    Asset asset;
    asset.path_ = path;
    if (context->duration != AV_NOPTS_VALUE && context->duration >= 0) {
        asset.duration_ = MediaTime::fromRational(context->duration, 1, AV_TIME_BASE);
    }
    const int videoIndex = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoIndex >= 0) {
        const AVStream* stream = context->streams[videoIndex];
        const AVCodecParameters* parameters = stream->codecpar;
        VideoTrackInfo video;
        video.streamIndex = videoIndex;
        video.naturalWidth = parameters->width;
        video.naturalHeight = parameters->height;
        video.preferredTransform = displayTransformOf(stream);
        video.nominalFrameRate = frameRateOf(stream);
        video.estimatedDataRate = dataRateOf(context, stream);
        video.color = {parameters->color_space, parameters->color_range,
                       parameters->color_primaries, parameters->color_trc};
        video.codecName = avcodec_get_name(parameters->codec_id);
        asset.video_ = video;
    }
    const int audioIndex = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audioIndex >= 0) {
        const AVCodecParameters* parameters = context->streams[audioIndex]->codecpar;
        AudioTrackInfo audio;
        audio.streamIndex = audioIndex;
        audio.hasFormatDescription = parameters->codec_id != AV_CODEC_ID_NONE;
        audio.sampleRate = parameters->sample_rate;
        audio.channels = parameters->ch_layout.nb_channels;
        audio.codecName = avcodec_get_name(parameters->codec_id);
        asset.audio_ = audio;
    }
    return asset;
}

std::optional<double> loadVideoDurationSeconds(const std::filesystem::path& path) {
    try {
        const auto duration = Asset::open(path).duration();
        if (!duration)
            return std::nullopt;
        const double seconds = duration->seconds();
        if (!std::isfinite(seconds))
            return std::nullopt;
        return seconds < 0 ? 0.0 : seconds;
    } catch (const MediaError&) {
        return std::nullopt;
    }
}

PictureOrientation loadPictureOrientation(const std::filesystem::path& path) {
    configureMediaLibrary();
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return {};
    const InputContext context(raw);
    const int index = av_find_best_stream(context.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    return index >= 0 ? displayTransformOf(context->streams[index]).orientation()
                      : PictureOrientation{};
}

}  // namespace skelder::media
