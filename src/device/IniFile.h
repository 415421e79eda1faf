#pragma once
// The settings file's INI form, held in memory: sections of stored lines, read and written whole.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelo {

class IniFile {
public:
    struct Section {
        std::string Name;
        std::vector<std::string> Lines; // "key=value", a comment, or a line without "=", in file order
    };

    // Reads INI text: lines end at CR LF, LF or CR, a zero byte ends the text, a leading UTF-8 byte-order
    // mark is skipped. Lines are trimmed; empty lines are dropped; comments (";") are kept in their place.
    static IniFile Parse(std::string_view text);
    // Reads a file; a missing file gives empty content. A file that exists but cannot be read raises
    // Exception.
    static IniFile Load(const std::string& fileName);

    // Value of the last line of the key in the last section of that name (letter case ignored); nullopt when
    // either is missing. A key with nothing behind its "=" gives the empty text.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key, const std::string& fallback) const;
    // "0x..." (more than two characters) and "$..." are hexadecimal, else signed decimal; any text that is
    // not a 32-bit integer gives the fallback.
    int ReadInteger(std::string_view section, std::string_view key, int fallback) const;

    // Replaces the key's line in place (spelled as given here), or appends it; a missing section is appended.
    void WriteString(std::string_view section, std::string_view key, const std::string& value);
    void WriteInteger(std::string_view section, std::string_view key, int value);

    // Comments before the first section, then each section: "[name]", its lines, an empty line; CR LF
    // endings.
    std::string Text() const;
    // Replaces the file whole, so that it is never left half-written (see os::ReplaceFileContents: through
    // a symbolic link, mode and owner kept, flushed to the disk); a missing folder is made first. Raises
    // Exception "Can't write NAME: REASON" on failure.
    void Save(const std::string& fileName) const;

    const std::vector<Section>& Sections() const { return Sections_; }

    // The integer rule of ReadInteger on its own.
    static std::optional<int> ToInteger(std::string_view value);

private:
    std::vector<std::string> Preamble_; // comments above the first section
    std::vector<Section> Sections_;

    Section* FindSection(std::string_view name);
    const Section* FindSection(std::string_view name) const;
};

// A program's settings file, held from its start to its end: read once when made, replaced once by Save.
// Without a name the settings live in memory only.
class SettingsFile {
public:
    explicit SettingsFile(std::string fileName);
    const std::string& FileName() const { return FileName_; }
    IniFile& Values() { return Values_; }
    const IniFile& Values() const { return Values_; }
    void Save() const;

private:
    std::string FileName_;
    IniFile Values_;
};

} // namespace zelo
