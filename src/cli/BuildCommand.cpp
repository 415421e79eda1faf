#include "cli/Cli.h"
#include "commands/CommandLine.h"
#include "model/Address.h"
#include "model/DatapointTypes.h"
#include "model/Error.h"
#include "model/Text.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <memory>
#include <string_view>
#include <vector>

namespace zelo::cli {

namespace {

std::string Upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
    return out;
}

[[noreturn]] void BadRange(const std::string& range) {
    throw ExitRequest{ExitBadInput, "Invalid range \"" + ShortenForMessage(range) +
                                        "\"!\nFormat has to be START[-END]=TYPE[;ACCESS]."};
}

// One address read by scanf rules from the start of text; returns the characters it took.
std::size_t GroupAddress(std::string_view text, std::uint16_t& address) {
    std::size_t used = 0;
    auto scanned = ScanGroupAddress(text, used);
    if (!scanned)
        throw ExitRequest{ExitBadInput, InvalidGroupAddressMessage};
    address = *scanned;
    return used;
}

// START[-END]=TYPE[;ACCESS]; TYPE a keyword or 0..16, ACCESS R, W or RW.
TEibGroup ParseRange(const std::string& range) {
    auto equals = range.find('=');
    if (equals == std::string::npos)
        BadRange(range);
    std::string_view addresses = std::string_view(range).substr(0, equals);
    std::string_view rest = std::string_view(range).substr(equals + 1);

    TEibGroup group;
    // The addresses must be read to their last character: an end that is not where it belongs (a blank before
    // the '-', a letter behind the start) would otherwise be dropped without a word.
    std::size_t pos = GroupAddress(addresses, group.StartAddress);
    group.EndAddress = group.StartAddress;
    if (pos < addresses.size()) {
        if (addresses[pos] != '-')
            BadRange(range);
        ++pos;
        pos += GroupAddress(addresses.substr(pos), group.EndAddress);
        if (pos != addresses.size())
            BadRange(range);
    }

    auto semicolon = rest.find(';');
    std::string type = Upper(rest.substr(0, semicolon));
    std::string access = semicolon == std::string_view::npos ? "RW" : Upper(rest.substr(semicolon + 1));
    int index = DatapointTypeFromKeyword(type);
    if (index < 0 && !type.empty() && type.size() <= 2 && std::all_of(type.begin(), type.end(), ::isdigit)) {
        index = std::stoi(type);
        if (index >= DatapointTypeCount)
            index = -1;
    }
    if (index < 0)
        throw ExitRequest{ExitBadInput, "Invalid datapoint type \"" +
                                            ShortenForMessage(rest.substr(0, semicolon)) +
                                            "\"!\nUse a keyword (BIT, VALUE, ...) or an index 0...16."};
    group.DatapointType = static_cast<std::int8_t>(index);
    const int accessType = AccessTypeFromText(access);
    if (accessType < 0)
        throw ExitRequest{ExitBadInput, "Invalid access type \"" +
                                            ShortenForMessage(rest.substr(semicolon + 1)) +
                                            "\"!\nUse R, W or RW."};
    group.AccessType = static_cast<std::uint8_t>(accessType);
    return group;
}

} // namespace

void AddBuild(CLI::App& app, Runner& run) {
    auto* command = app.add_subcommand("build", "Print the command list for a setup and group ranges");
    auto setup = std::make_shared<SetupOptions>();
    auto ranges = std::make_shared<std::vector<std::string>>();
    setup->AddTo(*command);
    command->add_option("RANGE", *ranges, "START[-END]=TYPE[;ACCESS], e.g. 1/0/0-1/0/10=VALUE;R");
    command->footer(
        "TYPE is a keyword (EMPTY BIT CHAR UBYTE UWORD UDWORD BYTE WORD DWORD TIME DATE VALUE PERCENT\n"
        "ANGLE FLOAT STRING GENERIC) or its index 0...16; ACCESS is R, W or RW (default RW).");
    command->callback([&run, setup, ranges] {
        run = [setup, ranges] {
            // Everything is checked before anything is printed: a bad range leaves stdout empty.
            std::vector<std::string> lines{setup->SetupLine()};
            for (const auto& range : *ranges)
                lines.push_back(BuildGroupLine(ParseRange(range)));
            for (const auto& line : lines)
                std::cout << line << '\n';
            return int{ExitOk};
        };
    });
}

} // namespace zelo::cli
