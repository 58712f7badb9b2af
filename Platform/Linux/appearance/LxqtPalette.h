// The palette LXQt's appearance settings give Qt programs: the [Palette]
// section of lxqt.conf, which LXQt's Qt platform theme reads and follows
// while programs run. Switched to LXQt's own Dark palette, and back to
// exactly the user's section, or to none where there was none.
#pragma once

#include <QString>

#include "appearance/ThemeSetting.h"

namespace dusk::backend::lxqt {

// `file` is the user's lxqt.conf. The setting's value is the section as one
// line, "base_color=#282828;highlight_color=…", empty where there is none.
ThemeSetting paletteSetting(const QString& file);

}  // namespace dusk::backend::lxqt
