#pragma once

// A widget that draws one control model. The UI timer calls refresh() on
// every tick; a view redraws only when its model's revision has moved since
// the last time it drew.

#include <cstdint>
#include <limits>

namespace tolva {

class ModelView {
  public:
    virtual ~ModelView() = default;
    // [UI] Copies the model into the widget if the model changed.
    virtual void refresh() = 0;

  protected:
    // [UI] True, and remembers the revision, when `revision` has not been drawn yet.
    bool takeRevision(uint64_t revision) {
        if (revision == drawn_) {
            return false;
        }
        drawn_ = revision;
        return true;
    }

  private:
    uint64_t drawn_ = std::numeric_limits<uint64_t>::max();
};

}  // namespace tolva
