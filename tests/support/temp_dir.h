#pragma once

#include <string>
#include <vector>

// A fresh directory under $TMPDIR (or /tmp), removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The names in a folder, sorted: what a test sees left behind, temporary files included.
std::vector<std::string> names_in(const std::string& folder);
