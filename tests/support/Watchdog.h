#pragma once
// A wait that never ends fails its test with a message instead of running into CTest's timeout: the
// watchdog ends the test program when the test has not left its scope within the limit.
#include <gtest/gtest.h>

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
    explicit Watchdog(int seconds)
        : Thread_([this, seconds,
                   name = std::string(testing::UnitTest::GetInstance()->current_test_info()->name())] {
              std::unique_lock lock(Mutex_);
              if (!Done_.wait_for(lock, std::chrono::seconds(seconds), [this] { return Ended_; })) {
                  std::fprintf(stderr, "FAILED by the watchdog: %s did not end within %d s\n", name.c_str(),
                               seconds);
                  std::_Exit(1);
              }
          }) {}
    ~Watchdog() {
        {
            const std::lock_guard lock(Mutex_);
            Ended_ = true;
        }
        Done_.notify_all();
        Thread_.join();
    }

private:
    std::mutex Mutex_;
    std::condition_variable Done_;
    bool Ended_ = false;
    std::thread Thread_; // last: starts once the rest is there
};

} // namespace zelo::test
