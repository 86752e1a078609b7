// The show's process entry on Windows. The command line is taken whole from the process and cut
// after the program's name by the show's own rule, not the C runtime's (which treats letters past
// 0x7F in the name as blanks).

#include "app/command_line.h"
#include "app/show_main.h"
#include "platform/win32/win32_internal.h"

#include <cstdint>
#include <cstdio>

#include <fcntl.h>
#include <io.h>

#include <mmsystem.h>

namespace {

// Windows gives a windowed program no console. Started from one (cmd, PowerShell), the show
// writes its usage, version and notes there, as on other systems; output already sent elsewhere
// (a file, a pipe) stays where it goes.
void write_to_the_starting_console()
{
    const bool out_given = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN;
    const bool err_given = GetFileType(GetStdHandle(STD_ERROR_HANDLE)) != FILE_TYPE_UNKNOWN;
    if (out_given && err_given)
        return;
    // Refused as already attached (Wine attaches a windowed program to its parent's console
    // without giving it the console's output): that one is let go and the parent's taken properly.
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (GetLastError() != ERROR_ACCESS_DENIED)
            return;
        FreeConsole();
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return;
    }
    HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    const int descriptor = console != INVALID_HANDLE_VALUE
                               ? _open_osfhandle(reinterpret_cast<std::intptr_t>(console), _O_TEXT)
                               : -1;
    if (descriptor < 0)
        return;
    // The C runtime leaves a windowed program's streams on no descriptor at all (-2), and its
    // freopen does not take them over: they are pointed at 1 and 2 once those lead to the console.
    if (!out_given && _dup2(descriptor, 1) == 0)
        stdout->_file = 1;
    if (!err_given && _dup2(descriptor, 2) == 0)
        stderr->_file = 2;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command)
{
    write_to_the_starting_console();
    g_win32.instance = instance;
    g_win32.show_command = show_command;
    // The fade clock and the pacing's sleeps want milliseconds, not the default 15.6 ms ticks.
    timeBeginPeriod(1);
    return show_main(command_line_after_program(GetCommandLineA()));
}
