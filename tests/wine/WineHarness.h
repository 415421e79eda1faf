#pragma once
// What the native end-to-end tests of the Windows programs share: the settings the cross build's CTest passes
// in, and the gateway simulator behind the COM port that Wine maps to a pseudo-terminal.
#include "sim/GatewaySim.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace zelo::test {

inline std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// A simulator on a fresh pseudo-terminal; link (where the prefix maps the COM port) leads to it.
inline std::unique_ptr<sim::GatewaySim> SimulatorBehind(const std::string& link,
                                                        sim::SimOptions options = {}) {
    auto gateway = std::make_unique<sim::GatewaySim>(options);
    std::filesystem::remove(link);
    gateway->OpenPty(link);
    gateway->Start();
    return gateway;
}

} // namespace zelo::test
