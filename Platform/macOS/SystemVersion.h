// The version of macOS this process runs on. Declared in plain C++, so that
// what Dusk makes of it is tested off a Mac against a stand-in;
// SystemVersion.mm asks Foundation.
#pragma once

#include <cstdint>

namespace platform::mac {

// NSOperatingSystemVersion's three numbers: 15.1.1 is {15, 1, 1}.
struct SystemVersion {
    std::int64_t major = 0;
    std::int64_t minor = 0;
    std::int64_t patch = 0;
};

SystemVersion systemVersion();

}  // namespace platform::mac
