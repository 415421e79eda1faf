#include "cli/Cli.h"
#include "os/Ports.h"

#include <iostream>

namespace zelo::cli {

void AddPorts(CLI::App& app, Runner& run) {
    auto* command = app.add_subcommand("ports", "List the serial devices found on this system");
    command->callback([&run] {
        run = [] {
            auto ports = os::ListSerialPorts();
            for (const auto& port : ports) {
                std::cout << port.Path;
                if (!port.Description.empty())
                    std::cout << '\t' << port.Description;
                std::cout << '\n';
            }
            if (ports.empty())
                std::cerr << "No serial devices found; COM1 to COM255 name /dev/ttyS0 to /dev/ttyS254.\n";
            return int{ExitOk};
        };
    });
}

} // namespace zelo::cli
