#pragma once

// Coloured button titles: a text and an optional foreground colour over its
// whole length.

#include <optional>
#include <string>

namespace tolva {

struct RgbaColor {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;

    // The standard red of coloured titles.
    static constexpr RgbaColor systemRed() { return {1.0, 0.231, 0.188, 1.0}; }
    friend bool operator==(const RgbaColor&, const RgbaColor&) = default;
};

struct AttributedTitle {
    std::string text;
    std::optional<RgbaColor> foreground;

    // A copy of this title with `color` over its whole length.
    AttributedTitle withForeground(RgbaColor color) const { return {text, color}; }
    friend bool operator==(const AttributedTitle&, const AttributedTitle&) = default;
};

}  // namespace tolva
