#include "SystemVersion.h"

#import <Foundation/Foundation.h>

namespace platform::mac {

SystemVersion systemVersion() {
    const NSOperatingSystemVersion version = [[NSProcessInfo processInfo] operatingSystemVersion];
    return {version.majorVersion, version.minorVersion, version.patchVersion};
}

}  // namespace platform::mac
