#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_identity.h"

// The one way a program writes a file whole: the capture's raw frames, videos and stills, the
// icon, and the fixtures of the tests, benchmarks and fuzzers. A regular file is written whole or
// not at all: the bytes go to a temporary file in the same folder, which takes the file's name
// only when committed, so a failed or interrupted writer leaves what was there before. "-"
// (standard output, in binary mode), devices and pipes are written as the bytes come. Each system
// keeps its own record. (A data set is the one thing written otherwise: a whole folder takes its
// name at once, tools/common/staging.h.)
struct OutputFile;

// Called before the capture changes directory, so that a relative path names a file where the
// user stands. A link is followed: the file it names is replaced and the link stays. Null, with
// the system's reason in *reason, when the file cannot be created.
OutputFile* output_open(const char* path, std::string* reason);

// The stream the bytes go to.
std::FILE* output_stream(const OutputFile& output);

// Whether the bytes go straight into a pipe or a socket, where nothing can seek back.
bool output_is_pipe(const OutputFile& output);

// The file written into or replaced, when one existed already: what must not be one of the
// show's inputs. False when there was none.
bool output_replaces(const OutputFile& output, FileIdentity* identity);

// Flushes, puts the bytes on disk and gives the temporary file its name (closing its stream).
// False, with the system's reason in *reason, on failure; the temporary file is then removed.
bool output_commit(OutputFile* output, std::string* reason);

// Removes an uncommitted temporary file; harmless with null. Safe in a signal handler.
void output_discard(const OutputFile* output);

// Ends a writer that stops before committing, or frees a committed record: closes the stream
// (never standard output), removes an uncommitted temporary file and frees output. Harmless with null.
void output_close(OutputFile* output);

// For a program that has a whole file in hand: output_open, the bytes, output_commit and
// output_close. False, with the system's reason in *reason (when reason is not null), when the
// file cannot be written; what was at path is then left as it was.
bool output_write_whole(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* reason = nullptr);

// A folder of files that take their names together (the stills): each file is written whole
// into a temporary file beside the others, and none is named until all are committed, so a
// failed, interrupted or killed capture leaves the folder as it was. Linux only: the Windows
// capture writes raw frames only. The failures below set *error to "what: path: reason".
struct OutputFolder;

// Opens the folder, making it when it does not exist. Null when it cannot be written into.
OutputFolder* output_folder_open(const char* path, std::string* error);

// Writes the file name (a name without folders) of the folder, to be named at the commit.
bool output_folder_write(OutputFolder* folder, const char* name, const void* data, std::size_t size,
                         std::string* error);

// Puts every file written on disk, then gives each its name; the folder may take more after.
// On failure the files not yet named are removed.
bool output_folder_commit(OutputFolder* folder, std::string* error);

// Removes the temporary files written so far; harmless with null. Safe in a signal handler.
void output_folder_discard(const OutputFolder* folder);

// Ends the folder, once, committed or not: removes the files not yet named, closes them and the
// folder and frees folder. Harmless with null.
void output_folder_close(OutputFolder* folder);
