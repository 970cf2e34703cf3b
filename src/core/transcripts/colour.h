#pragma once

namespace wren {

/// An opaque sRGB colour with components in 0…1. The GUI turns it into its own colour type.
struct Rgb {
    double red = 0;
    double green = 0;
    double blue = 0;

    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

namespace Palette {
inline constexpr Rgb teal{0.18, 0.70, 0.66};
inline constexpr Rgb cream{0.98, 0.97, 0.94};
}  // namespace Palette

}  // namespace wren
