#pragma once
// The system's texts are UTF-8 inside; files and the gateway are 8-bit. These convert at the edges.
#include "model/ByteSource.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelo {

enum class SingleByteCharset { Latin1, Windows1252 };

bool IsValidUtf8(std::string_view bytes);
// Appends a code point (at most U+10FFFF) in UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
std::string SingleByteToUtf8(std::string_view bytes, SingleByteCharset charset);
// UTF-16 code units (no byte-order mark) to UTF-8; a lone surrogate becomes U+FFFD, an odd last byte is
// dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);
// The text with every byte that starts no valid UTF-8 sequence replaced by U+FFFD.
std::string ReplaceInvalidUtf8(std::string_view bytes);
// Latin-1 bytes of a UTF-8 text, or nullopt when a character has no single-byte form (or the UTF-8 is
// broken).
std::optional<std::string> Utf8ToLatin1(std::string_view text);

// Decodes a file's bytes: a UTF-8 or UTF-16 (LE/BE) byte-order mark decides; else valid UTF-8 is taken as it
// is; else the bytes are single-byte text in the given charset. The mark itself is dropped.
std::string DecodeTextFile(std::string_view bytes, SingleByteCharset fallback);

// What a zero byte in a text means: the end of the text (settings and ETS files, as their readers always
// took it), or a byte like any other that the caller judges (command lists, where it must not cut the list).
enum class ZeroByte { EndsText, Kept };

// Lines of a text: a line ends at CR LF, LF or lone CR; a line end at the very end adds no empty line.
std::vector<std::string> SplitLines(std::string_view text, ZeroByte zeroByte = ZeroByte::EndsText);

// Where a line lies in a text: [Begin, End), without its line end.
struct LineSpan {
    std::size_t Begin = 0;
    std::size_t End = 0;
};

// A text held once and where its lines lie in it: a file's lines without a string of their own each.
class TextLines {
public:
    TextLines() = default;
    TextLines(std::string text, std::vector<LineSpan> spans)
        : Text_(std::move(text)), Spans_(std::move(spans)) {}
    // The lines given, held joined (for callers that have the lines at hand already).
    explicit TextLines(const std::vector<std::string>& lines);

    std::size_t size() const { return Spans_.size(); }
    bool empty() const { return Spans_.empty(); }
    std::string_view operator[](std::size_t i) const {
        return {Text_.data() + Spans_[i].Begin, Spans_[i].End - Spans_[i].Begin};
    }
    // The whole text the lines lie in (with whatever lies outside them).
    const std::string& Text() const { return Text_; }
    std::vector<std::string> Strings() const;
    void clear();
    // Ends the lines at a position of the text: lines that begin there or later are dropped.
    void CutAt(std::size_t position);
    // Gives the text away; no line is left.
    std::string Release();

private:
    std::string Text_;
    std::vector<LineSpan> Spans_;
};

enum class FileEncoding { Utf8, Utf16Le, Utf16Be, SingleByte };

// How a file's bytes are read, as the readers of the different files have always read them.
struct DecodeRules {
    SingleByteCharset Fallback = SingleByteCharset::Windows1252;
    // EndsText: the first zero character ends the text (in UTF-8 and single-byte text the zero byte, before
    // the encoding is judged). Kept: it is text like any other; DecodedLines::Zero says where the first is.
    ZeroByte Zero = ZeroByte::EndsText;
    // A zero in the first two bytes (and not in both) is UTF-16 without a byte-order mark.
    bool Utf16WithoutMark = false;
    // A UTF-8 mark followed by broken UTF-8: true reads the text single-byte, false keeps it UTF-8 with every
    // broken byte replaced by U+FFFD.
    bool MarkedInvalidAsSingleByte = true;
};

struct DecodedLines {
    TextLines Lines;
    FileEncoding Encoding = FileEncoding::Utf8;
    bool Marked = false;   // the file began with a byte-order mark
    bool Replaced = false; // UTF-8 behind a mark was broken, its broken bytes replaced by U+FFFD
    std::size_t Zero = std::string::npos; // with ZeroByte::Kept: the first zero character in the text

    // The decoded text, without its byte-order mark.
    std::string_view Text() const { return Lines.Text(); }
};

// Decodes a file's bytes and finds its lines in one pass, a block at a time as the source gives them, so the
// raw bytes are never held whole: a UTF-8 or UTF-16 byte-order mark decides (or UTF-16 without one, when the
// rules say so); else valid UTF-8 is taken as it is; else the bytes are single-byte text. Lines end as
// SplitLines ends them.
DecodedLines DecodeLines(ByteSource& source, const DecodeRules& rules);

// A file's lines one after another as its blocks are decoded, for a reader that needs only the line it is
// at: the lines given out are let go of before the next block is decoded, so that neither the raw bytes nor
// the whole text are held. Only while the text is valid UTF-8 beyond ASCII (a later broken byte would make
// all of it single-byte) is it kept until a byte or the file's end settles it.
class LineStream {
public:
    LineStream(ByteSource& source, const DecodeRules& rules);
    ~LineStream();
    LineStream(const LineStream&) = delete;
    LineStream& operator=(const LineStream&) = delete;

    // The text from the first line not given out yet, decoded on until it holds `size` bytes or the file has
    // ended.
    std::string_view Ahead(std::size_t size);
    // What the decoding found so far (UTF-8 may still turn out single-byte).
    FileEncoding Encoding() const;
    bool Marked() const;
    bool Replaced() const;
    std::size_t Zero() const; // in Ahead()'s text
    // The rules for the bytes still to come.
    void SetRules(const DecodeRules& rules);

    // The next line, valid until the next call; false after the last.
    bool Next(std::string_view& line);
    // The whole text and its lines, for a stream that has given none out.
    DecodedLines Whole();
    // The lines not given out yet, held together.
    TextLines Rest();

private:
    struct State;
    std::unique_ptr<State> State_;
};
DecodedLines DecodeLines(std::string_view bytes, const DecodeRules& rules);

// A UTF-8 text that came from outside (a gateway's answer, a line of a file) made safe to print on a
// terminal: control characters (C0 but line feed and tab, DEL, C1) become \xHH (C1: \u00HH), so an answer
// cannot move the cursor, retitle or reprogram the user's terminal; malformed bytes become \xHH too. With
// `lineBreaksToo` line feeds and tabs are escaped as well: for a text quoted inside a message (a gateway's
// answer), which must not forge lines of its own.
std::string EscapeControlCharacters(std::string_view text, bool lineBreaksToo = false);

// 8-bit bytes as printable ASCII for a trace: printable ASCII stays, a backslash doubles, every other byte
// becomes \xHH, so the text is unambiguous.
std::string EscapeBytes(std::string_view bytes);

// Echoed input in a message: at most maxCharacters UTF-8 characters, followed by "..." when it was cut.
std::string ShortenForMessage(std::string_view text, std::size_t maxCharacters = 80);

} // namespace zelo
