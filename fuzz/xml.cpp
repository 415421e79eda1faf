// The XML reader takes any bytes: it either raises an XmlError or gives tokens that nest properly, and
// writing those tokens back out as XML and reading them again gives the same tokens.
#include "ets/XmlReader.h"

#include <cstdint>
#include <cstdlib>
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

// Reads a whole document; false when it is refused.
bool Read(std::string_view document, Reading& reading) {
    XmlReader xml(document);
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
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view document(reinterpret_cast<const char*>(data), size);
    Reading first;
    if (!Read(document, first))
        return 0;
    Reading second;
    Check(Read(first.Written, second));
    Check(second.Tokens == first.Tokens);
    return 0;
}
