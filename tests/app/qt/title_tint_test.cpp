// Coloured titles stay readable and tell apart in light and dark palettes.

#include "app/qt/title_tint.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>
#include <cmath>

#include "app/qt/button_view.h"
#include "midi/source_button_colors.h"

namespace tolva {
namespace {

RgbaColor fromQColor(const QColor& c) {
    return {c.redF(), c.greenF(), c.blueF(), 1.0};
}

double distance(RgbaColor a, RgbaColor b) {
    return std::sqrt((a.red - b.red) * (a.red - b.red) + (a.green - b.green) * (a.green - b.green) +
                     (a.blue - b.blue) * (a.blue - b.blue));
}

// Button faces of a typical light and dark desktop palette.
constexpr RgbaColor kLightButton{0.94, 0.94, 0.94, 1.0};
constexpr RgbaColor kDarkButton{0.21, 0.21, 0.21, 1.0};

struct Named {
    const char* name;
    RgbaColor color;
};
const Named kTitleColors[] = {
    {"red", RgbaColor::systemRed()}, {"live", MidiLiveColor}, {"armed", MidiArmedColor}};

TEST(TitleTintTest, LuminanceAndContrastFollowTheUsualScale) {
    EXPECT_NEAR(relativeLuminance({0, 0, 0, 1}), 0.0, 1e-12);
    EXPECT_NEAR(relativeLuminance({1, 1, 1, 1}), 1.0, 1e-12);
    EXPECT_NEAR(contrastRatio({0, 0, 0, 1}, {1, 1, 1, 1}), 21.0, 1e-9);
    EXPECT_NEAR(contrastRatio({0.5, 0.5, 0.5, 1}, {0.5, 0.5, 0.5, 1}), 1.0, 1e-12);
}

TEST(TitleTintTest, TitleTextOnEveryTintReadsAtLeastThreeToOne) {
    for (const Named& c : kTitleColors) {
        const TitleTint tint = titleTint(c.color);
        EXPECT_GE(contrastRatio(tint.background, tint.text), 4.5) << c.name;
    }
}

TEST(TitleTintTest, EveryTintStandsOutFromPlainButtonsInLightAndDarkPalettes) {
    for (const Named& c : kTitleColors) {
        const RgbaColor bg = titleTint(c.color).background;
        EXPECT_GE(distance(bg, kLightButton), 0.3) << c.name;
        EXPECT_GE(distance(bg, kDarkButton), 0.3) << c.name;
    }
}

TEST(TitleTintTest, LiveAndArmedDifferInBrightnessNotOnlyHue) {
    EXPECT_GE(
        contrastRatio(titleTint(MidiLiveColor).background, titleTint(MidiArmedColor).background),
        1.5);
    EXPECT_GE(distance(titleTint(RgbaColor::systemRed()).background,
                       titleTint(MidiArmedColor).background),
              0.3);
}

TEST(TitleTintTest, TintedButtonsReadTheSameUnderADarkApplicationPalette) {
    const QPalette original = QApplication::palette();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::WindowText, Qt::white);
    for (const QPalette& palette : {original, dark}) {
        QApplication::setPalette(palette);
        for (const Named& c : kTitleColors) {
            ButtonModel model{ButtonModel::Kind::OnOff, "MIDI"};
            ButtonView view{model};
            const RgbaColor plain = fromQColor(view.palette().color(QPalette::Button));
            model.setAttributedTitle(model.attributedTitle().withForeground(c.color));
            view.refresh();
            const RgbaColor face = fromQColor(view.palette().color(QPalette::Button));
            const RgbaColor text = fromQColor(view.palette().color(QPalette::ButtonText));
            EXPECT_GE(contrastRatio(face, text), 3.0) << c.name;
            EXPECT_GE(distance(face, plain), 0.3) << c.name;
            EXPECT_EQ(view.text(), "MIDI");
        }
    }
    QApplication::setPalette(original);
}

}  // namespace
}  // namespace tolva
