#include "image/jpeg_loader.h"

#include <sys/stat.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fx/frame.h"
#include "fx/show_frame.h"
#include "image/jpeg_coefficients.h"
#include "image/picture_fit.h"
#include "image/rgb_repack.h"
#include "platform/data_file.h"
#include "platform/fatal.h"

std::uint32_t g_decoded_width = 0;
std::uint32_t g_decoded_height = 0;
std::uint32_t g_picture_width = 0;
std::uint32_t g_picture_height = 0;
DecodeLimits g_decode_limits = k_decode_limits;

namespace {

// The error record of one decode. base comes first, so the library's err pointer is also the
// address of the whole record.
struct DecodeErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf recovery_point;
};

[[noreturn]] void abandon_decode(j_common_ptr object)
{
    std::longjmp(reinterpret_cast<DecodeErrorManager*>(object->err)->recovery_point, 1);
}

// The library's fatal errors: its message to stderr, then back to the recovery point.
[[noreturn]] void on_decode_error(j_common_ptr object)
{
    (*object->err->output_message)(object);
    abandon_decode(object);
}

// The progress monitor of one decode, with what the decode has cost so far.
struct DecodeProgress {
    jpeg_progress_mgr base;
    boolean (*fill_input_buffer)(j_decompress_ptr);  // the stdio source's own
    bool multiple_scans;
    int scan;
    long long scan_work;  // charged for whole scans as they start
    long long bytes;      // of the file read so far
};

// The block work of the scan now starting (see DecodeLimits::work).
long long scan_work(const jpeg_decompress_struct& decompressor)
{
    const long long band = decompressor.progressive_mode ? std::clamp(decompressor.Se - decompressor.Ss + 1, 1, 64)
                                                         : 64;
    long long blocks = 0;
    for (int c = 0; c < decompressor.comps_in_scan; ++c)
        blocks += static_cast<long long>(decompressor.cur_comp_info[c]->width_in_blocks) *
                  decompressor.cur_comp_info[c]->height_in_blocks;
    return blocks * (band + k_block_work);
}

boolean fill_and_count(j_decompress_ptr decompressor)
{
    auto* progress = reinterpret_cast<DecodeProgress*>(decompressor->progress);
    const boolean filled = progress->fill_input_buffer(decompressor);
    progress->bytes += static_cast<long long>(decompressor->src->bytes_in_buffer);
    return filled;
}

// Called by the library before each step of reading the file and each row it delivers: refuses
// the file as soon as it needs more than the limits allow. A file of several scans is read
// whole before the first row, and each of its scans is charged as it starts, before its work;
// a file of one scan is decoded only down to the rows the frame shows, and costs the bytes read.
void on_decode_progress(j_common_ptr object)
{
    const auto* decompressor = reinterpret_cast<j_decompress_ptr>(object);
    auto* progress = reinterpret_cast<DecodeProgress*>(decompressor->progress);
    if (progress->multiple_scans && decompressor->input_scan_number != progress->scan) {
        progress->scan = decompressor->input_scan_number;
        if (progress->scan > g_decode_limits.scans) {
            std::fprintf(stderr, "too many scans: more than %d\n", g_decode_limits.scans);
            abandon_decode(object);
        }
        progress->scan_work += scan_work(*decompressor);
    }
    const long long byte_work = decompressor->arith_code ? k_arithmetic_byte_work : k_byte_work;
    if (progress->scan_work + progress->bytes * byte_work > g_decode_limits.work) {
        std::fprintf(stderr, "picture takes too long to decode: %ux%u, %d scans in %lld bytes so far\n",
                     decompressor->image_width, decompressor->image_height, std::max(progress->scan, 1),
                     progress->bytes);
        abandon_decode(object);
    }
}

// A regular file larger than the limit is refused unread; memory streams have no size to check.
bool file_within_limit(std::FILE* file)
{
    struct stat status;
    if (fileno(file) < 0 || fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size <= g_decode_limits.file_bytes)
        return true;
    std::fprintf(stderr, "picture file too large: %lld bytes\n", static_cast<long long>(status.st_size));
    return false;
}

// One decoded row into the RGB buffer: colour rows as they are, grayscale spread over the three
// channels, and Adobe-style (inverted) CMYK as libjpeg delivers it multiplied out.
void store_row(const JSAMPLE* row, std::uint8_t* rgb, JDIMENSION width, int components)
{
    switch (components) {
    case 3:
        std::memcpy(rgb, row, width * 3u);
        break;
    case 1:
        for (JDIMENSION x = 0; x < width; ++x, rgb += 3)
            rgb[0] = rgb[1] = rgb[2] = row[x];
        break;
    case 4:
        for (JDIMENSION x = 0; x < width; ++x, rgb += 3, row += 4) {
            const unsigned k = row[3];
            rgb[0] = static_cast<std::uint8_t>((row[0] * k + 127) / 255);
            rgb[1] = static_cast<std::uint8_t>((row[1] * k + 127) / 255);
            rgb[2] = static_cast<std::uint8_t>((row[2] * k + 127) / 255);
        }
        break;
    }
}

}  // namespace

// Nothing with a destructor lives in this frame: the library's errors leave it by longjmp.
int decode_jpeg_file(std::FILE* file, std::uint8_t** rgb)
{
    jpeg_decompress_struct decompressor;
    DecodeErrorManager errors;
    DecodeProgress progress{};
    std::uint8_t* volatile buffer = nullptr;  // written after setjmp, freed after the jump

    if (!file_within_limit(file)) {
        std::fclose(file);
        return 0;
    }
    decompressor.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = on_decode_error;
    if (setjmp(errors.recovery_point)) {
        jpeg_destroy_decompress(&decompressor);
        std::free(buffer);
        std::fclose(file);
        return 0;
    }

    jpeg_create_decompress(&decompressor);
    // A backstop only: the checks below refuse, in plain words, whatever would come near it.
    decompressor.mem->max_memory_to_use = g_decode_limits.coefficient_bytes + (16L << 20);
    jpeg_stdio_src(&decompressor, file);
    jpeg_read_header(&decompressor, TRUE);
    jpeg_calc_output_dimensions(&decompressor);
    const int components = decompressor.output_components;
    if (components != 1 && components != 3 && components != 4) {
        std::fprintf(stderr, "JPEG file has %d colour components\n", components);
        abandon_decode(reinterpret_cast<j_common_ptr>(&decompressor));
    }
    // Only files of several scans keep every coefficient of the picture.
    progress.multiple_scans = jpeg_has_multiple_scans(&decompressor);
    if (progress.multiple_scans && jpeg_coefficient_bytes(decompressor) > g_decode_limits.coefficient_bytes) {
        std::fprintf(stderr, "picture too large to decode: %ux%u %s\n", decompressor.image_width,
                     decompressor.image_height, decompressor.progressive_mode ? "progressive" : "in several scans");
        abandon_decode(reinterpret_cast<j_common_ptr>(&decompressor));
    }
    progress.base.progress_monitor = on_decode_progress;
    progress.fill_input_buffer = decompressor.src->fill_input_buffer;
    decompressor.src->fill_input_buffer = fill_and_count;
    decompressor.progress = &progress.base;
    jpeg_start_decompress(&decompressor);

    // What the frame cannot hold is never read.
    const PictureFit kept = picture_fit(decompressor.output_width, decompressor.output_height);
    const JDIMENSION width = kept.width;
    const JDIMENSION height = kept.height;

    buffer = static_cast<std::uint8_t*>(std::malloc(std::size_t{width} * height * 3));
    if (buffer == nullptr) {
        std::fprintf(stderr, "Not enough memory for a %ux%u picture\n", width, height);
        abandon_decode(reinterpret_cast<j_common_ptr>(&decompressor));
    }
    g_decoded_width = width;
    g_decoded_height = height;
    g_picture_width = decompressor.output_width;
    g_picture_height = decompressor.output_height;

    const JDIMENSION row_stride = decompressor.output_width * components;
    JSAMPARRAY row = (*decompressor.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&decompressor), JPOOL_IMAGE,
                                                       row_stride, 1);
    std::uint8_t* write = buffer;
    while (decompressor.output_scanline < height) {
        jpeg_read_scanlines(&decompressor, row, 1);
        store_row(row[0], write, width, components);
        write += std::size_t{width} * 3;
    }

    if (decompressor.output_scanline < decompressor.output_height)
        jpeg_abort_decompress(&decompressor);  // rows below the frame are never decoded
    else
        jpeg_finish_decompress(&decompressor);
    jpeg_destroy_decompress(&decompressor);
    std::fclose(file);
    // Handed out only now: finishing can still fail, and a failure must leave *rgb alone.
    *rgb = buffer;
    return 1;
}

std::uint8_t* read_jpeg_pixels(std::FILE* file, std::uint32_t* width, std::uint32_t* height)
{
    std::uint8_t* rgb = nullptr;
    if (decode_jpeg_file(file, &rgb) == 0)
        return nullptr;
    *height = g_decoded_height;
    *width = g_decoded_width;
    return rgb;
}

void load_picture(const char* path, Frame32* destination)
{
    const DataFile file = data_file_open(path);
    if (file.stream == nullptr)
        fatal_file_error("ERROR LOCATING...", "open", path, file.reason);

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t* rgb = read_jpeg_pixels(file.stream, &width, &height);
    if (rgb == nullptr)
        fatal_error("ERROR DECODING...", path);
    const std::string note = picture_size_note(path, g_picture_width, g_picture_height);
    if (!note.empty())
        std::fprintf(stderr, "%s\n", note.c_str());

    repack_rgb(rgb, destination->pixels, std::size_t{width} * height);
    std::free(rgb);
    // A frame held from this buffer's old picture is no longer its picture faded.
    forget_held_frame();
}
