// Work the virtual mouse does later (a late acknowledgement), on the clock the tests
// or the program run on. On virtual time nothing runs until someone calls runDue()
// (SettlingClock does, after each step of time); on real time a thread of the
// scheduler's own runs each task when it is due.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "protocol/Clock.h"

namespace halvern::emu {

class Scheduler {
public:
    explicit Scheduler(Clock& clock) : clock_(clock) {}
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    // Runs tasks on a thread of the scheduler's own as their time comes.
    void startRealTime();

    void after(std::chrono::milliseconds delay, std::function<void()> task);
    // Runs every task due by now, in due order, outside the scheduler's lock.
    void runDue();
    bool idle() const;

private:
    Clock& clock_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::multimap<std::chrono::milliseconds, std::function<void()>> tasks_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace halvern::emu
