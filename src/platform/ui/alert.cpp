#include "platform/ui/alert.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace tolva {
namespace {

std::atomic<AlertPresenter*> gPresenter{nullptr};

void printLine(std::string_view line) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
    std::fflush(stderr);
}

}  // namespace

void AlertPresenter::showCriticalAlertWithAdvice(std::string_view title, std::string_view message,
                                                 std::string_view advice,
                                                 std::string_view defaultButton) {
    showCriticalAlert(title, std::string(message) + "\n" + std::string(advice), defaultButton);
}

void AlertPresenter::showNotice(std::string_view title, std::string_view message) {
    printLine(title);
    printLine(message);
}

void setAlertPresenter(AlertPresenter* presenter) {
    gPresenter.store(presenter, std::memory_order_release);
}

void runCriticalAlert(std::string_view title, std::string_view message,
                      std::string_view defaultButton, std::string_view advice) {
    if (AlertPresenter* presenter = gPresenter.load(std::memory_order_acquire)) {
        if (advice.empty()) {
            presenter->showCriticalAlert(title, message, defaultButton);
        } else {
            presenter->showCriticalAlertWithAdvice(title, message, advice, defaultButton);
        }
        return;
    }
    printLine(title);
    printLine(message);
    if (!advice.empty()) {
        printLine(advice);
    }
}

void runNotice(std::string_view title, std::string_view message) {
    if (AlertPresenter* presenter = gPresenter.load(std::memory_order_acquire)) {
        presenter->showNotice(title, message);
        return;
    }
    printLine(title);
    printLine(message);
}

}  // namespace tolva
