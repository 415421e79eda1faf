#pragma once
// The command line of zelo-gateway-sim.
#include "model/Error.h"
#include "sim/GatewaySim.h"

#include <string>
#include <vector>

namespace zelo::sim {

struct SimArguments {
    bool Help = false;
    bool Version = false;
    bool Pty = false;
    std::string LinkPath; // with Pty only
    int TcpPort = -1;     // -1: no TCP
    SimOptions Options;
};

// A command line that cannot be used; its message says why.
class UsageError : public Exception {
public:
    using Exception::Exception;
};

// The arguments without the program name. Raises UsageError.
SimArguments ParseSimArguments(const std::vector<std::string>& args);

// The text of --help.
std::string SimUsage();

} // namespace zelo::sim
