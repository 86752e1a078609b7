// The show's process entry on Windows: the command line arrives whole, as the start-up code leaves
// it after the program's name.

#include "app/show_main.h"
#include "platform/win32/win32_internal.h"

#include <mmsystem.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show_command)
{
    g_win32.instance = instance;
    g_win32.show_command = show_command;
    // The fade clock and the pacing's sleeps want milliseconds, not the default 15.6 ms ticks.
    timeBeginPeriod(1);
    return show_main(command_line != nullptr ? command_line : "");
}
