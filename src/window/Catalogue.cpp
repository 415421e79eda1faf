#include "window/Catalogue.h"

#include "os/Language.h"
#include "window/CatalogueTable.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <unordered_map>
#include <vector>

namespace zelo {

namespace {

std::atomic<Language> Current{Language::English};

bool IsPlaceholder(std::string_view text, std::size_t i) {
    return text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd');
}

// A catalogue text with placeholders, cut into its literal pieces: Pieces has one more element than Kinds.
struct Format {
    std::vector<std::string_view> Pieces;
    std::string Kinds; // 's' or 'd' per placeholder
    std::string_view Translated;
    std::size_t LiteralLength = 0;
};

Format Cut(std::string_view english, std::string_view translated) {
    Format f;
    f.Translated = translated;
    std::size_t start = 0;
    for (std::size_t i = 0; i < english.size(); ++i) {
        if (IsPlaceholder(english, i)) {
            f.Pieces.push_back(english.substr(start, i - start));
            f.Kinds += english[i + 1];
            start = i + 2;
            ++i;
        }
    }
    f.Pieces.push_back(english.substr(start));
    for (auto piece : f.Pieces)
        f.LiteralLength += piece.size();
    return f;
}

struct Tables {
    std::unordered_map<std::string_view, std::string_view> Exact;
    std::vector<Format> Formats;
};

const Tables& German() {
    static const Tables tables = [] {
        Tables t;
        for (const auto& entry : GermanCatalogue()) {
            t.Exact.emplace(entry.English, entry.Translated);
            if (!Placeholders(entry.English).empty())
                t.Formats.push_back(Cut(entry.English, entry.Translated));
        }
        // The most specific format first: the one with the most literal text.
        std::stable_sort(t.Formats.begin(), t.Formats.end(),
                         [](const Format& a, const Format& b) { return a.LiteralLength > b.LiteralLength; });
        return t;
    }();
    return tables;
}

bool IsNumber(std::string_view text) {
    if (!text.empty() && text.front() == '-')
        text.remove_prefix(1);
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// Matches text against the format from placeholder index on (the pieces before it taken already),
// collecting the arguments; backtracks over where each argument ends.
bool Match(const Format& f, std::size_t index, std::string_view text, std::vector<std::string_view>& args) {
    if (index == f.Kinds.size())
        return text.empty();
    const std::string_view next = f.Pieces[index + 1];
    const bool last = index + 1 == f.Kinds.size();
    for (std::size_t end = 1; end <= text.size(); ++end) {
        const std::string_view argument = text.substr(0, end);
        // An argument is part of one line: a message of several lines is translated line by line, so that
        // its first line is never taken for the argument of a format that fits its last.
        if (argument.back() == '\n')
            break;
        if (f.Kinds[index] == 'd' && !IsNumber(argument)) {
            if (argument == "-")
                continue;
            break;
        }
        const std::string_view rest = text.substr(end);
        if (last ? rest != next : rest.substr(0, next.size()) != next)
            continue;
        args.push_back(argument);
        if (Match(f, index + 1, rest.substr(next.size()), args))
            return true;
        args.pop_back();
    }
    return false;
}

std::string FillIn(std::string_view translated, const std::vector<std::string>& args) {
    std::string out;
    std::size_t n = 0;
    for (std::size_t i = 0; i < translated.size(); ++i) {
        if (IsPlaceholder(translated, i)) {
            out += n < args.size() ? args[n] : std::string();
            ++n;
            ++i;
        } else {
            out += translated[i];
        }
    }
    return out;
}

// The text by the most specific catalogue format it matches.
std::optional<std::string> FromFormat(std::string_view text, int depth) {
    if (depth > 3)
        return std::nullopt;
    for (const Format& f : German().Formats) {
        if (text.substr(0, f.Pieces.front().size()) != f.Pieces.front())
            continue;
        std::vector<std::string_view> args;
        if (!Match(f, 0, text.substr(f.Pieces.front().size()), args))
            continue;
        std::vector<std::string> filled;
        // An argument is data (a name, a file's text, the gateway's answer) and stays as it is, unless it is
        // a message the catalogue words itself ("3 ranges", "Line 4: ...").
        for (auto arg : args)
            filled.push_back(FromFormat(arg, depth + 1).value_or(std::string(arg)));
        return FillIn(f.Translated, filled);
    }
    return std::nullopt;
}

std::optional<std::string> Translate(std::string_view text) {
    const Tables& t = German();
    if (const auto found = t.Exact.find(text); found != t.Exact.end())
        return std::string(found->second);
    return FromFormat(text, 0);
}

// The message whole when the catalogue has it so, else line by line; translated tells whether every
// non-empty line was found.
std::string TranslateLines(std::string_view english, bool& translated) {
    translated = true;
    if (auto whole = Translate(english))
        return *whole;
    std::string out;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = english.find('\n', start);
        const std::string_view line =
            english.substr(start, end == std::string_view::npos ? end : end - start);
        auto found = Translate(line);
        if (!found && !line.empty())
            translated = false;
        out += found ? *found : std::string(line);
        if (end == std::string_view::npos)
            return out;
        out += '\n';
        start = end + 1;
    }
}

} // namespace

Language ChooseLanguage(std::string_view override, std::string_view localeName) {
    if (override == "de")
        return Language::German;
    if (override == "en")
        return Language::English;
    // language[_territory][.codeset][@modifier]
    const std::string_view language = localeName.substr(0, localeName.find_first_of("_.@"));
    return language == "de" ? Language::German : Language::English;
}

void ChooseLanguageFromEnvironment() {
    const char* override = std::getenv("ZELO_LANGUAGE");
    SetLanguage(ChooseLanguage(override ? override : "", os::UserInterfaceLanguage()));
}

void SetLanguage(Language language) {
    Current = language;
}

Language CurrentLanguage() {
    return Current;
}

std::string_view Tr(std::string_view english) {
    if (Current == Language::English)
        return english;
    const Tables& t = German();
    const auto found = t.Exact.find(english);
    return found == t.Exact.end() ? english : found->second;
}

std::string TrMessage(std::string_view english) {
    if (Current == Language::English)
        return std::string(english);
    bool translated = false;
    return TranslateLines(english, translated);
}

std::string TrDatapointRow(std::string_view row) {
    const std::size_t open = row.find('(');
    if (open == std::string_view::npos || row.back() != ')')
        return std::string(Tr(row));
    return std::string(row.substr(0, open + 1)) +
           std::string(Tr(row.substr(open + 1, row.size() - open - 2))) + ")";
}

std::string TrFilter(std::string_view filter) {
    std::string out;
    bool description = true;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = filter.find('|', start);
        const std::string_view part = filter.substr(start, end == std::string_view::npos ? end : end - start);
        out += description ? Tr(part) : part;
        if (end == std::string_view::npos)
            return out;
        out += '|';
        description = !description;
        start = end + 1;
    }
}

bool HasGerman(std::string_view english) {
    bool translated = false;
    TranslateLines(english, translated);
    return translated;
}

std::string Fill(std::string_view format, std::initializer_list<std::string_view> arguments) {
    std::string out;
    auto next = arguments.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (IsPlaceholder(format, i)) {
            if (next != arguments.end())
                out += *next++;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

std::string Placeholders(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (IsPlaceholder(text, i))
            out.append(text.substr(i, 2)), ++i;
    return out;
}

std::span<const catalogue::Entry> GermanCatalogue() {
    return {catalogue::GermanEntries, catalogue::GermanEntriesCount};
}

} // namespace zelo
