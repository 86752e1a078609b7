#include "picture_fit.h"

#include <unistd.h>
#include <vips/vips.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "heif_size.h"
#include "jpeg_header.h"
#include "picture_limits.h"
#include "platform/data_file.h"

namespace {

// Owns one image of a pipeline; libvips images are reference-counted GObjects.
class Image {
public:
    Image() = default;
    ~Image() { reset(nullptr); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    VipsImage* get() const { return image_; }
    VipsImage** out()
    {
        reset(nullptr);
        return &image_;
    }
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

// The loaders the import takes, by libvips' class names: each is libvips' own, and none of them
// reads a file other than the one it is given. Every other loader is blocked, ImageMagick's and
// the SVG loader's among them (an SVG may name other files; ImageMagick reads a hundred formats
// and some of them name files too).
constexpr const char* k_allowed_loaders[] = {
    "VipsForeignLoadJpeg", "VipsForeignLoadPng",   "VipsForeignLoadWebp",
    "VipsForeignLoadTiff", "VipsForeignLoadNsgif", "VipsForeignLoadHeif",
};

// Whether the loader libvips found for a file (its nickname; null when none) is one of those above.
bool allowed_loader(const char* nickname)
{
    if (nickname == nullptr)
        return false;
    const GType found = vips_type_find("VipsOperation", nickname);
    for (const char* loader : k_allowed_loaders)
        if (found != 0 && g_type_is_a(found, g_type_from_name(loader)))
            return true;
    return false;
}

// What decoding a picture other than a JPEG holds at once, from its header: counted as if decoded
// whole, which the loaders that stream rows never reach.
long long decode_bytes(VipsImage* header)
{
    return static_cast<long long>(vips_image_get_width(header)) * vips_image_get_height(header) *
           vips_image_get_bands(header) * static_cast<long long>(vips_format_sizeof(vips_image_get_format(header)));
}

// Whether the file starts as a JPEG, which libjpeg's jpegload takes; the file is read from its
// start again afterwards.
bool starts_as_jpeg(std::FILE* file)
{
    unsigned char magic[3] = {};
    const bool jpeg = std::fread(magic, 1, 3, file) == 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF;
    std::rewind(file);
    return jpeg;
}

// Owns the source a picture is read from.
struct SourceUnref {
    void operator()(VipsSource* source) const { g_object_unref(source); }
};
using Source = std::unique_ptr<VipsSource, SourceUnref>;

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
    vips_block_untrusted_set(TRUE);
    vips_operation_block_set("VipsForeignLoad", TRUE);
    for (const char* loader : k_allowed_loaders)
        vips_operation_block_set(loader, FALSE);
    return true;
}

std::vector<std::uint8_t> fit_picture(const std::string& path, Fit fit, int width, int height, std::string* reason)
{
    // Opened once, as a regular file, without waiting: a FIFO, a device or a folder never reaches
    // a loader, and the file checked is the one read.
    const DataFile file = data_file_open(path.c_str());
    if (file.stream == nullptr) {
        *reason = file.reason;
        return {};
    }
    std::unique_ptr<std::FILE, decltype(&std::fclose)> stream(file.stream, &std::fclose);
    // A file of no bytes (a size of 0 is not enough: the system's own files say 0 and hold text).
    unsigned char first = 0;
    if (file.size == 0 && pread(fileno(file.stream), &first, 1, 0) == 0) {
        *reason = "empty file";
        return {};
    }
    // A JPEG is measured by libjpeg itself, as its loader will read it: the frame it decodes
    // whatever stray bytes or further frame headers the file holds, and every component's
    // coefficients at its own sampling.
    JpegHeader jpeg;
    const bool is_jpeg = starts_as_jpeg(file.stream);
    if (is_jpeg) {
        if (read_jpeg_header(file.stream, &jpeg, reason))
            *reason = size_refusal(jpeg.width, jpeg.height, jpeg.decode_bytes);
        if (!reason->empty())
            return {};
        std::rewind(file.stream);
    }
    Source source(vips_source_new_from_descriptor(fileno(file.stream)));
    if (!source) {
        *reason = vips_reason();
        return {};
    }
    // The loader is chosen by the file's content alone, among the allowed ones.
    const char* loader = vips_foreign_find_load_source(source.get());
    if (!allowed_loader(loader)) {
        vips_error_clear();
        *reason = k_not_a_picture;
        return {};
    }
    // HEIC and AVIF by libheif, with whose own limits libvips' loader fails in no useful words.
    if (g_type_is_a(vips_type_find("VipsOperation", loader), g_type_from_name("VipsForeignLoadHeif"))) {
        *reason = heif_size_refusal(fileno(file.stream), file.size);
        if (!reason->empty())
            return {};
    }
    stream.reset();  // the source holds a copy of the descriptor
    {
        Image header;
        *header.out() = vips_image_new_from_source(source.get(), "", "access", VIPS_ACCESS_SEQUENTIAL, nullptr);
        if (header.get() == nullptr) {
            *reason = vips_reason();
            return {};
        }
        const int width = vips_image_get_width(header.get());
        const int height = vips_image_get_height(header.get());
        *reason = size_refusal(width, height, is_jpeg ? jpeg.decode_bytes : decode_bytes(header.get()));
        if (!reason->empty())
            return {};
    }

    // The thumbnail operation shrinks large JPEGs (and others that can) while decoding, turns the
    // picture upright, and resamples with a Lanczos kernel after a box reduction.
    Image image;
    Image next;
    if (vips_thumbnail_source(source.get(), image.out(), width, "height", height, "size", VIPS_SIZE_BOTH, "crop",
                              fit == Fit::cover ? VIPS_INTERESTING_CENTRE : VIPS_INTERESTING_NONE, "option_string",
                              "fail_on=truncated", nullptr) != 0 ||
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
    if (vips_gravity(image.get(), next.out(), VIPS_COMPASS_DIRECTION_CENTRE, width, height, "extend", VIPS_EXTEND_BLACK,
                     nullptr) != 0) {
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
