#include "show/texture_file.h"

#include "fx/effect.h"
#include "platform/data_file.h"
#include "platform/fatal.h"
#include "show/data_set.h"

long read_texture_bytes(std::FILE* file, std::uint8_t* bytes)
{
    const std::size_t count = std::fread(bytes, 1, k_texture_bytes, file);
    return std::ferror(file) ? -1 : static_cast<long>(count);
}

std::vector<std::uint8_t> load_texture_file()
{
    const DataFile file = data_file_open(k_texture_file_path);
    if (file.stream == nullptr)
        fatal_file_error("ERROR LOCATING...", "open", k_texture_file_path, file.reason);
    std::vector<std::uint8_t> bytes(k_texture_bytes);
    const long count = read_texture_bytes(file.stream, bytes.data());
    if (count < 0)
        fatal_system_error("ERROR LOCATING...", "read", k_texture_file_path);
    std::fclose(file.stream);
    if (count < k_texture_bytes)
        std::fprintf(stderr, "%s: %ld bytes, short of a texture's %ld: the missing bytes read as 255 (white)\n",
                     k_texture_file_path, count, k_texture_bytes);
    bytes.resize(static_cast<std::size_t>(count));
    return bytes;
}
