// Every handle Dusk holds is closed by its owner's destructor, once.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace dusk::backend {

template <auto close>
struct HandleCloser {
    template <typename Handle>
    void operator()(Handle handle) const {
        close(handle);
    }
};

// A handle that is a pointer type underneath (HANDLE, HKEY, HICON, ...);
// null is "none". INVALID_HANDLE_VALUE is turned into null by `file`.
template <typename Handle, auto close>
using Unique = std::unique_ptr<std::remove_pointer_t<Handle>, HandleCloser<close>>;

using UniqueHandle = Unique<HANDLE, &::CloseHandle>;
using UniqueKey = Unique<HKEY, &::RegCloseKey>;
using UniqueIcon = Unique<HICON, &::DestroyIcon>;
using UniqueMenu = Unique<HMENU, &::DestroyMenu>;
using UniqueWindow = Unique<HWND, &::DestroyWindow>;
using UniqueBitmap = Unique<HBITMAP, &::DeleteObject>;
using UniqueFont = Unique<HFONT, &::DeleteObject>;
using UniqueFind = Unique<HANDLE, &::FindClose>;

// CreateFileW's failure is INVALID_HANDLE_VALUE, not null.
inline UniqueHandle file(HANDLE handle) { return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle); }

}  // namespace dusk::backend
