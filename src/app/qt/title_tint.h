#pragma once

// How a coloured button title is drawn: the button is tinted with the title's
// colour and its text is black or white, whichever reads better on the tint.
// Tinting the whole button keeps the three looks of the source button (plain,
// live, armed) and the red Bypass and Mute apart in light and dark palettes.

#include "platform/ui/title_color.h"

namespace tolva {

struct TitleTint {
    RgbaColor background;
    RgbaColor text;
};

// Relative luminance of an opaque sRGB colour, 0 (black) to 1 (white).
double relativeLuminance(RgbaColor color);
// Contrast ratio of two opaque colours, 1 to 21.
double contrastRatio(RgbaColor a, RgbaColor b);
// The tint for a title coloured `foreground`.
TitleTint titleTint(RgbaColor foreground);

}  // namespace tolva
