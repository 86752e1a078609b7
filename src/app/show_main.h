#pragma once

#include <string>

// The show from its command line to its end: called once by the process entry in the platform's
// folder (main in sdl/, WinMain in win32/, web_show in web/) with the command line as the show
// sees it, the program's name and the blanks after it skipped. Returns the process's status: 1
// when the show ran to its end, 0 for --help and --version; every other end leaves the process
// inside.
int show_main(const std::string& command_line);
