// Which Qt platform Dusk draws through, chosen before Qt starts.
#pragma once

namespace dusk::backend {

// Picks the Qt platform for this session and sets it for Qt to use. Where no
// display can be reached at all, says so in one line and exits with status 1.
void chooseQtPlatform();

}  // namespace dusk::backend
