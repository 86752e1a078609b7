#include "jpeg_header.h"

#include <csetjmp>

#include "image/jpeg_coefficients.h"

namespace {

// The error record of one read; base first, so that the library's err pointer is the record's.
struct HeaderErrors {
    jpeg_error_mgr base;
    std::jmp_buf recovery_point;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void on_header_error(j_common_ptr object)
{
    auto* errors = reinterpret_cast<HeaderErrors*>(object->err);
    (*object->err->format_message)(object, errors->message);
    std::longjmp(errors->recovery_point, 1);
}

// Warnings ("extraneous bytes before marker") are the library's notes to itself: it goes on as
// the decoder will.
void ignore_message(j_common_ptr, int) {}

// The libjpeg part, with no object alive across the jump. source points the decompressor at the
// bytes or the file; 1 when the header was read into *header.
template <typename Source>
int read_header(Source source, JpegHeader* header, HeaderErrors* errors)
{
    jpeg_decompress_struct decompressor;
    decompressor.err = jpeg_std_error(&errors->base);
    errors->base.error_exit = on_header_error;
    errors->base.emit_message = ignore_message;
    if (setjmp(errors->recovery_point)) {
        jpeg_destroy_decompress(&decompressor);
        return 0;
    }
    jpeg_create_decompress(&decompressor);
    source(&decompressor);
    jpeg_read_header(&decompressor, TRUE);
    header->width = static_cast<int>(decompressor.image_width);
    header->height = static_cast<int>(decompressor.image_height);
    header->components = decompressor.num_components;
    header->decode_bytes = jpeg_has_multiple_scans(&decompressor)
                               ? jpeg_coefficient_bytes(decompressor)
                               : static_cast<long long>(header->width) * header->height * header->components;
    jpeg_destroy_decompress(&decompressor);
    return 1;
}

template <typename Source>
bool read_with(Source source, JpegHeader* header, std::string* reason)
{
    HeaderErrors errors{};
    JpegHeader read;
    if (read_header(source, &read, &errors) == 0) {
        *reason = errors.message;
        return false;
    }
    *header = read;
    return true;
}

}  // namespace

bool read_jpeg_header(const std::uint8_t* bytes, std::size_t size, JpegHeader* header, std::string* reason)
{
    return read_with([&](j_decompress_ptr decompressor) { jpeg_mem_src(decompressor, bytes, size); }, header, reason);
}

bool read_jpeg_header(std::FILE* file, JpegHeader* header, std::string* reason)
{
    return read_with([&](j_decompress_ptr decompressor) { jpeg_stdio_src(decompressor, file); }, header, reason);
}
