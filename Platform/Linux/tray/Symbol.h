// Dusk's sun and moon, drawn for it and shipped inside it as symbolic SVGs;
// their theme names let a tray host pick the installed copies by name.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QString>
#include <optional>

#include "platform/StatusItem.h"

namespace dusk::backend {

struct SymbolImage {
    QString resource;
    QString iconName;

    explicit SymbolImage(platform::Symbol symbol);
    // The symbol in one colour: the given one, else the palette's text.
    QImage render(QSize size, std::optional<QColor> colour = std::nullopt) const;
    QIcon icon(std::optional<QColor> colour = std::nullopt) const;
};

}  // namespace dusk::backend
