#include "Win32TestSupport.h"
#include "window/win32/Win32Dialogs.h"
#include "window/win32/Win32Text.h"

#include <cstdint>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <utility>

namespace zelo::test {

void PumpPending(HWND dialog) {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (dialog != nullptr && ::IsDialogMessageW(dialog, &message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

namespace {
thread_local BoxAnswerer* ActiveAnswerer = nullptr;
} // namespace

BoxAnswerer::BoxAnswerer(int answer, std::wstring fileName)
    : Answer_(answer), FileName_(std::move(fileName)) {
    ActiveAnswerer = this;
    Hook_ = ::SetWindowsHookExW(WH_CBT, Hook, nullptr, ::GetCurrentThreadId());
}

BoxAnswerer::~BoxAnswerer() {
    if (Hook_ != nullptr)
        ::UnhookWindowsHookEx(Hook_);
    ActiveAnswerer = nullptr;
}

LRESULT CALLBACK BoxAnswerer::Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && ActiveAnswerer != nullptr) {
        HWND window = reinterpret_cast<HWND>(wParam);
        wchar_t windowClass[16] = {};
        ::GetClassNameW(window, windowClass, 16);
        if (std::wcscmp(windowClass, L"#32770") == 0) {
            // A box's text is the static control with the ID 0xFFFF; a file dialog has its name field in
            // cmb13 (0x47C) or edt1 (0x480).
            HWND password = ::GetDlgItem(window, win32::PasswordFieldId);
            const BoxAnswerer::Seen seen{WindowText(window), WindowText(::GetDlgItem(window, 0xFFFF)),
                                         ::GetDlgItem(window, IDNO) != nullptr,
                                         password != nullptr &&
                                             (::GetWindowLongPtrW(password, GWL_STYLE) & ES_PASSWORD) != 0};
            if (!ActiveAnswerer->FileName_.empty()) {
                for (const int field : {0x47C, 0x480, win32::PasswordFieldId})
                    if (::GetDlgItem(window, field) != nullptr)
                        ::SetDlgItemTextW(window, field, ActiveAnswerer->FileName_.c_str());
            }
            ActiveAnswerer->Boxes.push_back(seen);
            ::PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(ActiveAnswerer->Answer_), 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

Pixels::Pixels(int width, int height) : Width_(width), Height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Dc_ = ::CreateCompatibleDC(nullptr);
    Bitmap_ = ::CreateDIBSection(Dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    Bits_ = static_cast<const std::uint32_t*>(bits);
    Old_ = ::SelectObject(Dc_, Bitmap_);
}

Pixels::~Pixels() {
    ::SelectObject(Dc_, Old_);
    ::DeleteObject(Bitmap_);
    ::DeleteDC(Dc_);
}

COLORREF Pixels::At(int x, int y) const {
    if (Bits_ == nullptr || x < 0 || y < 0 || x >= Width_ || y >= Height_)
        return CLR_INVALID;
    ::GdiFlush();
    const std::uint32_t pixel =
        Bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width_) + static_cast<std::size_t>(x)];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

int Pixels::Count(const RECT& area, COLORREF color) const {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            count += At(x, y) == color ? 1 : 0;
    return count;
}

void TypeInto(HWND field, const std::string& text) {
    ::SetFocus(field);
    PumpPending();
    ::SendMessageW(field, EM_SETSEL, 0, -1);
    for (const wchar_t c : win32::WideText(text))
        ::SendMessageW(field, WM_CHAR, static_cast<WPARAM>(c), 0);
}

void ClickAt(HWND control, POINT point, UINT down) {
    const LPARAM at = MAKELPARAM(point.x, point.y);
    ::SendMessageW(control, down, MK_LBUTTON, at);
    ::SendMessageW(control, WM_LBUTTONUP, 0, at);
    PumpPending();
}

void ClickRowBox(const win32::CheckList& list, int row) {
    const RECT box = list.CheckBoxRect(row);
    ClickAt(list.Handle(), {(box.left + box.right) / 2, (box.top + box.bottom) / 2});
}

void ClickRowText(const win32::CheckList& list, int row) {
    const RECT line = list.RowRect(row);
    ClickAt(list.Handle(), {line.right - 4, (line.top + line.bottom) / 2});
}

bool ChooseItem(HWND list, const std::string& text) {
    const std::wstring wide = win32::WideText(text);
    if (::SendMessageW(list, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(wide.c_str())) == CB_ERR)
        return false;
    ::SendMessageW(::GetParent(list), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(list), CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));
    PumpPending();
    return true;
}

bool QuitWaiting() {
    MSG message{};
    return ::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

TempFolder::TempFolder() {
    static int count = 0;
    Path_ = std::filesystem::temp_directory_path() /
            ("zelo-win32-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++count));
    std::filesystem::create_directories(Path_);
}

TempFolder::~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(Path_, error);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

namespace {
struct Search {
    int Id;
    HWND Found;
};
BOOL CALLBACK MatchId(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    if (::GetDlgCtrlID(window) == search->Id) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND FindControl(HWND root, int id) {
    Search search{id, nullptr};
    ::EnumChildWindows(root, MatchId, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

} // namespace zelo::test
