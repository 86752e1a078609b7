#pragma once

#include <cstdio>
#include <string>

#include "platform/file_identity.h"

// Where the capture's files go. A regular file is written whole or not at all: the bytes go to a
// temporary file in the same folder, which takes the file's name only when committed, so a failed
// or interrupted capture leaves what was there before. "-" (standard output, in binary mode),
// devices and pipes are written as the bytes come. Each system keeps its own record.
struct OutputFile;

// Called before the capture changes directory, so that a relative path names a file where the
// user stands. A link is followed: the file it names is replaced and the link stays. Null, with
// the system's reason in *reason, when the file cannot be created.
OutputFile* output_open(const char* path, std::string* reason);

// The stream the bytes go to.
std::FILE* output_stream(const OutputFile& output);

// The file written into or replaced, when one existed already: what must not be one of the
// show's inputs. False when there was none.
bool output_replaces(const OutputFile& output, FileIdentity* identity);

// Flushes, puts the bytes on disk and gives the temporary file its name. False, with the system's
// reason in *reason, on failure; the temporary file is then removed.
bool output_commit(OutputFile* output, std::string* reason);

// Removes an uncommitted temporary file; harmless with null. Safe in a signal handler.
void output_discard(const OutputFile* output);
