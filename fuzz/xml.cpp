// The XML reader takes any bytes: it either raises an XmlError or gives tokens that nest properly, and
// writing those tokens back out as XML and reading them again gives the same tokens. Read from a source a few
// bytes at a time, it gives the same tokens and the same fault at the same place.
#include "ets/XmlReader.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace zelo;

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

std::string Escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

struct Reading {
    std::vector<std::string> Tokens; // one text per token, namespaces resolved
    std::string Written;             // the same tokens as XML
};

// Reads a document held whole (block 0) or from a source `block` bytes at a time; false, with the message,
// when it is refused.
bool Read(std::string_view document, Reading& reading, std::string& error, std::size_t block = 0) {
    ViewSource source(document);
    std::optional<XmlReader> reader;
    if (block == 0)
        reader.emplace(document);
    else
        reader.emplace(source, std::string(), block);
    XmlReader& xml = *reader;
    std::vector<std::string> open;
    int lastLine = 1;
    try {
        for (;;) {
            const XmlReader::Token token = xml.Next();
            const int line = xml.Line();
            Check(line >= lastLine);
            lastLine = line;
            if (token == XmlReader::Token::EndOfDocument) {
                Check(open.empty() && xml.Depth() == 0);
                Check(xml.Next() == XmlReader::Token::EndOfDocument);
                return true;
            }
            if (token == XmlReader::Token::StartElement) {
                open.emplace_back(xml.QualifiedName());
                Check(xml.Depth() == static_cast<int>(open.size()));
                std::string text =
                    "S{" + std::string(xml.NamespaceUri()) + "}" + std::string(xml.LocalName());
                reading.Written += "<" + std::string(xml.QualifiedName());
                for (const auto& a : xml.Attributes()) {
                    text += " {" + std::string(a.NamespaceUri) + "}" + std::string(a.LocalName) + "=" +
                            std::string(a.Value);
                    reading.Written += " " + std::string(a.QualifiedName) + "=\"" + Escaped(a.Value) + "\"";
                    Check(a.QualifiedName.size() >= a.LocalName.size());
                }
                reading.Written += ">";
                reading.Tokens.push_back(text);
            } else if (token == XmlReader::Token::EndElement) {
                Check(!open.empty() && open.back() == xml.QualifiedName());
                Check(xml.Depth() == static_cast<int>(open.size()));
                open.pop_back();
                reading.Written += "</" + std::string(xml.QualifiedName()) + ">";
                reading.Tokens.push_back("E{" + std::string(xml.NamespaceUri()) + "}" +
                                         std::string(xml.LocalName()));
            } else {
                Check(token == XmlReader::Token::Text && !open.empty());
                // Runs of text may come in pieces (split by comments); join them for the comparison.
                if (!reading.Tokens.empty() && reading.Tokens.back()[0] == 'T')
                    reading.Tokens.back() += xml.Text();
                else
                    reading.Tokens.push_back("T" + std::string(xml.Text()));
                reading.Written += Escaped(xml.Text());
            }
        }
    } catch (const XmlError& e) {
        Check(e.Line() >= 1 && e.Column() >= 1);
        error = e.Message();
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view document(reinterpret_cast<const char*>(data), size);
    Reading first;
    std::string error;
    const bool read = Read(document, first, error);
    Reading streamed;
    std::string streamedError;
    Check(Read(document, streamed, streamedError, 1 + size % 5) == read);
    Check(streamed.Tokens == first.Tokens && streamedError == error);
    if (!read)
        return 0;
    Reading second;
    Check(Read(first.Written, second, error));
    Check(second.Tokens == first.Tokens);
    return 0;
}
