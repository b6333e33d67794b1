#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "platform/realtime.h"
#include "platform/ui/control_model.h"
#include "platform/ui/title_color.h"

namespace tolva {

// A push button, or an on/off button whose state flips on every click.
class ButtonModel : public ControlModel<ButtonModel> {
  public:
    enum class Kind { Push, OnOff };

    ButtonModel(Kind kind, std::string title) : kind_(kind), title_{std::move(title), {}} {}

    Kind kind() const { return kind_; }
    // [any] 1 = on, 0 = off; always 0 for a push button.
    int state() const { return state_.load(std::memory_order_acquire); }
    // [UI] Sets the state without sending the action.
    void setState(int state) {
        state_.store(state != 0 ? 1 : 0, std::memory_order_release);
        markChanged();
    }
    // [UI] The plain title: any colour is dropped.
    std::string title() const {
        std::lock_guard lock(titleMutex_);
        return title_.text;
    }
    void setTitle(std::string title) {
        {
            std::lock_guard lock(titleMutex_);
            title_ = {std::move(title), {}};
        }
        markChanged();
    }
    // [UI]
    AttributedTitle attributedTitle() const {
        std::lock_guard lock(titleMutex_);
        return title_;
    }
    void setAttributedTitle(AttributedTitle title) {
        {
            std::lock_guard lock(titleMutex_);
            title_ = std::move(title);
        }
        markChanged();
    }
    // [UI] The user clicks: an on/off button flips its state, then the action is sent.
    void userClick() {
        if (kind_ == Kind::OnOff) {
            setState(state() == 0 ? 1 : 0);
        }
        sendAction();
    }

  private:
    const Kind kind_;
    LockFreeAtomic<int> state_{0};
    mutable std::mutex titleMutex_;  // titles are UI-thread values; the lock only guards views
    AttributedTitle title_;
};

}  // namespace tolva
