#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include "media/image.hpp"

extern "C" {
#include <jpeglib.h>
}

namespace skelder::media {
namespace {

// libjpeg reports errors by calling error_exit, which must not return; jump back instead.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

[[noreturn]] void escapeOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

void ignoreMessage(j_common_ptr) {}

}  // namespace

std::optional<std::vector<std::uint8_t>> encodeJPEG(const BgraImage& image, int quality) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() < static_cast<std::size_t>(image.stride()) * image.height) {
        return std::nullopt;
    }
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = escapeOnError;
    errors.base.output_message = ignoreMessage;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.escape) != 0) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return std::nullopt;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRA;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(
            image.pixels.data() + static_cast<std::size_t>(info.next_scanline) * image.stride());
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> data(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return data;
}

}  // namespace skelder::media
