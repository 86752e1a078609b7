#pragma once

#include <sys/types.h>

// Unnamed files, shared by the POSIX output files and folders: a regular file's bytes go to an
// unnamed file in the same folder (O_TMPFILE), which gets its name only when committed, so that
// even a killed capture leaves what was there before and nothing else. Where the file system has
// no unnamed files, a hidden temporary name beside the file takes its place (and a killed capture
// leaves that behind).

// An unnamed regular file in folder with the given permissions (before the umask), for
// link_into_place; -1 with errno set when it cannot be made. unnamed_files_unsupported(errno) then
// says whether a named file should be used instead.
int open_unnamed_file(int folder, mode_t mode);
bool unnamed_files_unsupported(int error);

// Gives the unnamed file fd (already synced) the name name in folder, replacing a file of that
// name atomically. While a short hidden name is needed for the swap it is kept in in_flight (at
// least NAME_MAX + 1 bytes), so that a signal handler can remove it; emptied again after.
bool link_into_place(int fd, int folder, const char* name, char* in_flight);
