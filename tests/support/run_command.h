#pragma once

#include <string>

// A program run by the tests through the shell.
struct CommandRun {
    int status;          // its exit status, 128 + the signal that ended it, or -1 when it did not start
    std::string output;  // what it wrote to the stream the command line leaves to the pipe
};

// Runs command with sh -c and reads its standard output to the end.
CommandRun run_command(const std::string& command);
