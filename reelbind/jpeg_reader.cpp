// The JPEG frame reader: libjpeg behind an error manager that returns instead of exiting.
#include "reelbind/jpeg_reader.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <memory>

namespace qv::reelbind {
namespace {

// libjpeg's own error handler ends the process; this one jumps back to the decoder, and a
// warning (libjpeg's word for a stream it patched up, such as a truncated file) is kept as a
// failure too, so that a half-written frame never becomes a half-grey video frame.
struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
    bool warned = false;
    char message[JMSG_LENGTH_MAX] = {};
};

extern "C" void onJpegError(j_common_ptr info)
{
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

extern "C" void onJpegMessage(j_common_ptr info, int level)
{
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    if (level < 0 && !manager->warned) {
        manager->warned = true;
        (*info->err->format_message)(info, manager->message);
    }
}

// Everything the decoder touches between setjmp and a longjmp lives here, on the heap: locals
// changed in that span would be indeterminate after the jump.
struct Session
{
    jpeg_decompress_struct info = {};
    ErrorManager error;
    Picture picture;
    bool created = false;
};

} // namespace

std::optional<Picture> decodeJpeg(std::span<const std::uint8_t> bytes, std::string& error)
{
    const auto session = std::make_unique<Session>();
    jpeg_decompress_struct& info = session->info;
    info.err = jpeg_std_error(&session->error.base);
    session->error.base.error_exit = onJpegError;
    session->error.base.emit_message = onJpegMessage;
    if (setjmp(session->error.jump) != 0) {
        if (session->created) {
            jpeg_destroy_decompress(&info);
        }
        error = session->error.message;
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    session->created = true;
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (info.image_width > kMaxSide || info.image_height > kMaxSide) {
        error = "JPEG size " + std::to_string(info.image_width) + "x" +
                std::to_string(info.image_height) + " is out of range (1 to " +
                std::to_string(kMaxSide) + " each way)";
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    Picture& picture = session->picture;
    picture.width = static_cast<std::int32_t>(info.output_width);
    picture.height = static_cast<std::int32_t>(info.output_height);
    const std::size_t stride = std::size_t{info.output_width} * 3;
    picture.rgb.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture.rgb.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (session->error.warned) {
        error = session->error.message;
        return std::nullopt;
    }
    return std::move(session->picture);
}

} // namespace qv::reelbind
