#pragma once
// Runs an action when a scope is left, however it is left.
#include <utility>

namespace zelo {

template <typename Action> class ScopeExit {
public:
    explicit ScopeExit(Action action) : Action_(std::move(action)) {}
    ~ScopeExit() { Action_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Action Action_;
};

} // namespace zelo
