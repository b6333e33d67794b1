#pragma once

#include <QWidget>

#include "app/qt/model_view.h"
#include "platform/ui/level_indicator_model.h"

namespace tolva {

// The discrete level meter: one cell per step, green at the bottom of the
// scale to red at the top; level k lights the first k cells. Screen readers
// read the cells lit as the meter's value.
class LevelMeterView : public QWidget, public ModelView {
  public:
    explicit LevelMeterView(LevelIndicatorModel& model, QWidget* parent = nullptr);

    // [UI]
    void refresh() override;
    // The whole steps lit now, 0 to the model's maximum.
    int litCells() const { return lit_; }
    int cellCount() const { return cells_; }
    // The colour of cell i (0-based) when lit.
    QColor cellColor(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    LevelIndicatorModel& model_;
    int cells_;
    int lit_ = 0;
};

}  // namespace tolva
