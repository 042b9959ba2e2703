// Reads another program's windows for the end-to-end test, which drives
// parafold.exe with the X mouse and keyboard (xdotool) but cannot see inside
// Wine's windows. Runs in the same Wine session (prefix and display).
//
//   window_probe wait CAPTION     waits up to 20 s for a visible top-level
//                                 window with that caption
//   window_probe gone CAPTION     waits up to 20 s until there is none
//   window_probe controls CAPTION lists the window's controls, one a line:
//                                 id x y enabled checked class<TAB>text
//                                 (x, y: the control's centre on the screen)
//   window_probe rect CAPTION     prints the window's frame: x y width height
// Exit status 0 when done, 1 on timeout or when the window is missing.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

HWND find_window(const char* caption) {
    HWND window = FindWindowA(nullptr, caption);
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

bool wait_for(const char* caption, bool present) {
    for (int waited = 0; waited < 20'000; waited += 50) {
        if ((find_window(caption) != nullptr) == present) return true;
        Sleep(50);
    }
    return false;
}

BOOL CALLBACK print_control(HWND control, LPARAM) {
    RECT rect{};
    GetWindowRect(control, &rect);
    char window_class[64] = {};
    GetClassNameA(control, window_class, sizeof window_class);
    const LRESULT length = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
    std::vector<char> text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    SendMessageA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    const LRESULT checked = _stricmp(window_class, "Button") == 0 ? SendMessageA(control, BM_GETCHECK, 0, 0) : 0;
    std::printf("%d %ld %ld %d %d %s\t%s\n", GetDlgCtrlID(control), (rect.left + rect.right) / 2,
                (rect.top + rect.bottom) / 2, IsWindowEnabled(control) ? 1 : 0, static_cast<int>(checked),
                window_class, text.data());
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // bare LF line ends for the shell
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_probe wait|gone|controls|rect CAPTION\n");
        return 2;
    }
    const std::string command = argv[1];
    const char* caption = argv[2];
    if (command == "wait") return wait_for(caption, true) ? 0 : 1;
    if (command == "gone") return wait_for(caption, false) ? 0 : 1;
    if (command == "controls") {
        HWND window = find_window(caption);
        if (window == nullptr) return 1;
        EnumChildWindows(window, print_control, 0);
        return 0;
    }
    if (command == "rect") {
        HWND window = find_window(caption);
        RECT rect{};
        if (window == nullptr || !GetWindowRect(window, &rect)) return 1;
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        return 0;
    }
    std::fprintf(stderr, "window_probe: unknown command %s\n", command.c_str());
    return 2;
}
