#include "picture_files.h"

#include <vips/vips.h>

#include <cstdio>
#include <mutex>

namespace {

void start_vips()
{
    static std::once_flag started;
    std::call_once(started, [] {
        if (VIPS_INIT("velmorastik-import-tests") != 0)
            std::fprintf(stderr, "cannot start libvips: %s\n", vips_error_buffer());
    });
}

bool vips_failed(const char* what)
{
    std::fprintf(stderr, "%s: %s\n", what, vips_error_buffer());
    vips_error_clear();
    return false;
}

// An image of the samples; interpretation by band count.
VipsImage* image_of(const Picture& picture)
{
    start_vips();
    VipsImage* image = vips_image_new_from_memory_copy(picture.samples.data(), picture.samples.size(), picture.width,
                                                       picture.height, picture.bands, VIPS_FORMAT_UCHAR);
    if (image != nullptr)
        image->Type = picture.bands < 3 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB;
    return image;
}

}  // namespace

Picture::Picture(int w, int h, int b) : width(w), height(h), bands(b), samples(static_cast<std::size_t>(w) * h * b, 0)
{
}

void Picture::fill(int x, int y, int w, int h, std::vector<std::uint8_t> value)
{
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column)
            for (int band = 0; band < bands; ++band)
                at(column, row)[band] = value[static_cast<std::size_t>(band)];
}

bool save_picture(const Picture& picture, const std::string& path, int orientation)
{
    VipsImage* image = image_of(picture);
    if (image == nullptr)
        return vips_failed("cannot make the picture");
    if (orientation != 0)
        vips_image_set_int(image, VIPS_META_ORIENTATION, orientation);
    const bool saved = vips_image_write_to_file(image, path.c_str(), nullptr) == 0;
    g_object_unref(image);
    return saved || vips_failed(path.c_str());
}

bool save_picture_16bit(const std::vector<std::uint16_t>& samples, int width, int height, const std::string& path)
{
    start_vips();
    VipsImage* image = vips_image_new_from_memory_copy(samples.data(), samples.size() * 2, width, height, 3,
                                                       VIPS_FORMAT_USHORT);
    if (image == nullptr)
        return vips_failed("cannot make the picture");
    image->Type = VIPS_INTERPRETATION_RGB16;
    const bool saved = vips_pngsave(image, path.c_str(), "bitdepth", 16, nullptr) == 0;
    g_object_unref(image);
    return saved || vips_failed(path.c_str());
}

std::vector<std::uint8_t> save_in_display_p3(const Picture& picture, const std::string& path)
{
    VipsImage* image = image_of(picture);
    if (image == nullptr) {
        vips_failed("cannot make the picture");
        return {};
    }
    VipsImage* p3 = nullptr;
    std::vector<std::uint8_t> samples;
    // Relative intent: the colours themselves, not squeezed, so sRGB red lands inside P3's gamut.
    if (vips_icc_transform(image, &p3, "p3", "input_profile", "srgb", "intent", VIPS_INTENT_RELATIVE, nullptr) != 0 ||
        vips_image_write_to_file(p3, path.c_str(), nullptr) != 0) {
        vips_failed(path.c_str());
    } else {
        std::size_t size = 0;
        void* pixels = vips_image_write_to_memory(p3, &size);
        if (pixels != nullptr)
            samples.assign(static_cast<std::uint8_t*>(pixels), static_cast<std::uint8_t*>(pixels) + size);
        g_free(pixels);
    }
    if (p3 != nullptr)
        g_object_unref(p3);
    g_object_unref(image);
    return samples;
}

bool is_baseline_jpeg(const std::vector<std::uint8_t>& jpeg)
{
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return false;
    // Segments from the start of image to the first start of scan; the frame header says the kind.
    for (std::size_t at = 2; at + 4 <= jpeg.size();) {
        if (jpeg[at] != 0xFF)
            return false;
        const std::uint8_t marker = jpeg[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return marker == 0xC0;
        if (marker == 0xDA)
            return false;
        at += 2 + (std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3]);
    }
    return false;
}

bool save_large_photo(const std::string& path, int width, int height)
{
    start_vips();
    // Drawn lazily and written as it is drawn: a few rows in memory, whatever the size.
    VipsImage* xyz = nullptr;
    VipsImage* wrapped = nullptr;
    VipsImage* samples = nullptr;
    VipsImage* rgb = nullptr;
    const bool saved = vips_xyz(&xyz, width, height, nullptr) == 0 &&
                       vips_remainder_const1(xyz, &wrapped, 251, nullptr) == 0 &&
                       vips_cast_uchar(wrapped, &samples, nullptr) == 0 &&
                       vips_bandjoin_const1(samples, &rgb, 128, nullptr) == 0 &&
                       vips_jpegsave(rgb, path.c_str(), "Q", 85, "interlace", TRUE, nullptr) == 0;
    for (VipsImage* image : {xyz, wrapped, samples, rgb})
        if (image != nullptr)
            g_object_unref(image);
    return saved || vips_failed(path.c_str());
}
