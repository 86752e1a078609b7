#pragma once

#include <cstdio>

// Where the capture's frames go. A regular file is written whole or not at all: the bytes go to
// a temporary name in the same folder, which takes the file's name only when committed, so a
// failed or interrupted capture leaves what was there before. "-", devices and pipes are
// written as the bytes come.
struct OutputFile {
    std::FILE* stream = nullptr;
    int folder = -1;          // the folder of a temporary file, open for renameat and fsync
    char temporary[256] = {}; // its name in that folder; empty when writing straight through
    char final_name[256] = {};
};

// Called before the capture changes directory, so that a relative path names a file where the
// user stands. False, with errno set, when the file cannot be created.
bool open_output(const char* path, OutputFile* output);

// Flushes, syncs and moves the temporary file into place. False, with errno set, on failure;
// the temporary file is then removed.
bool commit_output(OutputFile* output);

// Removes an uncommitted temporary file. Safe in a signal handler.
void discard_output(const OutputFile* output);
