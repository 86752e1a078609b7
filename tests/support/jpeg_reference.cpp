#include "jpeg_reference.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct ReferenceErrors {
    jpeg_error_mgr base;
    std::jmp_buf failed;
};

[[noreturn]] void on_error(j_common_ptr object)
{
    std::longjmp(reinterpret_cast<ReferenceErrors*>(object->err)->failed, 1);
}

void ignore_warning(j_common_ptr, int) {}

// Plain C data only between setjmp and longjmp; the caller owns the vector.
bool decode_into(const std::vector<std::uint8_t>& jpeg, ReferenceImage* image)
{
    jpeg_decompress_struct decompressor;
    ReferenceErrors errors;
    decompressor.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = on_error;
    errors.base.emit_message = ignore_warning;  // truncated test files warn
    if (setjmp(errors.failed)) {
        jpeg_destroy_decompress(&decompressor);
        return false;
    }
    jpeg_create_decompress(&decompressor);
    jpeg_mem_src(&decompressor, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&decompressor, TRUE);
    jpeg_start_decompress(&decompressor);
    image->width = static_cast<int>(decompressor.output_width);
    image->height = static_cast<int>(decompressor.output_height);
    image->components = decompressor.output_components;
    image->samples.resize(static_cast<std::size_t>(image->width) * image->height * image->components);
    while (decompressor.output_scanline < decompressor.output_height) {
        JSAMPROW row = image->samples.data() +
                       static_cast<std::size_t>(decompressor.output_scanline) * image->width * image->components;
        jpeg_read_scanlines(&decompressor, &row, 1);
    }
    jpeg_finish_decompress(&decompressor);
    jpeg_destroy_decompress(&decompressor);
    return true;
}

}  // namespace

ReferenceImage decode_reference(const std::vector<std::uint8_t>& jpeg)
{
    ReferenceImage image;
    if (!decode_into(jpeg, &image))
        image = ReferenceImage{};
    return image;
}
