// The page's maker's HEIC decoder, called by heif_worker.js where the browser has none of its
// own: the file measured by libheif before anything is decoded and refused in the import's words
// (heif_size.h), then decoded as velmorastik-import's libvips decodes it (libheif turning it
// upright by its irot and imir, eight bits a sample, RGB or, with transparency, RGBA), its
// embedded colour profile converted to sRGB by lcms2 as libvips converts it, and any
// transparency laid over black.

#include <lcms2.h>
#include <libheif/heif.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "heif_size.h"

namespace {

std::vector<std::uint8_t> g_file;  // the file being decoded
std::string g_refusal;
// The decoded picture, RGB or RGBA rows back to back, kept until the next call.
std::unique_ptr<heif_image, decltype(&heif_image_release)> g_image(nullptr, heif_image_release);
// Width, height, bytes a pixel (3 or 4), the address of the samples and that of the refusal
// (empty when taken), as heif_worker.js reads them.
std::int32_t g_result[5];

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleFree {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};

// The pixels from the profile embedded in the file to sRGB, as libvips' icc_transform does
// (relative colorimetric, black point compensation); a profile lcms2 cannot use leaves them as
// they are, as the import leaves them. A picture whose colour is given by nclx alone is taken as
// sRGB already, as libvips takes it.
void to_srgb(const heif_image_handle* handle, bool alpha, std::uint8_t* pixels, int width, int height, int stride)
{
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC)
        return;
    std::vector<std::uint8_t> icc(heif_image_handle_get_raw_color_profile_size(handle));
    if (icc.empty() || heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok)
        return;
    cmsHPROFILE in = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
    if (in == nullptr)
        return;
    cmsHPROFILE out = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform = nullptr;
    const cmsUInt32Number format = alpha ? TYPE_RGBA_8 : TYPE_RGB_8;
    if (cmsGetColorSpace(in) == cmsSigRgbData)
        transform = cmsCreateTransform(in, format, out, format, INTENT_RELATIVE_COLORIMETRIC,
                                       cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_COPY_ALPHA);
    if (transform != nullptr) {
        cmsDoTransformLineStride(transform, pixels, pixels, static_cast<cmsUInt32Number>(width),
                                 static_cast<cmsUInt32Number>(height), static_cast<cmsUInt32Number>(stride),
                                 static_cast<cmsUInt32Number>(stride), 0, 0);
        cmsDeleteTransform(transform);
    }
    cmsCloseProfile(out);
    cmsCloseProfile(in);
}

// Decodes the file in g_file; the refusal when it cannot be used.
std::string decode()
{
    std::string refusal = heif_size_refusal(g_file.data(), g_file.size());
    if (!refusal.empty())
        return refusal;
    std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), g_file.data(), g_file.size(), nullptr);
    heif_image_handle* raw_handle = nullptr;
    if (error.code == heif_error_Ok)
        error = heif_context_get_primary_image_handle(context.get(), &raw_handle);
    if (error.code != heif_error_Ok)
        return heif_reason(error.message);
    const std::unique_ptr<heif_image_handle, HandleFree> handle(raw_handle);
    std::unique_ptr<heif_decoding_options, decltype(&heif_decoding_options_free)> options(heif_decoding_options_alloc(),
                                                                                          heif_decoding_options_free);
    options->convert_hdr_to_8bit = 1;
    // RGB unless it has transparency, as libvips asks: the same conversion from YCbCr.
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const int channels = alpha ? 4 : 3;
    heif_image* image = nullptr;
    error = heif_decode_image(handle.get(), &image, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    if (error.code != heif_error_Ok)
        return heif_reason(error.message);
    g_image.reset(image);
    const int width = heif_image_get_width(image, heif_channel_interleaved);
    const int height = heif_image_get_height(image, heif_channel_interleaved);
    int stride = 0;
    std::uint8_t* pixels = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    if (pixels == nullptr)
        return "libheif gave no pixels";
    to_srgb(handle.get(), alpha, pixels, width, height, stride);
    // Over black, opaque, and the rows packed, for the page to take in one piece.
    const int row_bytes = width * channels;
    for (int y = 0; y < height; y++) {
        std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; alpha && x < row_bytes; x += 4) {
            const unsigned opacity = row[x + 3];
            for (int c = 0; c < 3; c++)
                row[x + c] = static_cast<std::uint8_t>((row[x + c] * opacity + 127) / 255);
            row[x + 3] = 255;
        }
        if (stride != row_bytes)
            std::memmove(pixels + static_cast<std::ptrdiff_t>(y) * row_bytes, row, static_cast<std::size_t>(row_bytes));
    }
    g_result[0] = width;
    g_result[1] = height;
    g_result[2] = channels;
    g_result[3] = static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(pixels));
    return {};
}

}  // namespace

// Room for a file of size bytes, which the worker fills before heif_decode.
extern "C" std::uint8_t* heif_file_buffer(std::uint32_t size)
{
    g_image.reset();
    g_file.assign(size, 0);
    return g_file.data();
}

// Decodes the file in the buffer: width, height, bytes a pixel, the address of its samples (valid
// until the next heif_file_buffer or heif_release) and that of the refusal, empty when it was
// decoded.
extern "C" const std::int32_t* heif_decode()
{
    g_result[0] = g_result[1] = g_result[2] = g_result[3] = 0;
    g_refusal = decode();
    if (!g_refusal.empty())
        g_image.reset();
    g_file = {};
    g_result[4] = static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(g_refusal.c_str()));
    return g_result;
}

// Gives back the decoded picture's memory.
extern "C" void heif_release() { g_image.reset(); }
