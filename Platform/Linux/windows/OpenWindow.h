// Held for as long as one of Dusk's windows or alerts is open. A tray
// utility spends most of its life with none; when the last one goes, what
// drawing them left behind is given back.
#pragma once

namespace dusk::backend {

class OpenWindow final {
public:
    OpenWindow();
    ~OpenWindow();
    OpenWindow(const OpenWindow&) = delete;
    OpenWindow& operator=(const OpenWindow&) = delete;
};

}  // namespace dusk::backend
