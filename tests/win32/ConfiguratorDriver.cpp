// Drives zelo-configurator.exe from outside as a user would: starts it, waits until its window takes input,
// clicks Download, reads the status line, closes the window and waits for the program to end. Prints what
// it saw, one "name: value" line each, for the native harness in tests/wine to check.
#include "Win32TestSupport.h"
#include "os/Arguments.h"
#include "window/win32/Win32Text.h"
#include "window/win32/Win32Window.h"

#include <cstdio>
#include <string>

using zelo::layout::ControlId;
using zelo::win32::Utf8Text;
using zelo::win32::WideText;
using zelo::win32::Win32Id;

namespace {

constexpr DWORD Patience = 60000; // ms for each step; the harness kills the whole run after longer

struct Search {
    DWORD Process;
    HWND Found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    wchar_t windowClass[64] = {};
    ::GetClassNameW(window, windowClass, 64);
    if (process == search->Process && std::wstring(windowClass) == L"ZeloConfiguratorWindow") {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

HWND Child(HWND root, ControlId id) {
    return zelo::test::FindControl(root, Win32Id(id));
}

std::string TextOf(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR length = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, Patience,
                          &length);
    return Utf8Text(std::wstring(text, static_cast<std::size_t>(length)));
}

BOOL CALLBACK PrintBox(HWND window, LPARAM process) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t windowClass[16] = {};
    ::GetClassNameW(window, windowClass, 16);
    if (owner == static_cast<DWORD>(process) && std::wstring(windowClass) == L"#32770")
        std::printf("box: %s: %s\n", TextOf(window).c_str(), TextOf(::GetDlgItem(window, 0xFFFF)).c_str());
    return TRUE;
}

int Fail(PROCESS_INFORMATION& program, const char* why) {
    std::printf("failed: %s\n", why);
    // A box the program shows (a refused download, say) is what keeps it: say what it says.
    ::EnumWindows(PrintBox, static_cast<LPARAM>(program.dwProcessId));
    ::TerminateProcess(program.hProcess, 99);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: configurator-driver PATH-TO-zelo-configurator.exe\n");
        return 2;
    }
    std::wstring command = L"\"" + WideText(zelo::os::Utf8Arguments(argc, argv)[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION program{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &program)) {
        std::printf("failed: cannot start %s (error %lu)\n", argv[1], ::GetLastError());
        return 1;
    }
    // Its message loop waits for input once the window is up.
    if (::WaitForInputIdle(program.hProcess, Patience) != 0)
        return Fail(program, "the program did not come to wait for input");
    Search search{program.dwProcessId, nullptr};
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.Found == nullptr)
        return Fail(program, "no configurator window");
    HWND window = search.Found;
    RECT client{};
    ::GetClientRect(window, &client);
    std::printf("caption: %s\n", TextOf(window).c_str());
    std::printf("client: %ldx%ld\n", client.right, client.bottom);
    std::printf("visible: %d\n", ::IsWindowVisible(window) ? 1 : 0);

    // The click returns once the download has ended: the handler runs it before it returns.
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(Child(window, ControlId::btnDownload), BM_CLICK, 0, 0, SMTO_NORMAL, Patience,
                               &result))
        return Fail(program, "the Download click did not come back");
    std::printf("status: %s\n", TextOf(Child(window, ControlId::labStatus)).c_str());

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(program.hProcess, Patience) != WAIT_OBJECT_0)
        return Fail(program, "the program did not end after its window was closed");
    DWORD code = 0;
    ::GetExitCodeProcess(program.hProcess, &code);
    std::printf("exit: %lu\n", code);
    ::CloseHandle(program.hThread);
    ::CloseHandle(program.hProcess);
    return 0;
}
