#pragma once

#include <cstdio>
#include <string>

// A program run by the tests through the system's shell (sh; cmd.exe on Windows).
struct CommandRun {
    int status;          // its exit status, 128 + the signal that ended it, or -1 when it did not start
    std::string output;  // what it wrote to the stream the command line leaves to the pipe
};

// Runs command and reads its standard output to the end.
CommandRun run_command(const std::string& command);

// Starts command with its standard output readable, as bytes, from the stream returned (null when
// it cannot start), for output too large to hold.
std::FILE* open_command(const std::string& command);

// Waits for a command of open_command to end: its status, as CommandRun's.
int close_command(std::FILE* pipe);
