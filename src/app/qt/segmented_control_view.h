#pragma once

#include <QButtonGroup>
#include <QStringList>
#include <QWidget>

#include "app/qt/model_view.h"
#include "platform/ui/segmented_control_model.h"

namespace tolva {

// A row of exclusive buttons over a SegmentedControlModel; button i is
// segment i. A click selects the segment and sends the action once. Tab
// lands on the selected segment and the arrow keys choose another.
class SegmentedControlView : public QWidget, public ModelView {
  public:
    SegmentedControlView(SegmentedControlModel& model, const QStringList& labels,
                         QWidget* parent = nullptr);

    SegmentedControlModel& model() const { return model_; }
    QAbstractButton* segment(int index) const { return group_.button(index); }
    // [UI]
    void refresh() override;

  private:
    SegmentedControlModel& model_;
    QButtonGroup group_;
};

}  // namespace tolva
