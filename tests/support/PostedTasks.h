// A main thread for tests without an event loop: other threads post tasks, the test
// thread runs them when it chooses, in posting order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace halvern::test {

class PostedTasks {
public:
    using Task = std::function<void()>;

    void post(Task task) {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        posted_.notify_all();
    }

    // A poster for ApplyWorker and the like.
    std::function<void(Task)> poster() {
        return [this](Task task) { post(std::move(task)); };
    }

    // Runs what has been posted so far; returns how many ran.
    std::size_t runPending() {
        std::deque<Task> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(tasks_);
        }
        for (Task& t : batch) t();
        return batch.size();
    }

    // Runs tasks as they arrive until `done()` holds after one, or `timeout` (real time)
    // has passed. Returns whether `done()` held.
    template <typename Done>
    bool runUntil(Done&& done, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            runPending();
            if (done()) return true;
            std::unique_lock lock(mutex_);
            if (!posted_.wait_until(lock, deadline, [&] { return !tasks_.empty(); })) return done();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Task> tasks_;
};

}  // namespace halvern::test
