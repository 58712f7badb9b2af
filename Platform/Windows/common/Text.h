// Dusk's texts are UTF-8; Windows speaks UTF-16.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace dusk::backend {

std::wstring wide(std::string_view text);
std::string narrow(std::wstring_view text);

// The system's description of an error code, in the user's language,
// without the line break Windows ends it with.
std::string errorText(DWORD error);

}  // namespace dusk::backend
