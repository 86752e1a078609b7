// A whole file in one call, over each system's output files: portable.

#include <cerrno>
#include <cstring>

#include "platform/output_file.h"

bool output_write_whole(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* reason)
{
    std::string unused;
    std::string& why = reason != nullptr ? *reason : unused;
    OutputFile* output = output_open(path.c_str(), &why);
    if (output == nullptr)
        return false;
    // An empty vector may hold no buffer at all, which fwrite must not be given.
    bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), output_stream(*output)) == bytes.size();
    if (!written)
        why = std::strerror(errno);
    written = written && output_commit(output, &why);
    output_close(output);
    return written;
}
