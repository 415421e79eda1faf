#include "cli/Cli.h"
#include "commands/CommandLine.h"
#include "device/Arguments.h"
#include "model/Address.h"
#include "model/Error.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace zelo::cli {

std::string ReadInput(const std::string& path) {
    if (path == "-") {
        std::ostringstream all;
        all << std::cin.rdbuf();
        return all.str();
    }
    const std::string fileName = os::NarrowFileName(path);
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw ExitRequest{ExitBadInput, "Can't read " + path + ": " + std::strerror(errno)};
    // In blocks: a character iterator takes a noticeable share of an import of a big export. The size is
    // reserved first, so a big file is never copied while its string grows.
    std::string bytes;
    std::error_code ec;
    const auto size = std::filesystem::file_size(fileName, ec);
    if (!ec)
        bytes.reserve(static_cast<std::size_t>(size));
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        bytes.append(block, static_cast<std::size_t>(in.gcount()));
    return bytes;
}

void SetupOptions::AddTo(CLI::App& command) {
    command.add_option("--phys", Phys, "the gateway's physical address, area.line.device")
        ->capture_default_str();
    command.add_flag("--source", Source, "the gateway prints source addresses");
    command.add_flag("--hex", Hex, "the gateway prints addresses in hexadecimal");
    command.add_flag("--duplex", Duplex, "full duplex mode");
}

std::string SetupOptions::SetupLine() const {
    try {
        // Written in its canonical form: the reader ignores trailing text that the gateway must not see.
        return BuildSetupLine(PhysicalAddressToText(TextToPhysicalAddress(Phys)), Source, Hex, Duplex);
    } catch (const Exception& e) {
        throw ExitRequest{ExitBadInput, e.Message()};
    }
}

} // namespace zelo::cli
