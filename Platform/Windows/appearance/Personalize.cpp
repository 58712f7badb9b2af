#include "appearance/Personalize.h"

#include "common/Handles.h"
#include "common/Text.h"

namespace dusk::backend {
namespace {

constexpr wchar_t appsValue[] = L"AppsUseLightTheme";
constexpr wchar_t systemValue[] = L"SystemUsesLightTheme";

bool isDark(const wchar_t* value) {
    DWORD light = 1;
    DWORD size = sizeof light;
    const LSTATUS status =
        ::RegGetValueW(HKEY_CURRENT_USER, personalizeKey, value, RRF_RT_REG_DWORD, nullptr, &light, &size);
    return status == ERROR_SUCCESS && light == 0;
}

}  // namespace

bool appsAreDark() { return isDark(appsValue); }
bool taskbarIsDark() { return isDark(systemValue); }

std::optional<std::string> writeSide(bool dark) {
    HKEY opened = nullptr;
    LSTATUS status =
        ::RegCreateKeyExW(HKEY_CURRENT_USER, personalizeKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) return "Dusk could not open the Personalize settings: " + errorText(status);
    const UniqueKey key(opened);
    const DWORD light = dark ? 0 : 1;
    for (const wchar_t* value : {appsValue, systemValue}) {
        status = ::RegSetValueExW(key.get(), value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&light), sizeof light);
        if (status != ERROR_SUCCESS) return "Dusk could not change " + narrow(value) + ": " + errorText(status);
    }
    return std::nullopt;
}

}  // namespace dusk::backend
