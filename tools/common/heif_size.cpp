#include "heif_size.h"

#include <libheif/heif.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>

#include "picture_limits.h"

namespace {

struct Input {
    int descriptor;
    std::int64_t size;
    std::int64_t position;
};

Input& input_of(void* user) { return *static_cast<Input*>(user); }

const heif_reader k_reader = {
    .reader_api_version = 1,
    .get_position = [](void* user) -> std::int64_t { return input_of(user).position; },
    .read = [](void* data, std::size_t size, void* user) -> int {
        Input& input = input_of(user);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = pread(input.descriptor, static_cast<char*>(data) + done, size - done,
                                    input.position + done);
            if (n <= 0)
                return 1;
            done += static_cast<std::size_t>(n);
        }
        input.position += static_cast<std::int64_t>(size);
        return 0;
    },
    .seek = [](std::int64_t position, void* user) -> int {
        input_of(user).position = position;
        return 0;
    },
    .wait_for_file_size = [](std::int64_t target, void* user) -> heif_reader_grow_status {
        return target > input_of(user).size ? heif_reader_grow_status_size_beyond_eof
                                            : heif_reader_grow_status_size_reached;
    },
};

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};

// Reads the file into a new context, from wherever it is.
using Read = std::function<heif_error(heif_context*)>;

// The primary picture's size, read with libheif's limits on a side, or with none when unlimited;
// the error libheif gave otherwise.
heif_error read_size(const Read& read, bool unlimited, int* width, int* height)
{
    std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    if (unlimited)
        heif_context_set_maximum_image_size_limit(context.get(), INT_MAX);
    heif_error error = read(context.get());
    if (error.code != heif_error_Ok)
        return error;
    heif_image_handle* handle = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &handle);
    if (error.code != heif_error_Ok)
        return error;
    *width = heif_image_handle_get_width(handle);
    *height = heif_image_handle_get_height(handle);
    heif_image_handle_release(handle);
    return error;
}

std::string size_refusal_of(const Read& read)
{
    int width = 0;
    int height = 0;
    const heif_error error = read_size(read, false, &width, &height);
    if (error.code == heif_error_Ok)
        return size_refusal(width, height, 4LL * width * height);
    // A file whose boxes point past its end, as one cut short does: said so, as for a JPEG.
    if (error.subcode == heif_suberror_End_of_data)
        return "a HEIF file cut short: it ends before its picture does";
    if (error.subcode != heif_suberror_Security_limit_exceeded ||
        read_size(read, true, &width, &height).code != heif_error_Ok)
        return heif_reason(error.message);
    // Over libheif's bound on a side: the import's words when over its own limits too.
    const std::string refusal = size_refusal(width, height, 4LL * width * height);
    return !refusal.empty() ? refusal
                            : std::to_string(width) + "x" + std::to_string(height) +
                                  " pixels is over the limit of the HEIF decoder (" + heif_reason(error.message) + ")";
}

}  // namespace

std::string heif_reason(const char* message)
{
    std::string text = message;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string heif_size_refusal(int descriptor, long long size)
{
    // Read again from its start by each context, which keeps it until it is freed.
    Input input{descriptor, size, 0};
    return size_refusal_of([&input](heif_context* context) {
        input.position = 0;
        return heif_context_read_from_reader(context, &k_reader, &input, nullptr);
    });
}

std::string heif_size_refusal(const std::uint8_t* data, std::size_t size)
{
    return size_refusal_of([data, size](heif_context* context) {
        return heif_context_read_from_memory_without_copy(context, data, size, nullptr);
    });
}
