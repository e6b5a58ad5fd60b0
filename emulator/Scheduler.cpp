#include "Scheduler.h"

#include <vector>

namespace halvern::emu {

Scheduler::~Scheduler() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void Scheduler::startRealTime() {
    if (thread_.joinable()) return;
    thread_ = std::thread([this] {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            if (tasks_.empty()) {
                wake_.wait(lock);
                continue;
            }
            auto wait = tasks_.begin()->first - clock_.now();
            if (wait > std::chrono::milliseconds{0}) {
                wake_.wait_for(lock, wait);
                continue;
            }
            lock.unlock();
            runDue();
            lock.lock();
        }
    });
}

void Scheduler::after(std::chrono::milliseconds delay, std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.emplace(clock_.now() + delay, std::move(task));
    }
    wake_.notify_all();
}

void Scheduler::runDue() {
    std::vector<std::function<void()>> due;
    {
        std::lock_guard lock(mutex_);
        auto now = clock_.now();
        while (!tasks_.empty() && tasks_.begin()->first <= now) {
            due.push_back(std::move(tasks_.begin()->second));
            tasks_.erase(tasks_.begin());
        }
    }
    for (auto& task : due) task();
}

bool Scheduler::idle() const {
    std::lock_guard lock(mutex_);
    return tasks_.empty();
}

}  // namespace halvern::emu
