// The show's process entry on Windows. The command line is taken whole from the process and cut
// after the program's name by the show's own rule, not the C runtime's (which treats letters past
// 0x7F in the name as blanks).

#include "app/command_line.h"
#include "app/show_main.h"
#include "platform/win32/win32_internal.h"

#include <mmsystem.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command)
{
    g_win32.instance = instance;
    g_win32.show_command = show_command;
    // The fade clock and the pacing's sleeps want milliseconds, not the default 15.6 ms ticks.
    timeBeginPeriod(1);
    return show_main(command_line_after_program(GetCommandLineA()));
}
