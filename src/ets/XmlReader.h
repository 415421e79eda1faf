#pragma once
// A small streaming XML reader ("pull" style): the caller asks for one token after another (start tag, end
// tag, character data) and keeps only what it needs, so a large document never becomes a tree in memory.
// It reads what ETS writes into its exports and project files: the XML declaration, a byte-order mark,
// comments, processing instructions, CDATA sections, character references and the five predefined entities,
// either quote style, CR LF line ends, and namespaces (prefixes resolved to their URIs).
//
// It refuses, with an XmlError naming line and column: anything not well formed (unclosed or mismatched
// tags, a second root element, text outside the root, a duplicate attribute, an undeclared prefix, "<" in an
// attribute value, "]]>" in text, a control character), any DOCTYPE (and so every entity declaration: no
// entity is ever expanded beyond the five predefined ones), and references to anything else.
//
// Input is UTF-8 text; decode UTF-16 or single-byte files first (DecodeText of EtsExport.h). The encoding
// named in the XML declaration is not consulted. UTF-8 sequences are passed through, not checked.
//
// Typical use:
//     XmlReader xml(text);
//     while (xml.Next() != XmlReader::Token::EndOfDocument)
//         if (xml.Current() == XmlReader::Token::StartElement && xml.LocalName() == "GroupAddress")
//             use(xml.AttributeValue("Address"), xml.Line());
#include "model/Error.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zelo {

class XmlError : public Exception {
public:
    // The message reads "XML error in line L, column C: " followed by what.
    XmlError(const std::string& what, int line, int column);
    int Line() const { return Line_; }
    int Column() const { return Column_; }

private:
    int Line_;
    int Column_;
};

class XmlReader {
public:
    enum class Token {
        None,          // before the first Next()
        StartElement,  // a start tag, or an empty-element tag (then an EndElement of it follows)
        EndElement,    // an end tag, or the end of an empty-element tag
        Text,          // character data, CDATA sections and references of one run, decoded
        EndOfDocument, // the root element has ended and only comments or blanks followed
    };

    struct Attribute {
        std::string_view QualifiedName; // as written, e.g. "xmlns:k" or "Name"
        std::string_view LocalName;     // without the prefix
        std::string_view NamespaceUri;  // of the prefix; empty for an unprefixed attribute
        std::string_view Value;         // references decoded, blanks normalised as XML says
    };

    // The document must outlive the reader. A UTF-8 byte-order mark at its start is skipped.
    explicit XmlReader(std::string_view document);

    // The next token; raises XmlError on a fault. After EndOfDocument it keeps returning EndOfDocument.
    // Every view handed out before stays valid only until this is called again.
    Token Next();
    Token Current() const { return Current_; }

    // Of the current StartElement or EndElement.
    std::string_view QualifiedName() const { return Name_; }
    std::string_view LocalName() const { return LocalName_; }
    std::string_view NamespaceUri() const { return NamespaceUri_; }
    // The current StartElement is an empty-element tag (<a/>).
    bool IsEmptyElement() const { return EmptyElement_; }
    // Of the current StartElement, in document order, namespace declarations (xmlns, xmlns:p) included.
    const std::vector<Attribute>& Attributes() const { return Attributes_; }
    // The value of the current StartElement's unprefixed attribute of that name, if it has one.
    std::optional<std::string_view> AttributeValue(std::string_view localName) const;

    // Of the current Text token: the decoded text, line ends as LF.
    std::string_view Text() const { return Text_; }
    // The current Text token holds only blanks (space, TAB, LF).
    bool IsWhitespace() const;

    // Elements open around the current token: 1 for the root's own start and end tags and for text
    // directly inside it; 0 before the root and at the end.
    int Depth() const { return Depth_; }
    // 1-based line and column (in characters) where the current token begins.
    int Line();
    int Column() const;

    // On a StartElement: reads on to its matching EndElement, which becomes the current token. Elsewhere it
    // does nothing.
    void SkipElement();

private:
    struct OpenElement {
        std::string_view Name;
        std::size_t Bindings; // size of Bindings_ before this element's declarations
    };
    struct Binding {
        std::string_view Prefix;
        std::string_view Uri; // in the document, or in DecodedUris_ when it held references
        bool Decoded;
        std::size_t Shadowed; // index of the binding of the same prefix it hides, or NoBinding
    };
    static constexpr std::size_t NoBinding = ~std::size_t(0);
    struct RawAttribute {
        std::string_view Name;
        std::size_t ValueStart; // offset in Values_ when decoded, else in the document
        std::size_t ValueSize;
        bool Decoded;
    };

    [[noreturn]] void Fail(const std::string& what, std::size_t at) const;
    bool StartsWith(std::string_view text) const { return Doc_.substr(Pos_, text.size()) == text; }
    std::size_t Find(std::string_view text, std::size_t from) const { return Doc_.find(text, from); }
    std::string_view ReadName();
    void SkipBlanks();
    void SkipMisc(); // comments, processing instructions, blanks: what may stand outside the root
    void SkipComment();
    void SkipProcessingInstruction();
    void ReadStartTag();
    void ReadEndTag();
    void ReadText();
    // Appends the character or entity of the reference at Pos_ (on "&") to out and moves past it.
    void AppendReference(std::string& out);
    void Bind(std::string_view prefix, std::string_view uri, bool decoded);
    void UnbindTo(std::size_t size);
    std::string_view Resolve(std::string_view prefix, bool isElement, std::size_t at) const;
    void PositionAt(std::size_t at, int& line, int& column) const;

    std::string_view Doc_;
    std::size_t Pos_ = 0;
    std::size_t DocStart_ = 0; // behind the byte-order mark
    std::size_t TokenStart_ = 0;
    Token Current_ = Token::None;
    bool RootSeen_ = false;
    bool PopPending_ = false; // the last token was an EndElement: leave the element on the next call
    bool EmptyElement_ = false;
    bool EmptyEndPending_ = false;
    int Depth_ = 0;
    std::deque<OpenElement> Open_;
    std::deque<Binding> Bindings_; // a deque: deep documents grow it without copying
    // The binding in force for each prefix, so a lookup costs the same at any depth.
    std::unordered_map<std::string_view, std::size_t> InScope_;
    std::deque<std::string> DecodedUris_; // a deque: growing it moves no string its views point into
    std::string_view Name_;
    std::string_view LocalName_;
    std::string_view NamespaceUri_;
    std::vector<RawAttribute> Raw_;
    std::vector<Attribute> Attributes_;
    std::string Values_; // decoded attribute values of the current tag
    std::string TextBuffer_;
    std::string_view Text_;
    // Lines counted so far, up to LineCountedTo_: tokens only move forward, so counting is linear.
    std::size_t LineCountedTo_ = 0;
    int LineAtCounted_ = 1;
};

} // namespace zelo
