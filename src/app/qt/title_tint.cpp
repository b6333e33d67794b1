#include "app/qt/title_tint.h"

#include <algorithm>
#include <cmath>

namespace tolva {
namespace {

double linear(double channel) {
    const double c = std::clamp(channel, 0.0, 1.0);
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

constexpr RgbaColor kBlack{0.0, 0.0, 0.0, 1.0};
constexpr RgbaColor kWhite{1.0, 1.0, 1.0, 1.0};

}  // namespace

double relativeLuminance(RgbaColor color) {
    return 0.2126 * linear(color.red) + 0.7152 * linear(color.green) + 0.0722 * linear(color.blue);
}

double contrastRatio(RgbaColor a, RgbaColor b) {
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TitleTint titleTint(RgbaColor foreground) {
    RgbaColor background = foreground;
    background.alpha = 1.0;
    const RgbaColor text =
        contrastRatio(background, kBlack) >= contrastRatio(background, kWhite) ? kBlack : kWhite;
    return {background, text};
}

}  // namespace tolva
