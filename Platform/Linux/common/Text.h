// Dusk's texts are UTF-8 strings; Qt's are QStrings.
#pragma once

#include <QString>
#include <string_view>

namespace dusk::backend {

inline QString qt(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace dusk::backend
