#include "picture_fit.h"

#include <vips/vips.h>

#include <cstring>

namespace {

// Owns one image of a pipeline; libvips images are reference-counted GObjects.
class Image {
public:
    Image() = default;
    ~Image() { reset(nullptr); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    VipsImage* get() const { return image_; }
    VipsImage** out() { reset(nullptr); return &image_; }
    // Takes the result of a step in place of its input.
    void replace(Image& next)
    {
        reset(next.image_);
        next.image_ = nullptr;
    }

private:
    void reset(VipsImage* image)
    {
        if (image_ != nullptr)
            g_object_unref(image_);
        image_ = image;
    }
    VipsImage* image_ = nullptr;
};

// The first line of libvips' error buffer, which then is cleared for the next picture.
std::string vips_reason()
{
    std::string text = vips_error_buffer();
    vips_error_clear();
    const std::size_t end = text.find('\n');
    if (end != std::string::npos)
        text.erase(end);
    return text.empty() ? "libvips failed" : text;
}

// Warnings (an odd EXIF block, an incompatible fallback profile tried first) are not the user's
// concern: the picture either comes out right or fails with an error.
void ignore_log(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

// The pixels in sRGB device space. An embedded profile is honoured whatever its space (wide-gamut
// RGB, CMYK, grey); CMYK without one goes through libvips' built-in CMYK profile; anything else
// without one is taken to be sRGB already and left exactly as it is.
bool to_srgb(Image& image)
{
    Image next;
    VipsImage* in = image.get();
    const bool embedded = vips_image_get_typeof(in, VIPS_META_ICC_NAME) != 0;
    if (embedded) {
        if (vips_icc_transform(in, next.out(), "srgb", "embedded", TRUE, "intent", VIPS_INTENT_RELATIVE,
                               "black_point_compensation", TRUE, nullptr) == 0) {
            image.replace(next);
            in = image.get();
        } else {
            vips_error_clear();  // a broken profile: the pixels as they are, like any viewer
        }
    }
    // Grey, 16-bit, CMYK and the like: plain sRGB, eight bits a sample.
    if (vips_colourspace(in, next.out(), VIPS_INTERPRETATION_sRGB, nullptr) != 0)
        return false;
    image.replace(next);
    return true;
}

}  // namespace

bool picture_fit_start(const char* program, std::string* reason)
{
    if (VIPS_INIT(program) != 0) {
        *reason = vips_reason();
        return false;
    }
    g_log_set_handler("VIPS", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE), ignore_log,
                      nullptr);
    // Each picture is read once: nothing to gain from libvips' operation cache but memory.
    vips_cache_set_max(0);
    return true;
}

std::vector<std::uint8_t> fit_picture(const std::string& path, Fit fit, int width, int height, std::string* reason)
{
    // The thumbnail operation shrinks large JPEGs (and others that can) while decoding, turns the
    // picture upright, and resamples with a Lanczos kernel after a box reduction.
    Image image;
    Image next;
    if (vips_thumbnail(path.c_str(), image.out(), width, "height", height, "size", VIPS_SIZE_BOTH, "crop",
                       fit == Fit::cover ? VIPS_INTERESTING_CENTRE : VIPS_INTERESTING_NONE, "fail_on",
                       VIPS_FAIL_ON_TRUNCATED, nullptr) != 0 ||
        !to_srgb(image)) {
        *reason = vips_reason();
        return {};
    }
    if (vips_image_hasalpha(image.get())) {
        VipsArrayDouble* black = vips_array_double_newv(1, 0.0);
        const int flattened = vips_flatten(image.get(), next.out(), "background", black, nullptr);
        vips_area_unref(VIPS_AREA(black));
        if (flattened != 0) {
            *reason = vips_reason();
            return {};
        }
        image.replace(next);
    }
    // Contain leaves one side short: centred on black. Cover is already the frame's size.
    if (vips_cast_uchar(image.get(), next.out(), nullptr) != 0) {
        *reason = vips_reason();
        return {};
    }
    image.replace(next);
    if (vips_gravity(image.get(), next.out(), VIPS_COMPASS_DIRECTION_CENTRE, width, height, "extend",
                     VIPS_EXTEND_BLACK, nullptr) != 0) {
        *reason = vips_reason();
        return {};
    }
    image.replace(next);

    std::size_t size = 0;
    void* pixels = vips_image_write_to_memory(image.get(), &size);
    if (pixels == nullptr) {
        *reason = vips_reason();
        return {};
    }
    std::vector<std::uint8_t> samples;
    if (vips_image_get_bands(image.get()) == 3 && size == static_cast<std::size_t>(width) * height * 3)
        samples.assign(static_cast<std::uint8_t*>(pixels), static_cast<std::uint8_t*>(pixels) + size);
    else
        *reason = "unexpected pixel layout after conversion";
    g_free(pixels);
    return samples;
}
