// The settings file's reader takes any bytes. What it keeps writes back to a text that reads the same again,
// every value it finds can be asked for as an integer, and a value that is set can be found.
#include "device/IniFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

// Digits with an optional minus, no leading zero and no "-0": the form to_string writes.
bool IsCanonicalDecimal(std::string_view v) {
    const bool negative = !v.empty() && v.front() == '-';
    if (negative)
        v.remove_prefix(1);
    if (v.empty() || v.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    return v == "0" ? !negative : v.front() != '0';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    zelo::IniFile ini = zelo::IniFile::Parse(bytes);
    const std::string text = ini.Text();
    // The written form is a fixed point: reading it gives the same sections, lines and text.
    zelo::IniFile again = zelo::IniFile::Parse(text);
    Check(again.Text() == text);
    Check(again.Sections().size() == ini.Sections().size());
    const auto& sections = ini.Sections();
    for (std::size_t s = 0; s < sections.size(); ++s) {
        const auto& section = sections[s];
        Check(section.Name.find_first_of("\r\n") == std::string::npos);
        // Look-ups see only the last section of a name.
        bool shadowed = false;
        for (std::size_t later = s + 1; later < sections.size(); ++later)
            shadowed = shadowed || SameText(sections[later].Name, section.Name);
        for (const auto& line : section.Lines) {
            Check(!line.empty());
            Check(line.find_first_of("\r\n") == std::string::npos);
            auto eq = line.find('=');
            if (shadowed)
                continue;
            if (eq == std::string::npos || line.front() == ';')
                continue;
            auto value = ini.Find(section.Name, line.substr(0, eq));
            Check(value.has_value());
            int fallback = 7;
            int number = ini.ReadInteger(section.Name, line.substr(0, eq), fallback);
            auto parsed = zelo::IniFile::ToInteger(*value);
            Check(number == (parsed ? *parsed : fallback));
            if (parsed && IsCanonicalDecimal(*value))
                Check(std::to_string(*parsed) == *value);
        }
    }
    // Setting the link's keys always finds them afterwards, with the value as given.
    ini.WriteString("SerialPort", "Device", "COM7");
    ini.WriteInteger("SerialPort", "Baudrate", 9600);
    zelo::IniFile saved = zelo::IniFile::Parse(ini.Text());
    Check(saved.ReadString("serialport", "DEVICE", "") == "COM7");
    Check(saved.ReadInteger("SerialPort", "Baudrate", 0) == 9600);
    return 0;
}
