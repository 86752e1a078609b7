#include "jpeg_writer.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

// Encoding into memory fails only when memory runs out; then there is nothing sensible to do.
void on_encode_error(j_common_ptr object)
{
    (*object->err->output_message)(object);
    std::abort();
}

// One compression into memory: body sets the parameters and writes what it writes.
template <typename Body>
std::vector<std::uint8_t> compress_to_memory(Body body)
{
    jpeg_compress_struct compressor;
    jpeg_error_mgr errors;
    compressor.err = jpeg_std_error(&errors);
    errors.error_exit = on_encode_error;
    jpeg_create_compress(&compressor);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&compressor, &buffer, &size);
    body(compressor);
    jpeg_destroy_compress(&compressor);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> encode_jpeg(const std::uint8_t* samples, int width, int height, int components,
                                      const JpegSettings& settings)
{
    return compress_to_memory([&](jpeg_compress_struct& compressor) {
        compressor.image_width = static_cast<JDIMENSION>(width);
        compressor.image_height = static_cast<JDIMENSION>(height);
        compressor.input_components = components;
        compressor.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
        jpeg_set_defaults(&compressor);
        jpeg_set_quality(&compressor, settings.quality, TRUE);
        if (settings.store_rgb && components == 3)
            jpeg_set_colorspace(&compressor, JCS_RGB);
        if (settings.progressive)
            jpeg_simple_progression(&compressor);
        if (settings.full_chroma)
            for (int c = 0; c < compressor.num_components; ++c)
                compressor.comp_info[c].h_samp_factor = compressor.comp_info[c].v_samp_factor = 1;
        const char* sampling = settings.sampling;
        for (int c = 0, used = 0; sampling != nullptr && c < compressor.num_components; ++c, sampling += used) {
            jpeg_component_info& component = compressor.comp_info[c];
            if (std::sscanf(sampling, "%dx%d%n", &component.h_samp_factor, &component.v_samp_factor, &used) != 2)
                break;
            used += sampling[used] == ',' ? 1 : 0;
        }
        compressor.arith_code = settings.arithmetic ? TRUE : FALSE;
        compressor.restart_in_rows = settings.restart_rows;

        jpeg_start_compress(&compressor, TRUE);
        const std::size_t stride = static_cast<std::size_t>(width) * components;
        while (compressor.next_scanline < compressor.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(samples + compressor.next_scanline * stride);
            jpeg_write_scanlines(&compressor, &row, 1);
        }
        jpeg_finish_compress(&compressor);
    });
}

std::vector<std::uint8_t> encode_jpeg_tables_only()
{
    return compress_to_memory([](jpeg_compress_struct& compressor) {
        compressor.in_color_space = JCS_RGB;
        jpeg_set_defaults(&compressor);
        jpeg_write_tables(&compressor);
    });
}
