#pragma once
// The window's texts in the user's language. English is the key and the default: a text without a
// translation, and every text while the language is English, shows as it is. Toolkit-free, so both views
// take their words from here.
#include "window/Dialogs.h"

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace zelo {

namespace catalogue {
struct Entry;
}

enum class Language { English, German };

// The language for an override (ZELO_LANGUAGE: "en" or "de", anything else ignored) and the name of the
// user's locale or interface language ("de", "de_DE.UTF-8", "de_CH@euro", "C"...): German for German,
// English for everything else.
Language ChooseLanguage(std::string_view override, std::string_view localeName);
// Chooses from the environment and the operating system's setting; the window calls it once at start.
void ChooseLanguageFromEnvironment();
void SetLanguage(Language language);
Language CurrentLanguage();

// The text in the current language; the English text itself when there is no translation.
std::string_view Tr(std::string_view english);
// A finished message, line by line: a line that is a catalogue text is translated; one that matches a
// catalogue format ("Can't open %s!") has the format translated and its arguments filled in again as they
// are, unless an argument matches a catalogue format itself ("3 ranges", "Line 4: ..."). Other lines stay as
// they are.
std::string TrMessage(std::string_view english);
// A datapoint-type row ("DPT 5.001 (8 bit percent)") with its description translated and its DPT numbers
// as they are.
std::string TrDatapointRow(std::string_view row);
// A file dialog's filter ("Description (*.ext)|*.ext|..."): the descriptions translated, the patterns kept.
std::string TrFilter(std::string_view filter);
// Whether TrMessage finds every non-empty line of the message in the German catalogue.
bool HasGerman(std::string_view english);
// Fills a format's "%s" and "%d" placeholders with the arguments, in order.
std::string Fill(std::string_view format, std::initializer_list<std::string_view> arguments);
// The placeholders of a text in order ("%s%d"), for checking that a translation keeps them.
std::string Placeholders(std::string_view text);
// Every German entry, for the catalogue's checks.
std::span<const catalogue::Entry> GermanCatalogue();

// The view's dialogs with every text, title and filter translated on the way in: the logic writes English
// and each box reaches the user in the chosen language from this one place.
class TranslatedDialogs : public Dialogs {
public:
    explicit TranslatedDialogs(Dialogs& inner) : Inner_(inner) {}
    int MessageBox(const std::string& text, const std::string& title, int flags,
                   const std::string& detail = {}) override {
        return Inner_.MessageBox(TrMessage(text), TrMessage(title), flags, detail);
    }
    std::optional<std::string> OpenFile(const std::string& filter, const std::string& folder = {}) override {
        return Inner_.OpenFile(TrFilter(filter), folder);
    }
    std::optional<std::string> SaveFile(const std::string& filter, const std::string& folder,
                                        const std::string& name) override {
        return Inner_.SaveFile(TrFilter(filter), folder, name);
    }
    std::optional<std::string> AskPassword(const std::string& prompt, const std::string& title) override {
        return Inner_.AskPassword(TrMessage(prompt), TrMessage(title));
    }
    void EndQuestions() override { Inner_.EndQuestions(); }

private:
    Dialogs& Inner_;
};

} // namespace zelo
