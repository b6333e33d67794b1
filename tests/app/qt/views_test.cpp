// Each view against its model: a user gesture moves the model and sends the
// action once; a value set from code sends nothing and is drawn on the next
// timer tick, from whichever thread it was set.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <cmath>
#include <thread>

#include "app/qt/button_view.h"
#include "app/qt/level_meter_view.h"
#include "app/qt/panel_refresh_timer.h"
#include "app/qt/popup_button_view.h"
#include "app/qt/segmented_control_view.h"
#include "app/qt/slider_view.h"
#include "app/qt/stepper_view.h"
#include "app/qt/text_field_view.h"
#include "app/qt/title_tint.h"

namespace tolva {
namespace {

// Sets a model from another thread, as the render thread does.
template <typename F>
void fromAnotherThread(F f) {
    std::thread t(f);
    t.join();
}

class SliderViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        model.setAction([this](SliderModel&) { ++actions; });
        view.resize(300, 30);
        view.show();
    }
    SliderModel model{0.0, 1.0, 0.5};
    SliderView view{model, Qt::Horizontal};
    int actions = 0;
};

TEST_F(SliderViewTest, StartsAtTheModelsValue) {
    EXPECT_EQ(view.value(), SliderView::kSteps / 2);
}

TEST_F(SliderViewTest, AKeyStepMovesTheModelAndSendsOnce) {
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_EQ(actions, 1);
    EXPECT_NEAR(model.doubleValue(), 0.505, 1e-12);
    EXPECT_EQ(view.value(), view.positionOf(model.doubleValue()));
}

TEST_F(SliderViewTest, AClickOnTheGrooveSendsOnce) {
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(view.width() - 3, view.height() / 2));
    EXPECT_EQ(actions, 1);
    EXPECT_GT(model.doubleValue(), 0.5);
}

TEST_F(SliderViewTest, EachDragStepSendsOnce) {
    view.setSliderDown(true);
    view.setSliderPosition(SliderView::kSteps / 4);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(model.doubleValue(), 0.25);
    view.setSliderPosition(SliderView::kSteps / 10);
    view.setSliderDown(false);
    EXPECT_EQ(actions, 2);
    EXPECT_NEAR(model.doubleValue(), 0.1, 1e-12);
}

TEST_F(SliderViewTest, AWheelTurnSendsOnce) {
    QWheelEvent wheel(QPointF(150, 15), view.mapToGlobal(QPointF(150, 15)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &wheel);
    EXPECT_EQ(actions, 1);
    EXPECT_NE(model.doubleValue(), 0.5);
}

TEST_F(SliderViewTest, CodeSettingTheModelSendsNothingAndIsDrawnOnRefresh) {
    QSignalSpy moved(&view, &QAbstractSlider::sliderMoved);
    model.setDoubleValue(0.8);
    EXPECT_EQ(actions, 0);
    view.refresh();
    EXPECT_EQ(view.value(), view.positionOf(0.8));
    EXPECT_EQ(actions, 0);
    EXPECT_EQ(moved.count(), 0);
}

TEST_F(SliderViewTest, ValuesBeyondTheRangeAreClamped) {
    model.setDoubleValue(7.0);
    view.refresh();
    EXPECT_EQ(view.value(), SliderView::kSteps);
    model.setDoubleValue(-3.0);
    view.refresh();
    EXPECT_EQ(view.value(), 0);
    QTest::keyClick(&view, Qt::Key_Left);
    EXPECT_EQ(model.doubleValue(), 0.0);
}

TEST_F(SliderViewTest, TickMarksFollowTheModel) {
    model.setNumberOfTickMarks(5);
    view.refresh();
    EXPECT_EQ(view.tickPosition(), QSlider::TicksBelow);
    EXPECT_EQ(view.tickInterval(), SliderView::kSteps / 4);
    model.setNumberOfTickMarks(0);
    view.refresh();
    EXPECT_EQ(view.tickPosition(), QSlider::NoTicks);
}

TEST(SliderViewMapping, FrequencyRangeIsResolvedToWellUnderAHundredthOfAHertz) {
    SliderModel frequency{55.0, 1760.0, 440.0};
    SliderView view{frequency, Qt::Horizontal};
    for (double hz : {55.0, 61.7, 440.0, 1234.56, 1760.0}) {
        EXPECT_NEAR(view.valueAt(view.positionOf(hz)), hz, 0.01) << hz;
    }
    EXPECT_EQ(view.valueAt(0), 55.0);
    EXPECT_EQ(view.valueAt(SliderView::kSteps), 1760.0);
}

class ButtonViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        onOff.setAction([this](ButtonModel&) { ++actions; });
        push.setAction([this](ButtonModel& b) {
            ++actions;
            b.setTitle(b.title() == "Play" ? "Stop" : "Play");
        });
    }
    ButtonModel onOff{ButtonModel::Kind::OnOff, "Bypass"};
    ButtonModel push{ButtonModel::Kind::Push, "Play"};
    ButtonView onOffView{onOff};
    ButtonView pushView{push};
    int actions = 0;
};

TEST_F(ButtonViewTest, AClickOnAnOnOffButtonFlipsItAndSendsOnce) {
    QTest::mouseClick(&onOffView, Qt::LeftButton);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(onOff.state(), 1);
    EXPECT_TRUE(onOffView.isChecked());

    QTest::mouseClick(&onOffView, Qt::LeftButton);
    EXPECT_EQ(actions, 2);
    EXPECT_EQ(onOff.state(), 0);
    EXPECT_FALSE(onOffView.isChecked());
}

TEST_F(ButtonViewTest, SpaceOnTheFocusedButtonIsAClick) {
    QTest::keyClick(&onOffView, Qt::Key_Space);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(onOff.state(), 1);
}

TEST_F(ButtonViewTest, APushButtonSendsOnceAndShowsTheTitleItsHandlerSets) {
    EXPECT_FALSE(pushView.isCheckable());
    QTest::mouseClick(&pushView, Qt::LeftButton);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(push.state(), 0);
    EXPECT_EQ(pushView.text(), "Stop");
    EXPECT_EQ(pushView.accessibleName(), "Stop");
}

TEST_F(ButtonViewTest, CodeSettingTheStateSendsNothing) {
    onOff.setState(1);
    onOffView.refresh();
    EXPECT_TRUE(onOffView.isChecked());
    EXPECT_EQ(actions, 0);
}

TEST_F(ButtonViewTest, AColouredTitleTintsTheButtonAndKeepsItsText) {
    onOff.setAttributedTitle(onOff.attributedTitle().withForeground(RgbaColor::systemRed()));
    onOffView.refresh();
    EXPECT_TRUE(onOffView.tinted());
    EXPECT_EQ(onOffView.text(), "Bypass");
    const QColor background = onOffView.palette().color(QPalette::Button);
    EXPECT_NEAR(background.redF(), 1.0, 0.01);
    EXPECT_NEAR(background.greenF(), 0.231, 0.01);

    onOff.setTitle("Bypass");
    onOffView.refresh();
    EXPECT_FALSE(onOffView.tinted());
    EXPECT_EQ(onOffView.palette().color(QPalette::Button),
              QApplication::palette(&onOffView).color(QPalette::Button));
}

TEST_F(ButtonViewTest, AFixedAccessibleNameStaysWhenTheTitleChanges) {
    ButtonModel linlog{ButtonModel::Kind::OnOff, "Lin."};
    ButtonView view{linlog, "Scale"};
    linlog.setTitle("Log.");
    view.refresh();
    EXPECT_EQ(view.text(), "Log.");
    EXPECT_EQ(view.accessibleName(), "Scale");
}

TEST(SegmentedControlViewTest, AClickSelectsTheSegmentAndSendsOnce) {
    SegmentedControlModel model{4, 1};
    int actions = 0;
    model.setAction([&](SegmentedControlModel&) { ++actions; });
    SegmentedControlView view{model, {"Self", "Sine", "Triangle", "Ramp"}};
    EXPECT_TRUE(view.segment(1)->isChecked());

    QTest::mouseClick(view.segment(3), Qt::LeftButton);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(model.selectedSegment(), 3);
    EXPECT_TRUE(view.segment(3)->isChecked());
    EXPECT_FALSE(view.segment(1)->isChecked());
}

TEST(SegmentedControlViewTest, CodeSelectionSendsNothingAndNoneUnchecksAll) {
    SegmentedControlModel model{5, 2};
    int actions = 0;
    model.setAction([&](SegmentedControlModel&) { ++actions; });
    SegmentedControlView view{model, {"a", "b", "c", "d", "e"}};

    model.setSelectedSegment(4);
    view.refresh();
    EXPECT_TRUE(view.segment(4)->isChecked());
    model.setSelectedSegment(-1);
    view.refresh();
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(view.segment(i)->isChecked()) << i;
    }
    EXPECT_EQ(actions, 0);
}

class StepperViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        model.setAction([this](StepperModel&) { ++actions; });
    }
    StepperModel model{435.0, 445.0, 0.5, 440.0};
    StepperView view{model, 1};
    int actions = 0;
};

TEST_F(StepperViewTest, AStepUpMovesByTheIncrementAndSendsOnce) {
    QTest::keyClick(&view, Qt::Key_Up);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(model.doubleValue(), 440.5);
    EXPECT_EQ(view.value(), 440.5);
    QTest::keyClick(&view, Qt::Key_Down);
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(actions, 3);
    EXPECT_EQ(model.doubleValue(), 439.5);
}

TEST_F(StepperViewTest, StepsStopAtTheEndsOfTheRange) {
    model.setDoubleValue(445.0);
    view.refresh();
    QTest::keyClick(&view, Qt::Key_Up);
    EXPECT_EQ(model.doubleValue(), 445.0);
    view.stepBy(10);
    EXPECT_EQ(model.doubleValue(), 445.0);
    view.stepBy(-100);
    EXPECT_EQ(model.doubleValue(), 435.0);
}

TEST_F(StepperViewTest, ATypedValueIsTakenOnceWhenEditingFinishes) {
    QLineEdit* edit = view.findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, "437.5");
    EXPECT_EQ(actions, 0);
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(model.doubleValue(), 437.5);
    // Losing focus afterwards changes nothing and sends nothing.
    emit view.editingFinished();
    EXPECT_EQ(actions, 1);
}

TEST_F(StepperViewTest, CodeSettingTheValueSendsNothing) {
    model.setDoubleValue(441.0);
    view.refresh();
    EXPECT_EQ(view.value(), 441.0);
    EXPECT_EQ(actions, 0);
}

class PopUpButtonViewTest : public ::testing::Test {
  protected:
    static std::vector<PopUpButtonModel::Item> items() {
        std::vector<PopUpButtonModel::Item> list{{"All channels", false}, {"", true}};
        for (int ch = 1; ch <= 16; ++ch) {
            list.push_back({"Channel " + std::to_string(ch), false});
        }
        return list;
    }
    void SetUp() override {
        model.setAction([this](PopUpButtonModel&) { ++actions; });
    }
    PopUpButtonModel model{items()};
    PopUpButtonView view{model};
    int actions = 0;
};

TEST_F(PopUpButtonViewTest, ComboIndicesAreModelIndicesAndTheSeparatorIsDisabled) {
    ASSERT_EQ(view.count(), 18);
    EXPECT_EQ(view.itemText(0), "All channels");
    EXPECT_EQ(view.itemText(2), "Channel 1");
    EXPECT_EQ(view.itemText(17), "Channel 16");
    auto* items = qobject_cast<QStandardItemModel*>(view.model());
    ASSERT_NE(items, nullptr);
    EXPECT_FALSE(items->item(1)->isEnabled());
    EXPECT_FALSE(items->item(1)->isSelectable());
}

TEST_F(PopUpButtonViewTest, KeyboardChoiceSkipsTheSeparatorAndSendsOnce) {
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(model.indexOfSelectedItem(), 2);
    EXPECT_EQ(view.currentIndex(), 2);
    QTest::keyClick(&view, Qt::Key_Up);
    EXPECT_EQ(actions, 2);
    EXPECT_EQ(model.indexOfSelectedItem(), 0);
}

TEST_F(PopUpButtonViewTest, ASeparatorActivatedAnywayIsRefused) {
    emit view.activated(1);
    EXPECT_EQ(actions, 0);
    EXPECT_EQ(model.indexOfSelectedItem(), 0);
    EXPECT_EQ(view.currentIndex(), 0);
}

TEST_F(PopUpButtonViewTest, CodeSelectionSendsNothing) {
    model.selectItem(5);
    view.refresh();
    EXPECT_EQ(view.currentIndex(), 5);
    EXPECT_EQ(actions, 0);
}

TEST(LevelMeterViewTest, ShowsWholeStepsAndClampsStrayValues) {
    LevelIndicatorModel model{6.0f};
    LevelMeterView view{model};
    EXPECT_EQ(view.cellCount(), 6);
    const std::pair<float, int> cases[] = {{0.0f, 0}, {3.0f, 3},  {6.0f, 6},
                                           {9.0f, 6}, {-1.0f, 0}, {NAN, 0}};
    for (const auto& [value, lit] : cases) {
        model.setFloatValue(value);
        view.refresh();
        EXPECT_EQ(view.litCells(), lit) << value;
    }
}

TEST(LevelMeterViewTest, CellsRunFromGreenToRed) {
    LevelIndicatorModel model{6.0f};
    LevelMeterView view{model};
    EXPECT_EQ(view.cellColor(0).hue(), 120);
    EXPECT_EQ(view.cellColor(5).hue(), 0);
    for (int i = 1; i < 6; ++i) {
        EXPECT_LT(view.cellColor(i).hue(), view.cellColor(i - 1).hue()) << i;
    }
}

class RefreshTimerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (ModelView* v : std::initializer_list<ModelView*>{&meter, &text, &slider, &segments}) {
            timer.addView(v);
        }
    }
    LevelIndicatorModel level{6.0f};
    TextFieldModel textModel;
    SliderModel depth{0.0, 1.0, 1.0};
    SegmentedControlModel mult{5, 2};
    LevelMeterView meter{level};
    TextFieldView text{textModel};
    SliderView slider{depth, Qt::Horizontal};
    SegmentedControlView segments{mult, {"a", "b", "c", "d", "e"}};
    PanelRefreshTimer timer;
};

TEST_F(RefreshTimerTest, RunsBetweenThirtyAndSixtyHertz) {
    EXPECT_GE(timer.interval(), 1000 / 60);
    EXPECT_LE(timer.interval(), 1000 / 30 + 1);
}

TEST_F(RefreshTimerTest, RenderThreadValuesReachTheirWidgetsOnTheNextTick) {
    fromAnotherThread([&] {
        level.setFloatValue(4.0f);
        textModel.setStringValue(" 7.0 Hz");
        depth.setDoubleValue(0.75);
        mult.setSelectedSegment(4);
    });
    EXPECT_EQ(meter.litCells(), 0);
    timer.tick();
    EXPECT_EQ(meter.litCells(), 4);
    EXPECT_EQ(text.text(), " 7.0 Hz");
    EXPECT_EQ(slider.value(), slider.positionOf(0.75));
    EXPECT_TRUE(segments.segment(4)->isChecked());
}

TEST_F(RefreshTimerTest, UnchangedModelsLeaveTheirWidgetsAlone) {
    timer.tick();
    slider.setValue(7);  // not through the model
    timer.tick();
    EXPECT_EQ(slider.value(), 7);
}

TEST_F(RefreshTimerTest, TheRunningTimerDeliversRenderThreadValues) {
    timer.start();
    fromAnotherThread([&] { level.setFloatValue(5.0f); });
    // A hang guard, not a timing assertion.
    EXPECT_TRUE(QTest::qWaitFor([&] { return meter.litCells() == 5; }, 5000));
    timer.stop();
}

}  // namespace
}  // namespace tolva
