// A text file decoded as its bytes arrive in blocks: the encoding found, the text decoded to UTF-8 and its
// lines found in one pass, so that the raw bytes are never held whole.
#include "model/Text.h"
#include "model/TextCodec.h"

#include <memory>

namespace zelo {

namespace {

using namespace codec;

constexpr std::size_t BlockSize = 64 * 1024;
constexpr char ReplacementCharacter[] = "\xEF\xBF\xBD";

// Four UTF-16 units at p that are plain ASCII, none of them a zero, LF or CR (TABs are plain), as most of an
// export is: written to out as four bytes; false, writing nothing, for any other four.
template <bool BigEndian> bool FourPlainUnits(const unsigned char* p, char* out) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if (BigEndian)
        w = ((w >> 8) & 0x00FF00FF00FF00FFull) | ((w & 0x00FF00FF00FF00FFull) << 8);
    // Each unit a 16-bit lane: its high byte zero, its low byte below 0x80.
    if (w & 0xFF80FF80FF80FF80ull)
        return false;
    // Lanes below 0x0E do not carry into bit 7 when 0x72 is added; each of them must be a TAB.
    const std::uint64_t small = ~(w + 0x0072007200720072ull) & 0x0080008000800080ull;
    if (small != 0) {
        const std::uint64_t x = w ^ 0x0009000900090009ull;
        const std::uint64_t tab =
            ~(((x & 0x7FFF7FFF7FFF7FFFull) + 0x7FFF7FFF7FFF7FFFull) | x) & 0x8000800080008000ull;
        if ((tab >> 8) != small)
            return false;
    }
    // The four low bytes side by side.
    const std::uint64_t v = w | (w >> 8);
    const auto four = static_cast<std::uint32_t>((v & 0xFFFF) | ((v >> 16) & 0xFFFF0000));
    std::memcpy(out, &four, 4);
    return true;
}

enum class Mode { Start, Utf8, Replace, SingleByte, Utf16Le, Utf16Be, Ended };

// Takes a file's bytes a block at a time. A block's last bytes that need the next block (a UTF-8 sequence
// or UTF-16 surrogate pair cut in two, an odd byte of UTF-16, the first bytes while a byte-order mark may
// still come) are not used: they come again in front of the next block. The text is written in UTF-8 as it
// is decoded, its lines found as their ends are written.
class BlockDecoder {
public:
    BlockDecoder(const DecodeRules& rules, std::uint64_t sizeHint) : Rules_(rules) {
        // Room for the whole text and for lines of 64 bytes and more; room never written costs no memory.
        if (sizeHint > 0 && sizeHint < (std::uint64_t(1) << 40)) {
            const auto size = static_cast<std::size_t>(sizeHint);
            Text_.reserve(size + size / 16 + 64);
            Spans_.reserve(size / 64 + 16);
        }
    }

    // Decodes what it can of `in` and returns how many bytes it used (all of them when `last`: no bytes
    // follow).
    std::size_t Take(std::string_view in, bool last) {
        std::size_t used = 0;
        while (used < in.size() && Mode_ != Mode::Ended) {
            const Mode mode = Mode_;
            const std::string_view rest = in.substr(used);
            std::size_t n = 0;
            switch (Mode_) {
            case Mode::Start:
                n = Start(rest, last);
                break;
            case Mode::Utf8:
                n = Utf8(rest, last);
                break;
            case Mode::Replace:
                n = Replace(rest, last);
                break;
            case Mode::SingleByte:
                n = SingleByte(rest);
                break;
            case Mode::Utf16Le:
                n = Utf16<false>(rest, last);
                break;
            case Mode::Utf16Be:
                n = Utf16<true>(rest, last);
                break;
            case Mode::Ended:
                break;
            }
            used += n;
            if (n == 0 && Mode_ == mode)
                break; // waits for the next block
        }
        return used;
    }

    bool Ended() const { return Mode_ == Mode::Ended; }
    // The lines found cannot change any more: only text that is UTF-8 beyond ASCII so far may still turn out
    // single-byte with a later broken byte.
    bool Settled() const { return Mode_ != Mode::Utf8 || !NonAscii_; }
    void SetRules(const DecodeRules& rules) { Rules_ = rules; }

    const std::string& Text() const { return Text_; }
    const std::vector<LineSpan>& Spans() const { return Spans_; }
    FileEncoding Encoding() const { return Encoding_; }
    bool Marked() const { return Marked_; }
    bool Replaced() const { return Replaced_; }
    std::size_t Zero() const { return Zero_; }

    // Lets go of every line found so far and of the text they lie in.
    void Release() {
        const std::size_t upTo = LineBegin_;
        Text_.erase(0, upTo);
        Spans_.clear();
        LineBegin_ = 0;
        Zero_ = Zero_ == std::string::npos || Zero_ < upTo ? std::string::npos : Zero_ - upTo;
    }

    // The last line, once no more bytes come.
    void End() {
        if (LineBegin_ < Text_.size())
            Spans_.push_back({LineBegin_, Text_.size()});
        LineBegin_ = Text_.size();
    }

    DecodedLines Result() {
        DecodedLines decoded;
        decoded.Encoding = Encoding_;
        decoded.Marked = Marked_;
        decoded.Replaced = Replaced_;
        decoded.Zero = Zero_;
        decoded.Lines = TextLines(std::move(Text_), std::move(Spans_));
        return decoded;
    }

private:
    bool ZeroEnds() const { return Rules_.Zero == ZeroByte::EndsText; }

    // A byte-order mark decides (or a zero in the first two bytes, UTF-16 without one, when the rules say
    // so); else the text is taken as UTF-8 until a byte says otherwise.
    std::size_t Start(std::string_view in, bool last) {
        if (in.size() < 3 && !last)
            return 0;
        const bool marked16 = in.substr(0, 2) == "\xFF\xFE" || in.substr(0, 2) == "\xFE\xFF";
        if (marked16 || (Rules_.Utf16WithoutMark && in.size() >= 2 && (in[0] == 0) != (in[1] == 0))) {
            const bool bigEndian = marked16 ? in[0] == '\xFE' : in[0] == 0;
            Mode_ = bigEndian ? Mode::Utf16Be : Mode::Utf16Le;
            Encoding_ = bigEndian ? FileEncoding::Utf16Be : FileEncoding::Utf16Le;
            Marked_ = marked16;
            return marked16 ? 2 : 0;
        }
        Mode_ = Mode::Utf8;
        Marked_ = in.substr(0, 3) == "\xEF\xBB\xBF";
        return Marked_ ? 3 : 0;
    }

    // The plain bytes from i on, eight at a time while none is above 0x7F or below 0x0E (a zero, CR or LF
    // may be among those).
    static std::size_t SkipPlain(const char* p, std::size_t i, std::size_t n) {
        while (i + 8 <= n && !HasSpecialByte(Word(p + i)))
            i += 8;
        return i;
    }

    // A line end or zero character written at `at` in the text. A CR ends its line at once; an LF right
    // behind it only moves the next line's start.
    void Mark(char c, std::size_t at) {
        if (c == '\n') {
            if (!AfterCr_ || at != LineBegin_)
                Spans_.push_back({LineBegin_, at});
            LineBegin_ = at + 1;
            AfterCr_ = false;
        } else if (c == '\r') {
            Spans_.push_back({LineBegin_, at});
            LineBegin_ = at + 1;
            AfterCr_ = true;
        } else if (c == 0 && Zero_ == std::string::npos) {
            Zero_ = at;
        }
    }

    // Valid UTF-8 is taken as it is. At the first byte that is not, the text so far is read again as
    // single-byte text (or, behind a UTF-8 mark when the rules say so, the broken bytes are replaced).
    std::size_t Utf8(std::string_view in, bool last) {
        bool broken = false;
        const std::size_t end = Bytes(in, [&](std::size_t& i, std::size_t&) {
            if (i + Utf8SequenceLength(static_cast<unsigned char>(in[i])) > in.size() && !last)
                return false; // the sequence ends in the next block
            std::size_t next = i;
            if (NextUtf8(in, next)) {
                NonAscii_ = true;
                i = next;
                return true;
            }
            broken = true;
            return false;
        });
        if (broken) {
            if (Marked_ && !Rules_.MarkedInvalidAsSingleByte) {
                Mode_ = Mode::Replace;
                Replaced_ = true;
            } else {
                ToSingleByte();
            }
        }
        return end;
    }

    // The text so far read again as single-byte text: it holds the bytes as they came (behind the mark).
    // Plain ASCII reads the same, and its lines stay.
    void ToSingleByte() {
        Mode_ = Mode::SingleByte;
        Encoding_ = FileEncoding::SingleByte;
        if (!NonAscii_)
            return;
        std::string bytes = std::move(Text_);
        Text_ = std::string();
        Text_.reserve(bytes.capacity());
        Spans_.clear();
        LineBegin_ = 0;
        AfterCr_ = false;
        Zero_ = std::string::npos;
        SingleByte(bytes);
    }

    // Plain text and line ends as they are; a byte beyond ASCII goes to beyond(i, run), which writes what it
    // makes of it and moves i on, or returns false to leave the rest for the next block.
    template <typename Beyond> std::size_t Bytes(std::string_view in, Beyond beyond) {
        const char* p = in.data();
        const std::size_t n = in.size();
        std::size_t i = 0;
        std::size_t run = 0; // the start of the bytes not written yet
        while ((i = SkipPlain(p, i, n)) < n) {
            const auto c = static_cast<unsigned char>(p[i]);
            if (c < 0x80) {
                if (c == 0 && ZeroEnds()) {
                    Mode_ = Mode::Ended;
                    break;
                }
                Mark(static_cast<char>(c), Text_.size() + (i - run));
                ++i;
                continue;
            }
            if (!beyond(i, run))
                break;
        }
        Text_.append(p + run, i - run);
        return i;
    }

    std::size_t Replace(std::string_view in, bool last) {
        return Bytes(in, [&](std::size_t& i, std::size_t& run) {
            if (i + Utf8SequenceLength(static_cast<unsigned char>(in[i])) > in.size() && !last)
                return false;
            std::size_t next = i;
            if (NextUtf8(in, next)) {
                i = next;
                return true;
            }
            Text_.append(in.data() + run, i - run);
            Text_.append(ReplacementCharacter, 3);
            run = ++i;
            return true;
        });
    }

    std::size_t SingleByte(std::string_view in) {
        return Bytes(in, [&](std::size_t& i, std::size_t& run) {
            Text_.append(in.data() + run, i - run);
            char utf8[4];
            Text_.append(
                utf8,
                EncodeUtf8(SingleByteCodePoint(static_cast<unsigned char>(in[i]), Rules_.Fallback), utf8));
            run = ++i;
            return true;
        });
    }

    // Four plain units at a time where they come in a row, as they do in exports; written through a small
    // buffer, so the text grows by blocks rather than by characters.
    template <bool BigEndian> std::size_t Utf16(std::string_view in, bool last) {
        const auto* p = reinterpret_cast<const unsigned char*>(in.data());
        const std::size_t n = in.size();
        auto unit = [p](std::size_t i) -> char32_t {
            return BigEndian ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]);
        };
        char buffer[8192];
        std::size_t used = 0;
        std::size_t i = 0;
        while (i + 1 < n) {
            if (used + 16 > sizeof buffer) {
                Text_.append(buffer, used);
                used = 0;
            }
            if (i + 16 <= n && FourPlainUnits<BigEndian>(p + i, buffer + used)) {
                used += 4;
                i += 8;
                if (FourPlainUnits<BigEndian>(p + i, buffer + used)) {
                    used += 4;
                    i += 8;
                }
                continue;
            }
            if (i + 8 <= n && FourPlainUnits<BigEndian>(p + i, buffer + used)) {
                used += 4;
                i += 8;
                continue;
            }
            const char32_t u = unit(i);
            if (u < 0x80 && u != 0 && u != '\n' && u != '\r') {
                buffer[used++] = static_cast<char>(u);
                i += 2;
                continue;
            }
            if (u == 0 && ZeroEnds()) {
                Mode_ = Mode::Ended;
                break;
            }
            if (u == '\n' || u == '\r' || u == 0)
                Mark(static_cast<char>(u), Text_.size() + used);
            char32_t cp = u;
            std::size_t length = 2;
            if (u >= 0xD800 && u <= 0xDBFF) {
                if (i + 4 > n && !last)
                    break; // its low surrogate comes in the next block
                const char32_t low = i + 3 < n ? unit(i + 2) : 0;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                    length = 4;
                }
            }
            // A lone surrogate cannot be shown: the replacement character keeps the position visible.
            if (length == 2 && u >= 0xD800 && u <= 0xDFFF)
                cp = 0xFFFD;
            used += EncodeUtf8(cp, buffer + used);
            i += length;
        }
        Text_.append(buffer, used);
        // An odd last byte is no unit: it is dropped.
        return last && Mode_ != Mode::Ended ? n : i;
    }

    DecodeRules Rules_;
    Mode Mode_ = Mode::Start;
    FileEncoding Encoding_ = FileEncoding::Utf8;
    bool Marked_ = false;
    bool Replaced_ = false;
    bool NonAscii_ = false; // the UTF-8 taken so far holds more than ASCII
    std::string Text_;
    std::vector<LineSpan> Spans_;
    std::size_t LineBegin_ = 0;
    bool AfterCr_ = false; // the last line ended at a CR
    std::size_t Zero_ = std::string::npos;
};

} // namespace

struct LineStream::State {
    State(ByteSource& source, const DecodeRules& rules)
        : Source(source), Decoder(rules, source.SizeHint()), Buffer(new char[BlockSize + 8]) {}

    // Decodes one more block; false once the file has ended.
    bool Pull() {
        if (AtEnd)
            return false;
        const std::size_t n = Source.Read(Buffer.get() + Kept, BlockSize);
        const std::size_t have = Kept + n;
        const std::size_t used = Decoder.Take({Buffer.get(), have}, n == 0);
        if (n == 0 || Decoder.Ended()) {
            AtEnd = true;
            Decoder.End();
            return true;
        }
        // At most 3 bytes that need the next block.
        Kept = have - used;
        std::memmove(Buffer.get(), Buffer.get() + used, Kept);
        return true;
    }

    ByteSource& Source;
    BlockDecoder Decoder;
    const std::unique_ptr<char[]> Buffer;
    std::size_t Kept = 0;
    bool AtEnd = false;
    std::size_t NextLine = 0; // in the decoder's lines
};

LineStream::LineStream(ByteSource& source, const DecodeRules& rules)
    : State_(std::make_unique<State>(source, rules)) {}

LineStream::~LineStream() = default;

std::string_view LineStream::Ahead(std::size_t size) {
    while (State_->Decoder.Text().size() < size && State_->Pull()) {
    }
    return State_->Decoder.Text();
}

FileEncoding LineStream::Encoding() const {
    return State_->Decoder.Encoding();
}

bool LineStream::Marked() const {
    return State_->Decoder.Marked();
}

bool LineStream::Replaced() const {
    return State_->Decoder.Replaced();
}

std::size_t LineStream::Zero() const {
    return State_->Decoder.Zero();
}

void LineStream::SetRules(const DecodeRules& rules) {
    State_->Decoder.SetRules(rules);
}

bool LineStream::Next(std::string_view& line) {
    State& s = *State_;
    for (;;) {
        // Lines that a later byte may still change are not given out: the file is decoded on until it is
        // settled.
        const bool settled = s.AtEnd || s.Decoder.Settled();
        const auto& spans = s.Decoder.Spans();
        if (settled && s.NextLine < spans.size()) {
            const LineSpan span = spans[s.NextLine++];
            line = std::string_view(s.Decoder.Text()).substr(span.Begin, span.End - span.Begin);
            return true;
        }
        // Every line found is given out: their text goes before the next block comes.
        if (settled) {
            s.Decoder.Release();
            s.NextLine = 0;
        }
        if (!s.Pull())
            return false;
    }
}

DecodedLines LineStream::Whole() {
    while (State_->Pull()) {
    }
    return State_->Decoder.Result();
}

TextLines LineStream::Rest() {
    std::string text;
    std::vector<LineSpan> spans;
    for (std::string_view line; Next(line);) {
        spans.push_back({text.size(), text.size() + line.size()});
        text.append(line) += '\n';
    }
    return TextLines(std::move(text), std::move(spans));
}

DecodedLines DecodeLines(ByteSource& source, const DecodeRules& rules) {
    return LineStream(source, rules).Whole();
}
DecodedLines DecodeLines(std::string_view bytes, const DecodeRules& rules) {
    ViewSource source(bytes);
    return DecodeLines(source, rules);
}

} // namespace zelo
