#pragma once

#include <QSizeF>
#include <functional>
#include <optional>
#include <string>

namespace wren {

/// What every view inside the island knows of where it is drawn. The defaults hold for a view
/// shown outside an island.
struct IslandLayout {
    QSizeF notchSize{190, 32};
    bool hasPhysicalNotch = false;
    double contentWidth = 420;

    /// Height of the band level with the notch: a real notch's height, else 30.
    double bandHeight() const { return hasPhysicalNotch ? notchSize.height() : 30; }
    /// Width of each side column around the notch for a view inset by `inset`.
    double sideColumn(double inset) const;
};

/// The selected session and the way to change it. The defaults select nothing and ignore taps.
struct IslandSelection {
    std::optional<std::string> id;
    std::function<void(const std::string&)> toggle = [](const std::string&) {};
};

inline double IslandLayout::sideColumn(double inset) const {
    const double column = (contentWidth - notchSize.width()) / 2 - inset;
    return column > 0 ? column : 0;
}

}  // namespace wren
