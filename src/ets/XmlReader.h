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
// The text is either held whole by the caller or read from a ByteSource in blocks: then the reader keeps only
// the blocks its current token needs (a token longer than a block grows the window, so a malformed document
// may be read on to its end before its fault is reported).
//
// Typical use:
//     XmlReader xml(text);
//     while (xml.Next() != XmlReader::Token::EndOfDocument)
//         if (xml.Current() == XmlReader::Token::StartElement && xml.LocalName() == "GroupAddress")
//             use(xml.AttributeValue("Address"), xml.Line());
#include "model/ByteSource.h"
#include "model/Error.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
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
    // The document's bytes from `source`, after `head` (bytes the caller has already taken from it), read
    // `block` bytes at a time. The source must outlive the reader; its errors pass through Next().
    static constexpr std::size_t DefaultBlock = 64 * 1024;
    explicit XmlReader(ByteSource& source, std::string head = {}, std::size_t block = DefaultBlock);

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
    // Texts kept while their elements are open (names, namespace URIs), stacked in blocks that never move:
    // the window they were read from moves on, and a deep document neither copies them as it grows nor
    // allocates for each level.
    class TextStack {
    public:
        struct Mark {
            std::size_t Block = 0;
            std::size_t Used = 0;
        };
        Mark Top() const { return {Current_, Used_}; }
        std::size_t CurrentBlock() const { return Current_; } // the block of the last text pushed
        std::string_view Push(std::string_view text);
        void PopTo(Mark mark) {
            Current_ = mark.Block;
            Used_ = mark.Used;
        }
        // Back to before `text`, pushed into `block`.
        void PopTo(std::size_t block, const char* text) {
            Current_ = block;
            Used_ = static_cast<std::size_t>(text - Blocks_[block].Data.get());
        }

    private:
        struct Block {
            std::unique_ptr<char[]> Data;
            std::size_t Size;
        };
        std::vector<Block> Blocks_;
        std::size_t Current_ = 0;
        std::size_t Used_ = 0;
    };
    // Kept small, since a deep document holds one per level: 32-bit sizes and counts suffice, as no document
    // read (an entry or a file) is allowed 4 GB.
    struct OpenElement {
        const char* Name; // in Texts_
        std::uint32_t NameSize;
        std::uint32_t NameBlock; // the block of Texts_ that holds it
        std::uint32_t Bindings;  // size of Bindings_ before its declarations
        std::string_view NameView() const { return {Name, NameSize}; }
    };
    struct Binding {
        std::uint32_t* Slot; // where the prefix's binding in force is kept
        const char* Uri;     // in Texts_
        std::uint32_t UriSize;
        std::uint32_t Shadowed; // the binding it hides, or NoBinding
        std::string_view UriView() const { return {Uri, UriSize}; }
    };
    static constexpr std::uint32_t NoBinding = ~std::uint32_t(0);
    struct RawAttribute {
        std::string_view Name;
        std::size_t ValueStart; // offset in Values_ when decoded, else in the document
        std::size_t ValueSize;
        bool Decoded;
    };
    // Raised where a token runs past the bytes read so far while the source has more.
    struct NeedMore {};
    struct PrefixHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };

    [[noreturn]] void Fail(const std::string& what, std::size_t at) const;
    bool StartsWith(std::string_view text) const { return Doc_.substr(Pos_, text.size()) == text; }
    std::size_t Find(std::string_view text, std::size_t from) const { return Doc_.find(text, from); }
    Token ReadToken();
    // Drops the bytes before `keepFrom` and reads at least as many again as remain, or a block.
    void Refill(std::size_t keepFrom);
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
    void Bind(std::string_view prefix, std::string_view uri);
    void UnbindTo(std::size_t size);
    std::string_view Resolve(std::string_view prefix, bool isElement, std::size_t at) const;
    void PositionAt(std::size_t at, int& line, int& column) const;

    std::string_view Doc_; // the whole document, or the window of it in Buffer_
    ByteSource* Source_ = nullptr;
    std::string Buffer_;
    bool Exhausted_ = true; // no more bytes to come
    std::size_t Block_ = DefaultBlock;
    std::size_t Consumed_ = 0; // bytes dropped before the window
    int WindowLine_ = 1;       // line and characters of that line before the window
    int WindowColumn_ = 0;
    std::size_t Pos_ = 0;
    std::size_t DocStart_ = 0; // behind the byte-order mark, counted from the document's start
    std::size_t TokenStart_ = 0;
    Token Current_ = Token::None;
    bool RootSeen_ = false;
    bool PopPending_ = false; // the last token was an EndElement: leave the element on the next call
    bool EmptyElement_ = false;
    bool EmptyEndPending_ = false;
    int Depth_ = 0;
    // Deques: a deep document grows them without copying.
    std::deque<OpenElement> Open_;
    std::deque<Binding> Bindings_;
    TextStack Texts_;
    // The binding in force for the default namespace and for each prefix ever declared, so a lookup costs the
    // same at any depth.
    std::uint32_t DefaultBinding_ = NoBinding;
    std::unordered_map<std::string, std::uint32_t, PrefixHash, std::equal_to<>> InScope_;
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
