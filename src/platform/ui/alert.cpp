#include "platform/ui/alert.h"

#include <atomic>
#include <cstdio>

namespace tolva {
namespace {
std::atomic<AlertPresenter*> gPresenter{nullptr};
}

void setAlertPresenter(AlertPresenter* presenter) {
    gPresenter.store(presenter, std::memory_order_release);
}

void runCriticalAlert(std::string_view title, std::string_view message,
                      std::string_view defaultButton) {
    if (AlertPresenter* presenter = gPresenter.load(std::memory_order_acquire)) {
        presenter->showCriticalAlert(title, message, defaultButton);
        return;
    }
    std::fprintf(stderr, "%.*s\n%.*s\n", static_cast<int>(title.size()), title.data(),
                 static_cast<int>(message.size()), message.data());
    std::fflush(stderr);
}

}  // namespace tolva
