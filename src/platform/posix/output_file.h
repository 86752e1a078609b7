#pragma once

#include <sys/types.h>

#include <climits>
#include <cstdio>

#include "platform/output_file.h"

// The capture's files on POSIX systems: the raw frames go through platform/output_file.h, the
// videos and stills of the Linux build through the calls below. A regular file's bytes go to an
// unnamed file in the same folder (O_TMPFILE), which gets the file's name only when committed, so
// that even a killed capture leaves what was there before and nothing else. Where the file system
// has no unnamed files, a hidden temporary name beside the file takes its place (and a killed
// capture leaves that behind).
struct OutputFile {
    std::FILE* stream = nullptr;
    int folder = -1;                    // the folder of a staged file, open for linkat, renameat, fsync
    bool unnamed = false;               // staged as an unnamed file
    char temporary[NAME_MAX + 1] = {};  // a name in folder to remove if the capture stops; else empty
    char final_name[NAME_MAX + 1] = {};
    // The file written or replaced, when one existed already: what must not be one of the inputs.
    bool existed = false;
    dev_t device = 0;
    ino_t inode = 0;
};

// Called before the capture changes directory, so that a relative path names a file where the
// user stands. A link is followed: the file it names is replaced and the link stays; a replaced
// file keeps its permissions. False, with errno set, when the file cannot be created.
bool open_output(const char* path, OutputFile* output);

// Whether output writes straight into a pipe or a socket, where nothing can seek back.
bool output_is_pipe(const OutputFile& output);

// Flushes, syncs and gives the staged file its name. False, with errno set, on failure; the staged
// file is then removed.
bool commit_output(OutputFile* output);

// Removes an uncommitted staged file. Safe in a signal handler.
void discard_output(const OutputFile* output);

// An unnamed regular file in folder with the given permissions (before the umask), for
// link_into_place; -1 with errno set when it cannot be made. unnamed_files_unsupported(errno) then
// says whether a named file should be used instead.
int open_unnamed_file(int folder, mode_t mode);
bool unnamed_files_unsupported(int error);

// Gives the unnamed file fd (already synced) the name name in folder, replacing a file of that
// name atomically. While a short hidden name is needed for the swap it is kept in in_flight (at
// least NAME_MAX + 1 bytes), so that a signal handler can remove it; emptied again after.
bool link_into_place(int fd, int folder, const char* name, char* in_flight);
