#pragma once
// The system's texts are UTF-8 inside; files and the gateway are 8-bit. These convert at the edges.
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
