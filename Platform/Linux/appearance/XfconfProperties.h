// Xfce's settings, kept by xfconf's service (xfconfd) and spoken to over the
// session bus, which starts the service when it is not running: properties
// read and set without waiting, and changes made by any program followed.
#pragma once

#include <functional>
#include <string>

#include "appearance/ThemeSetting.h"

namespace dusk::backend::xfconf {

struct Property {
    const char* channel;
    const char* name;
    // What the program that reads the property uses while it is unset.
    const char* unsetMeans;

    // "/Net/ThemeName in xfconf's channel xsettings"
    std::string describe() const;
};

// The value, or why it could not be read; on the main thread, later.
using Read = ThemeSetting::Read;
void read(const Property& property, Read answered);

// `landed` is called on the main thread when xfconf has answered.
void write(const Property& property, const std::string& value, SideTracker::Landed landed);

// Each change of the property's value, from any program, on the main thread.
void follow(const Property& property, std::function<void(const std::string& value)> changed);

}  // namespace dusk::backend::xfconf
