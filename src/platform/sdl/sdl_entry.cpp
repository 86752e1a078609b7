// The show's process entry on Linux, where programs start from main: the arguments become the one
// command line that Windows hands its programs whole.

#include "app/command_line.h"
#include "app/show_main.h"

int main(int argc, char** argv) { return show_main(command_line_text(argc, argv)); }
