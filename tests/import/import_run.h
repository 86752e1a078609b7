#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The import run as a person runs it, and what it leaves behind.

struct ImportRun {
    int status;          // its exit status
    std::string errors;  // what it wrote on stderr
};

// Runs velmorastik-import with the arguments (a shell's words) from the folder where, which must
// hold no data/ of its own.
ImportRun run_import(const std::string& where, const std::string& arguments);

// The import as a hostile input's run: a process of its own, its address space capped (so that a
// memory bomb fails inside it instead of taking the machine), killed after seconds.
struct BoundedRun {
    int status;           // its exit status, 128 + the signal that ended it
    std::string errors;   // what it wrote on stderr
    long peak_kilobytes;  // its largest resident set
    bool timed_out;       // killed at the deadline
};

BoundedRun run_import_bounded(const std::string& where, const std::string& arguments, int seconds);

// The 12 pictures' paths under data/, in the order the show shows them (the show's own list).
extern const std::vector<std::string> k_picture_places;

// Every file under folder, by its path relative to folder, with its bytes.
std::map<std::string, std::vector<std::uint8_t>> files_under(const std::string& folder);

std::vector<std::uint8_t> read_bytes(const std::string& path);
