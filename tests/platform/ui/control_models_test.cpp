// The panel's control models: values set from code stay quiet, each user
// gesture sends its action exactly once, and out-of-range values are refused
// or clamped.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/ui/button_model.h"
#include "platform/ui/level_indicator_model.h"
#include "platform/ui/popup_button_model.h"
#include "platform/ui/segmented_control_model.h"
#include "platform/ui/slider_model.h"
#include "platform/ui/stepper_model.h"
#include "platform/ui/text_field_model.h"

namespace tolva {
namespace {

TEST(ControlModels, SettingFromCodeSendsNoAction) {
    int actions = 0;
    SliderModel slider{0.0, 1.0, 0.5};
    ButtonModel button{ButtonModel::Kind::OnOff, "Bypass"};
    SegmentedControlModel segments{4, 1};
    PopUpButtonModel popup{{{"All", false}, {"", true}, {"Channel 1", false}}};
    StepperModel stepper{435.0, 445.0, 0.5, 440.0};
    slider.setAction([&](SliderModel&) { ++actions; });
    button.setAction([&](ButtonModel&) { ++actions; });
    segments.setAction([&](SegmentedControlModel&) { ++actions; });
    popup.setAction([&](PopUpButtonModel&) { ++actions; });
    stepper.setAction([&](StepperModel&) { ++actions; });

    slider.setDoubleValue(0.25);
    button.setState(1);
    button.setTitle("Unbypass");
    segments.setSelectedSegment(3);
    EXPECT_TRUE(popup.selectItem(2));
    stepper.setDoubleValue(441.0);
    EXPECT_EQ(0, actions);
    EXPECT_EQ(0.25, slider.doubleValue());
    EXPECT_EQ(1, button.state());
    EXPECT_EQ(3, segments.selectedSegment());
    EXPECT_EQ(2, popup.indexOfSelectedItem());
    EXPECT_EQ(441.0, stepper.doubleValue());
}

TEST(ControlModels, EachUserGestureSendsOneActionAfterTheValueIsSet) {
    SliderModel slider{0.0, 1.0, 0.5};
    double seen = -1.0;
    int actions = 0;
    slider.setAction([&](SliderModel& s) {
        ++actions;
        seen = s.doubleValue();
    });
    slider.userMove(0.75);
    EXPECT_EQ(1, actions);
    EXPECT_EQ(0.75, seen);

    ButtonModel onOff{ButtonModel::Kind::OnOff, "Mute"};
    int states[2] = {-1, -1};
    int clicks = 0;
    onOff.setAction([&](ButtonModel& b) { states[clicks++] = b.state(); });
    onOff.userClick();
    onOff.userClick();
    EXPECT_EQ(2, clicks);
    EXPECT_EQ(1, states[0]);
    EXPECT_EQ(0, states[1]);

    ButtonModel push{ButtonModel::Kind::Push, "Play"};
    int pushes = 0;
    push.setAction([&](ButtonModel& b) {
        ++pushes;
        EXPECT_EQ(0, b.state());
    });
    push.userClick();
    EXPECT_EQ(1, pushes);

    StepperModel stepper{435.0, 445.0, 0.5, 440.0};
    int steps = 0;
    stepper.setAction([&](StepperModel&) { ++steps; });
    stepper.userStep(+1);
    stepper.userStep(-1);
    stepper.userStep(-1);
    EXPECT_EQ(3, steps);
    EXPECT_EQ(439.5, stepper.doubleValue());
}

TEST(ControlModels, SliderClampsAndIgnoresNaN) {
    SliderModel slider{55.0, 1760.0, 440.0};
    slider.setDoubleValue(5000.0);
    EXPECT_EQ(1760.0, slider.doubleValue());
    slider.setDoubleValue(-3.0);
    EXPECT_EQ(55.0, slider.doubleValue());
    slider.setDoubleValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(55.0, slider.doubleValue());
    slider.setDoubleValue(std::numeric_limits<double>::infinity());
    EXPECT_EQ(1760.0, slider.doubleValue());
    slider.setRange(100.0, 200.0);
    EXPECT_EQ(200.0, slider.doubleValue());
    EXPECT_EQ(0.0, SliderModel(0.0, 1.0, -4.0).doubleValue());
}

TEST(ControlModels, SegmentedControlRefusesSegmentsItDoesNotHave) {
    SegmentedControlModel segments{5, 2};
    int actions = 0;
    segments.setAction([&](SegmentedControlModel&) { ++actions; });
    segments.setSelectedSegment(5);
    segments.setSelectedSegment(-2);
    segments.userSelect(7);
    segments.userSelect(-1);
    EXPECT_EQ(2, segments.selectedSegment());
    EXPECT_EQ(0, actions);
    segments.setSelectedSegment(-1);  // no selection is allowed from code
    EXPECT_EQ(-1, segments.selectedSegment());
}

TEST(ControlModels, PopUpSeparatorCannotBeChosen) {
    PopUpButtonModel popup{{{"All channels", false}, {"", true}, {"Channel 1", false}}};
    int actions = 0;
    popup.setAction([&](PopUpButtonModel&) { ++actions; });
    EXPECT_FALSE(popup.userSelect(1));
    EXPECT_FALSE(popup.selectItem(1));
    EXPECT_FALSE(popup.userSelect(3));
    EXPECT_FALSE(popup.userSelect(-1));
    EXPECT_EQ(0, popup.indexOfSelectedItem());
    EXPECT_EQ(0, actions);
    EXPECT_TRUE(popup.userSelect(2));
    EXPECT_EQ(1, actions);
}

TEST(ControlModels, StepperStaysInItsRange) {
    StepperModel stepper{435.0, 445.0, 0.5, 445.0};
    stepper.userStep(+1);
    EXPECT_EQ(445.0, stepper.doubleValue());
    stepper.userSetValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(445.0, stepper.doubleValue());
    stepper.userSetValue(100.0);
    EXPECT_EQ(435.0, stepper.doubleValue());
}

TEST(ControlModels, EveryChangeMovesTheRevisionForTheViews) {
    LevelIndicatorModel level{6.0f};
    TextFieldModel text;
    const uint64_t levelBefore = level.revision();
    const uint64_t textBefore = text.revision();
    level.setFloatValue(3.0f);
    text.setStringValue("440.0 Hz");
    EXPECT_GT(level.revision(), levelBefore);
    EXPECT_GT(text.revision(), textBefore);
    EXPECT_EQ(3.0f, level.floatValue());
    EXPECT_EQ("440.0 Hz", text.stringValue());
}

}  // namespace
}  // namespace tolva
