#pragma once
// A command list as a file holds it and as the gateway will judge it, for every program that reads, checks
// or writes one (zeloctl check and download, the window's open, save and pre-download check).
#include <string>
#include <string_view>
#include <vector>

namespace zelo {

// A line the gateway will refuse: its number (from 1) and why.
struct RefusedLine {
    int Number = 0;
    std::string Reason;
    bool operator==(const RefusedLine&) const = default;
};

// Every line of the list that the gateway will refuse, blank lines included, in list order.
std::vector<RefusedLine> CheckCommandList(const std::vector<std::string>& lines);

// The lines of a command-list file: UTF-8 (a byte-order mark dropped; UTF-16 by its mark), else Latin-1;
// lines end at CR LF, LF or CR, and a line end at the very end adds no line. A zero byte stays in its line,
// for the caller to refuse: it must never cut the list short.
std::vector<std::string> CommandListFromFile(std::string_view bytes);

// The bytes of a command-list file: the lines in UTF-8, each ended by a line feed.
std::string CommandListFileText(const std::vector<std::string>& lines);

} // namespace zelo
