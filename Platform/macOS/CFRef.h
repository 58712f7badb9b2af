// Ownership of a Core Foundation object that a Create or Copy call handed us.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

namespace platform::mac {

template <typename T>
class CFRef final {
public:
    // Takes over the reference; none is fine.
    explicit CFRef(T object) : object_(object) {}
    ~CFRef() {
        if (object_ != nullptr) CFRelease(object_);
    }
    CFRef(const CFRef&) = delete;
    CFRef& operator=(const CFRef&) = delete;

    T get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T object_;
};

}  // namespace platform::mac
