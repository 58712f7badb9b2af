// The two values Windows keeps its Light and Dark modes in, under the
// user's Personalize key: one for apps, one for the taskbar and Start.
#pragma once

#include <optional>
#include <string>

namespace dusk::backend {

// The key's path under HKEY_CURRENT_USER.
inline constexpr wchar_t personalizeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// Apps are Dark. A missing value is Windows' default, Light.
bool appsAreDark();
// The taskbar is Dark: what the tray icon is drawn against.
bool taskbarIsDark();

// Sets both to one side. None when written, else why not.
std::optional<std::string> writeSide(bool dark);

}  // namespace dusk::backend
