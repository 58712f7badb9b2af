// When the display goes away under a running Dusk (the X server crashed, the
// session ended without a word), Qt and Xlib each end the process with
// status 1 after a message of their own, and which of them notices first is
// a matter of timing. While this object lives, the user gets one line in
// Dusk's voice instead, whichever it is.
#pragma once

namespace dusk::backend {

class LostDisplayReport final {
public:
    LostDisplayReport();
    ~LostDisplayReport();
    LostDisplayReport(const LostDisplayReport&) = delete;
    LostDisplayReport& operator=(const LostDisplayReport&) = delete;
    LostDisplayReport(LostDisplayReport&&) = delete;
    LostDisplayReport& operator=(LostDisplayReport&&) = delete;
};

}  // namespace dusk::backend
