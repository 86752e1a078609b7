// The show started from a console, as from cmd: its version reaches that console's screen and its
// status comes back. The show is a windowed program, which Windows gives no console of its own.
//   console_test SHOW.exe VERSION
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: console_test SHOW.exe VERSION\n");
        return 64;
    }
    // A console of our own, which the show is to find as its parent's.
    FreeConsole();
    if (!AllocConsole()) {
        std::printf("FAIL: no console to start the show from (error %lu)\n", GetLastError());
        return 1;
    }
    HANDLE screen = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    // No output handed over, as cmd hands none to a windowed program.
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process = {};
    std::string command = std::string("\"") + argv[1] + "\" --version";
    if (!CreateProcessA(argv[1], command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("FAIL: cannot start %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    DWORD status = 1;
    const bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    GetExitCodeProcess(process.hProcess, &status);

    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(screen, &info);
    std::string text;
    for (SHORT row = 0; row <= info.dwCursorPosition.Y && row < info.dwSize.Y; ++row) {
        std::string line(static_cast<std::size_t>(info.dwSize.X), ' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterA(screen, line.data(), static_cast<DWORD>(line.size()), {0, row}, &read);
        line.resize(read);
        text += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
    }
    const std::string expected = std::string("velmorastik ") + argv[2];
    std::printf("the console shows:\n%s", text.c_str());
    if (!ended || status != 0 || text.find(expected) == std::string::npos) {
        std::printf("FAIL: %s, status %lu, expected '%s' on the console\n", ended ? "ended" : "still running", status,
                    expected.c_str());
        return 1;
    }
    std::printf("console: '%s' on the console, status 0\n", expected.c_str());
    return 0;
}
