#include "device/IniFile.h"
#include "model/Error.h"
#include "os/Files.h"

#include <charconv>
#include <cstdint>

namespace zelo {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

bool IsComment(std::string_view line) {
    return !line.empty() && line.front() == ';';
}

// Key of a stored line: the text before its first "="; comments and lines without "=" have none.
std::optional<std::string_view> KeyOf(std::string_view line) {
    if (IsComment(line))
        return std::nullopt;
    auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return line.substr(0, eq);
}

std::optional<int> ParseNumber(std::string_view digits, int base, bool negative) {
    // The sign, if any, has been taken already: a second one is not a number.
    if (digits.empty() || digits.front() == '-' || digits.front() == '+')
        return std::nullopt;
    long long value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error != std::errc{} || end != digits.data() + digits.size())
        return std::nullopt;
    if (negative)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

IniFile IniFile::Parse(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    IniFile ini;
    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        std::string_view raw =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (end == std::string_view::npos)
            pos = text.size();
        else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            pos = end + 2;
        else
            pos = end + 1;
        std::string_view line = Trim(raw);
        if (line.empty())
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            ini.Sections_.push_back({std::string(Trim(line.substr(1, line.size() - 2))), {}});
            current = &ini.Sections_.back();
            continue;
        }
        if (current == nullptr) {
            // Only comments are worth keeping above the first section.
            if (IsComment(line))
                ini.Preamble_.emplace_back(line);
            continue;
        }
        auto eq = line.find('=');
        if (eq == std::string_view::npos || IsComment(line))
            current->Lines.emplace_back(line);
        else
            current->Lines.push_back(std::string(Trim(line.substr(0, eq))) + "=" +
                                     std::string(Trim(line.substr(eq + 1))));
    }
    return ini;
}

IniFile IniFile::Load(const std::string& fileName) {
    if (!os::FileExists(fileName))
        return {};
    return Parse(os::ReadWholeFile(fileName));
}

SettingsFile::SettingsFile(std::string fileName)
    : FileName_(std::move(fileName)), Values_(FileName_.empty() ? IniFile() : IniFile::Load(FileName_)) {}

void SettingsFile::Save() const {
    if (!FileName_.empty())
        Values_.Save(FileName_);
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    for (auto it = Sections_.rbegin(); it != Sections_.rend(); ++it)
        if (SameText(it->Name, name))
            return &*it;
    return nullptr;
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
    return const_cast<Section*>(static_cast<const IniFile*>(this)->FindSection(name));
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (s == nullptr)
        return std::nullopt;
    for (auto it = s->Lines.rbegin(); it != s->Lines.rend(); ++it) {
        auto lineKey = KeyOf(*it);
        if (lineKey && SameText(*lineKey, key))
            return it->substr(lineKey->size() + 1);
    }
    return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                const std::string& fallback) const {
    return Find(section, key).value_or(fallback);
}

std::optional<int> IniFile::ToInteger(std::string_view value) {
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X'))
        return ParseNumber(value.substr(2), 16, false);
    if (!value.empty() && value[0] == '$')
        return ParseNumber(value.substr(1), 16, false);
    bool negative = false;
    if (!value.empty() && (value[0] == '-' || value[0] == '+')) {
        negative = value[0] == '-';
        value.remove_prefix(1);
    }
    return ParseNumber(value, 10, negative);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
    auto text = Find(section, key);
    if (!text)
        return fallback;
    return ToInteger(*text).value_or(fallback);
}

void IniFile::WriteString(std::string_view section, std::string_view key, const std::string& value) {
    Section* s = FindSection(section);
    if (s == nullptr) {
        Sections_.push_back({std::string(section), {}});
        s = &Sections_.back();
    }
    std::string line = std::string(key) + "=" + value;
    for (auto it = s->Lines.rbegin(); it != s->Lines.rend(); ++it) {
        auto lineKey = KeyOf(*it);
        if (lineKey && SameText(*lineKey, key)) {
            *it = std::move(line);
            return;
        }
    }
    s->Lines.push_back(std::move(line));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

std::string IniFile::Text() const {
    std::string out;
    for (const auto& line : Preamble_)
        out += line + "\r\n";
    for (const auto& s : Sections_) {
        out += "[" + s.Name + "]\r\n";
        for (const auto& line : s.Lines)
            out += line + "\r\n";
        out += "\r\n";
    }
    return out;
}

void IniFile::Save(const std::string& fileName) const {
    os::CreateFoldersAbove(fileName);
    os::ReplaceFileContents(fileName, Text());
}

} // namespace zelo
