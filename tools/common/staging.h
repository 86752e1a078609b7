#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A data set is built in a temporary folder beside its target and takes the target's name only
// once every file in it is complete and on disk. Whatever stops the build first (a failure,
// SIGINT, SIGTERM) removes the temporary folder, so a data set is either whole or absent. A run
// holds a lock on its temporary folder while it lives, so that what a killed run left (SIGKILL,
// a power cut) is told apart from a live run's folder and removed by a later run.
// Its files are written straight into the temporary folder rather than as output files
// (platform/output_file.h): the folder is what takes its name whole, the signal handler removes
// the files by the names announced, and each file's sync is one of the calls a test records.

// The calls that put a staged set on disk, apart so that a test can record their order.
struct StagingCalls {
    int (*sync)(int fd);
    // renameat2 relative to the working directory; flags 0 is a plain rename.
    int (*rename)(const char* from, const char* to, unsigned int flags);
};

// Called by tests only, before begin_staging: the calls to use instead of the system's.
void staging_use_calls(const StagingCalls& calls);

// Called before begin_staging: removes the temporary folders that killed runs left in directory
// (ours by name, owner, type and marker, locked by no live run, their process gone) and gives the
// paths removed. Anything else is left as it is.
std::vector<std::string> remove_stale_staging(const std::string& directory);

// The folders that files (relative to the data set) lie in, each parent before its children: what
// begin_staging is to create for them.
std::vector<std::string> staging_folders(const std::vector<std::string>& files);

// Called once before anything is written: creates the temporary folder in directory with the
// given subfolders and the names of the files to come (all relative to the data set), locks it,
// and installs the signal handlers that remove it. False, with errno set, on failure.
bool begin_staging(const std::string& directory, const std::vector<std::string>& folders,
                   const std::vector<std::string>& files);

// Writes one of the announced files and syncs it. False, with errno set, on failure.
bool stage_file(const std::string& name, const std::vector<std::uint8_t>& bytes);

// Syncs the folders and moves the set to directory/data, then syncs directory. With replace, an
// existing data/ (folder, file or symbolic link) is exchanged for the new one and then removed
// without following any symbolic link; without it an existing data/ is left alone and errno is
// EEXIST. False, with errno set, on failure; the temporary folder is then gone.
bool finish_staging(bool replace);

// Called when the run created directory to hold the set: from then on a failure, SIGINT or
// SIGTERM removes it again (when empty), after the temporary folder. False when the path is too
// long to keep.
bool staging_made_directory(const std::string& directory);

// Removes the temporary folder and what was written into it, then the folder the run made for
// the set, if any. Safe in a signal handler.
void abandon_staging();
