#include "platform/audio/jack/bounded_call.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace tolva {

bool runBounded(std::function<void()> call, std::chrono::milliseconds limit) {
    struct Done {
        std::mutex mutex;
        std::condition_variable signal;
        bool finished = false;
    };
    auto done = std::make_shared<Done>();
    std::thread worker([done, work = std::move(call)] {
        work();
        std::lock_guard lock(done->mutex);
        done->finished = true;
        done->signal.notify_all();
    });
    bool finished;
    {
        std::unique_lock lock(done->mutex);
        finished = done->signal.wait_for(lock, limit, [&] { return done->finished; });
    }
    if (finished) {
        worker.join();
    } else {
        worker.detach();
    }
    return finished;
}

}  // namespace tolva
