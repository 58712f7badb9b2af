// Another program on the Windows desktop, for the end-to-end tests: it holds
// Ctrl+Alt+Win+D, as a program that took the shortcut first would, until it
// is ended.
#include <windows.h>

#include <cstdio>

int main() {
    if (!::RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT | MOD_WIN | MOD_NOREPEAT, 'D')) {
        std::printf("RegisterHotKey failed: %lu\n", ::GetLastError());
        return 1;
    }
    std::printf("holding Ctrl+Alt+Win+D\n");
    std::fflush(stdout);
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    return 0;
}
