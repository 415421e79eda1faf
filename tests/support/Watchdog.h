#pragma once
// A wait that never ends fails its test with a message instead of running into CTest's timeout: the
// watchdog ends the test program when its scope has not ended within the limit.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace zelo::test {

class Watchdog {
public:
    Watchdog(std::string what, std::chrono::milliseconds limit)
        : What_(std::move(what)), Thread_([this, limit] {
              std::unique_lock lock(Mutex_);
              if (Done_.wait_for(lock, limit, [this] { return Ended_; }))
                  return;
              std::fprintf(stderr, "FAILED by the watchdog: %s did not end within %lld ms\n", What_.c_str(),
                           static_cast<long long>(limit.count()));
              std::fflush(stderr);
              std::_Exit(1);
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(Mutex_);
            Ended_ = true;
        }
        Done_.notify_all();
        Thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::string What_;
    std::mutex Mutex_;
    std::condition_variable Done_;
    bool Ended_ = false;
    std::thread Thread_; // last: starts once the rest is there
};

} // namespace zelo::test
