#include "ets/XmlReader.h"

#include "model/Text.h"

#include <algorithm>
#include <array>

namespace zelo {

namespace {

constexpr std::string_view XmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view XmlnsNamespace = "http://www.w3.org/2000/xmlns/";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(unsigned char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Control characters XML does not allow anywhere (TAB, LF and CR are allowed).
constexpr bool IsForbiddenControl(unsigned char c) {
    return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

// Bytes that end a plain run of character data.
constexpr std::array<bool, 256> TextSpecial = [] {
    std::array<bool, 256> table{};
    for (std::size_t c = 0; c < 0x20; ++c)
        table[c] = IsForbiddenControl(static_cast<unsigned char>(c));
    table['<'] = table['&'] = table['\r'] = table[']'] = true;
    return table;
}();

bool IsXmlChar(unsigned long cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
           (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

std::string Quoted(std::string_view name) {
    return "<" + std::string(name) + ">";
}

} // namespace

XmlError::XmlError(const std::string& what, int line, int column)
    : Exception("XML error in line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
                what),
      Line_(line), Column_(column) {}

std::optional<std::string_view> XmlReader::AttributeValue(std::string_view localName) const {
    for (const auto& attribute : Attributes_)
        if (attribute.QualifiedName == localName)
            return attribute.Value;
    return std::nullopt;
}

bool XmlReader::IsWhitespace() const {
    return std::all_of(Text_.begin(), Text_.end(), IsBlank);
}

std::string_view XmlReader::ReadName() {
    const std::size_t start = Pos_;
    if (Pos_ < Doc_.size() && IsNameStart(static_cast<unsigned char>(Doc_[Pos_]))) {
        ++Pos_;
        while (Pos_ < Doc_.size() && IsNameChar(static_cast<unsigned char>(Doc_[Pos_])))
            ++Pos_;
    }
    return Doc_.substr(start, Pos_ - start);
}

void XmlReader::SkipBlanks() {
    while (Pos_ < Doc_.size() && IsBlank(Doc_[Pos_]))
        ++Pos_;
}

void XmlReader::SkipComment() {
    const std::size_t start = Pos_;
    const std::size_t end = Find("-->", Pos_ + 4);
    if (end == std::string_view::npos)
        Fail("comment without its end \"-->\"", start);
    std::string_view content = Doc_.substr(Pos_ + 4, end - Pos_ - 4);
    if (content.find("--") != std::string_view::npos || (!content.empty() && content.back() == '-'))
        Fail("\"--\" inside a comment", start);
    Pos_ = end + 3;
}

void XmlReader::SkipProcessingInstruction() {
    const std::size_t start = Pos_;
    Pos_ += 2;
    std::string_view target = ReadName();
    if (target.empty())
        Fail("processing instruction without a target", start);
    std::string lower(target);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    if (lower == "xml" && start + Consumed_ != DocStart_)
        Fail("XML declaration not at the start of the document", start);
    if (Pos_ < Doc_.size() && !IsBlank(Doc_[Pos_]) && !StartsWith("?>"))
        Fail("malformed processing instruction", start);
    const std::size_t end = Find("?>", Pos_);
    if (end == std::string_view::npos)
        Fail("processing instruction without its end \"?>\"", start);
    Pos_ = end + 2;
}

void XmlReader::SkipMisc() {
    for (;;) {
        SkipBlanks();
        if (StartsWith("<?"))
            SkipProcessingInstruction();
        else if (StartsWith("<!--"))
            SkipComment();
        else
            return;
    }
}

void XmlReader::AppendReference(std::string& out) {
    const std::size_t start = Pos_;
    ++Pos_;
    if (Pos_ < Doc_.size() && Doc_[Pos_] == '#') {
        ++Pos_;
        const bool hex = Pos_ < Doc_.size() && Doc_[Pos_] == 'x';
        if (hex)
            ++Pos_;
        unsigned long cp = 0;
        const std::size_t digits = Pos_;
        while (Pos_ < Doc_.size()) {
            const char c = Doc_[Pos_];
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                break;
            // Anything beyond the last code point stays beyond it; it is refused below.
            cp = std::min<unsigned long>(cp * (hex ? 16 : 10) + static_cast<unsigned long>(digit), 0x110000);
            ++Pos_;
        }
        if (Pos_ == digits || Pos_ >= Doc_.size() || Doc_[Pos_] != ';')
            Fail("malformed character reference", start);
        ++Pos_;
        if (!IsXmlChar(cp))
            Fail("character reference to a character XML does not allow", start);
        AppendUtf8(out, static_cast<char32_t>(cp));
        return;
    }
    std::string_view name = ReadName();
    if (name.empty() || Pos_ >= Doc_.size() || Doc_[Pos_] != ';')
        Fail("\"&\" that starts no reference (write &amp;)", start);
    ++Pos_;
    static constexpr std::pair<std::string_view, char> Predefined[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto& [entity, c] : Predefined)
        if (name == entity) {
            out += c;
            return;
        }
    Fail("undefined entity &" + std::string(name) + "; (only the five predefined ones are read)", start);
}

void XmlReader::ReadText() {
    TokenStart_ = Pos_;
    TextBuffer_.clear();
    bool buffered = false;
    std::size_t run = Pos_;
    auto flush = [&] {
        TextBuffer_.append(Doc_.substr(run, Pos_ - run));
        buffered = true;
    };
    const std::size_t n = Doc_.size();
    while (Pos_ < n) {
        const auto c = static_cast<unsigned char>(Doc_[Pos_]);
        if (!TextSpecial[c]) {
            ++Pos_;
            continue;
        }
        if (c == '<') {
            // A CDATA section continues the text: the window must show whether one starts.
            if (!Exhausted_ && n - Pos_ < 9)
                throw NeedMore{};
            if (!StartsWith("<![CDATA["))
                break;
            flush();
            const std::size_t start = Pos_;
            const std::size_t end = Find("]]>", Pos_ + 9);
            if (end == std::string_view::npos)
                Fail("CDATA section without its end \"]]>\"", start);
            for (std::size_t i = Pos_ + 9; i < end; ++i) {
                const auto d = static_cast<unsigned char>(Doc_[i]);
                if (IsForbiddenControl(d))
                    Fail("control character in a CDATA section", i);
                if (d == '\r') {
                    TextBuffer_ += '\n';
                    if (i + 1 < end && Doc_[i + 1] == '\n')
                        ++i;
                } else {
                    TextBuffer_ += static_cast<char>(d);
                }
            }
            Pos_ = run = end + 3;
        } else if (c == '&') {
            flush();
            AppendReference(TextBuffer_);
            run = Pos_;
        } else if (c == '\r') {
            flush();
            TextBuffer_ += '\n';
            ++Pos_;
            if (Pos_ < n && Doc_[Pos_] == '\n')
                ++Pos_;
            run = Pos_;
        } else if (c == ']') {
            if (StartsWith("]]>"))
                Fail("\"]]>\" in text", Pos_);
            ++Pos_;
        } else {
            Fail("control character in text", Pos_);
        }
    }
    if (!Exhausted_ && Pos_ >= n)
        throw NeedMore{}; // the text may go on
    if (buffered) {
        flush();
        Text_ = TextBuffer_;
    } else {
        Text_ = Doc_.substr(run, Pos_ - run);
    }
}

std::string_view XmlReader::TextStack::Push(std::string_view text) {
    if (Current_ < Blocks_.size() && text.size() > Blocks_[Current_].Size - Used_) {
        ++Current_;
        Used_ = 0;
    }
    if (Current_ == Blocks_.size() || Blocks_[Current_].Size < text.size()) {
        const std::size_t size = std::max(DefaultBlock, text.size());
        Blocks_.insert(Blocks_.begin() + static_cast<std::ptrdiff_t>(Current_),
                       Block{std::make_unique<char[]>(size), size});
    }
    char* at = Blocks_[Current_].Data.get() + Used_;
    std::copy(text.begin(), text.end(), at);
    Used_ += text.size();
    return {at, text.size()};
}

std::string_view XmlReader::Resolve(std::string_view prefix, bool isElement, std::size_t at) const {
    if (prefix.empty())
        return isElement && DefaultBinding_ != NoBinding ? Bindings_[DefaultBinding_].UriView()
                                                         : std::string_view();
    if (prefix == "xml")
        return XmlNamespace;
    if (prefix == "xmlns" && !isElement)
        return XmlnsNamespace;
    if (auto it = InScope_.find(prefix); it != InScope_.end() && it->second != NoBinding)
        return Bindings_[it->second].UriView();
    Fail("undeclared namespace prefix \"" + std::string(prefix) + "\"", at);
}

void XmlReader::Bind(std::string_view prefix, std::string_view uri) {
    // The default namespace, declared on many elements, needs no lookup; a prefix's slot, once made, stays.
    std::uint32_t* slot = &DefaultBinding_;
    if (!prefix.empty()) {
        auto it = InScope_.find(prefix);
        if (it == InScope_.end())
            it = InScope_.emplace(std::string(prefix), NoBinding).first;
        slot = &it->second;
    }
    // A declaration of what is in force already changes nothing: it takes no room, however deep it repeats.
    if (*slot != NoBinding && Bindings_[*slot].UriView() == uri)
        return;
    const std::string_view copy = Texts_.Push(uri);
    Bindings_.push_back({slot, copy.data(), static_cast<std::uint32_t>(copy.size()), *slot});
    *slot = static_cast<std::uint32_t>(Bindings_.size() - 1);
}

void XmlReader::UnbindTo(std::size_t size) {
    while (Bindings_.size() > size) {
        const Binding& last = Bindings_.back();
        *last.Slot = last.Shadowed;
        Bindings_.pop_back();
    }
}

namespace {

// Splits "p:local" at its colon; fails (returns false) for a name with an empty part or a second colon.
bool SplitQualified(std::string_view name, std::string_view& prefix, std::string_view& local) {
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos) {
        prefix = {};
        local = name;
        return true;
    }
    prefix = name.substr(0, colon);
    local = name.substr(colon + 1);
    return !prefix.empty() && !local.empty() && local.find(':') == std::string_view::npos;
}

} // namespace

void XmlReader::ReadStartTag() {
    TokenStart_ = Pos_;
    ++Pos_;
    std::string_view name = ReadName();
    if (name.empty())
        Fail("malformed start tag", TokenStart_);
    Raw_.clear();
    Values_.clear();
    const std::size_t n = Doc_.size();
    for (;;) {
        const std::size_t before = Pos_;
        SkipBlanks();
        if (Pos_ >= n)
            Fail("start tag " + Quoted(name) + " not closed", TokenStart_);
        if (Doc_[Pos_] == '>') {
            ++Pos_;
            break;
        }
        if (StartsWith("/>")) {
            Pos_ += 2;
            EmptyElement_ = true;
            break;
        }
        const std::size_t attributeStart = Pos_;
        if (Pos_ == before)
            Fail("attributes must be separated by blanks", attributeStart);
        std::string_view attribute = ReadName();
        if (attribute.empty())
            Fail("malformed attribute in " + Quoted(name), attributeStart);
        SkipBlanks();
        if (Pos_ >= n || Doc_[Pos_] != '=')
            Fail("attribute " + std::string(attribute) + " without a value", attributeStart);
        ++Pos_;
        SkipBlanks();
        if (Pos_ >= n || (Doc_[Pos_] != '"' && Doc_[Pos_] != '\''))
            Fail("attribute value of " + std::string(attribute) + " not in quotes", attributeStart);
        const char quote = Doc_[Pos_++];
        const std::size_t valueStart = Pos_;
        RawAttribute raw{attribute, valueStart, 0, false};
        std::size_t run = Pos_;
        for (;;) {
            if (Pos_ >= n)
                Fail("attribute value of " + std::string(attribute) + " not closed", attributeStart);
            const char c = Doc_[Pos_];
            if (c == quote)
                break;
            if (c == '<')
                Fail("\"<\" in an attribute value", Pos_);
            if (IsForbiddenControl(static_cast<unsigned char>(c)))
                Fail("control character in an attribute value", Pos_);
            if (c != '&' && c != '\t' && c != '\n' && c != '\r') {
                ++Pos_;
                continue;
            }
            if (!raw.Decoded) {
                raw.Decoded = true;
                raw.ValueStart = Values_.size();
            }
            Values_.append(Doc_.substr(run, Pos_ - run));
            if (c == '&') {
                AppendReference(Values_);
            } else {
                // Line ends and TABs in a value read as one blank each, CR LF included.
                Values_ += ' ';
                ++Pos_;
                if (c == '\r' && Pos_ < n && Doc_[Pos_] == '\n')
                    ++Pos_;
            }
            run = Pos_;
        }
        if (raw.Decoded) {
            Values_.append(Doc_.substr(run, Pos_ - run));
            raw.ValueSize = Values_.size() - raw.ValueStart;
        } else {
            raw.ValueSize = Pos_ - valueStart;
        }
        ++Pos_; // the closing quote
        Raw_.push_back(raw);
    }

    // Each attribute once: pairwise for the usual few, sorted for many, so no tag takes quadratic time.
    if (Raw_.size() <= 16) {
        for (std::size_t i = 0; i < Raw_.size(); ++i)
            for (std::size_t j = i + 1; j < Raw_.size(); ++j)
                if (Raw_[i].Name == Raw_[j].Name)
                    Fail("attribute " + std::string(Raw_[j].Name) + " given twice", TokenStart_);
    } else {
        std::vector<std::string_view> names;
        names.reserve(Raw_.size());
        for (const auto& raw : Raw_)
            names.push_back(raw.Name);
        std::sort(names.begin(), names.end());
        auto twice = std::adjacent_find(names.begin(), names.end());
        if (twice != names.end())
            Fail("attribute " + std::string(*twice) + " given twice", TokenStart_);
    }

    const std::string_view copy = Texts_.Push(name);
    Open_.push_back({copy.data(), static_cast<std::uint32_t>(copy.size()),
                     static_cast<std::uint32_t>(Texts_.CurrentBlock()),
                     static_cast<std::uint32_t>(Bindings_.size())});
    Depth_ = static_cast<int>(Open_.size());
    auto valueOf = [this](const RawAttribute& raw) {
        return raw.Decoded ? std::string_view(Values_).substr(raw.ValueStart, raw.ValueSize)
                           : Doc_.substr(raw.ValueStart, raw.ValueSize);
    };
    for (const auto& raw : Raw_) {
        if (raw.Name == "xmlns")
            Bind({}, valueOf(raw));
        else if (raw.Name.substr(0, 6) == "xmlns:")
            Bind(raw.Name.substr(6), valueOf(raw));
    }
    std::string_view prefix;
    if (!SplitQualified(name, prefix, LocalName_))
        Fail("malformed element name " + Quoted(name), TokenStart_);
    Name_ = name;
    NamespaceUri_ = Resolve(prefix, true, TokenStart_);
    Attributes_.clear();
    for (const auto& raw : Raw_) {
        Attribute attribute;
        attribute.QualifiedName = raw.Name;
        if (!SplitQualified(raw.Name, prefix, attribute.LocalName))
            Fail("malformed attribute name " + std::string(raw.Name), TokenStart_);
        attribute.NamespaceUri = Resolve(prefix, false, TokenStart_);
        attribute.Value = valueOf(raw);
        Attributes_.push_back(attribute);
    }
    EmptyEndPending_ = EmptyElement_;
}

void XmlReader::ReadEndTag() {
    TokenStart_ = Pos_;
    Pos_ += 2;
    std::string_view name = ReadName();
    SkipBlanks();
    if (Pos_ >= Doc_.size() || Doc_[Pos_] != '>')
        Fail("malformed end tag", TokenStart_);
    ++Pos_;
    if (name != Open_.back().NameView())
        Fail("end tag </" + std::string(name) + "> does not match " + Quoted(Open_.back().NameView()),
             TokenStart_);
    std::string_view prefix;
    SplitQualified(name, prefix, LocalName_);
    Name_ = name;
    NamespaceUri_ = Resolve(prefix, true, TokenStart_);
    Depth_ = static_cast<int>(Open_.size());
    PopPending_ = true;
}

XmlReader::Token XmlReader::Next() {
    if (Current_ == Token::EndOfDocument)
        return Current_;
    Attributes_.clear();
    Text_ = {};
    if (EmptyEndPending_) {
        // The end of <a/>: same name, same place.
        EmptyEndPending_ = false;
        EmptyElement_ = false;
        PopPending_ = true;
        return Current_ = Token::EndElement;
    }
    EmptyElement_ = false;
    if (PopPending_) {
        PopPending_ = false;
        UnbindTo(Open_.back().Bindings);
        Texts_.PopTo(Open_.back().NameBlock, Open_.back().Name);
        Open_.pop_back();
        Depth_ = static_cast<int>(Open_.size());
    }
    for (;;) {
        // A token that runs past the window is read again from its start once more bytes are in.
        const std::size_t start = Pos_;
        const std::size_t open = Open_.size();
        const std::size_t bindings = Bindings_.size();
        const TextStack::Mark texts = Texts_.Top();
        const bool rootSeen = RootSeen_;
        try {
            return Current_ = ReadToken();
        } catch (const NeedMore&) {
            UnbindTo(bindings);
            Open_.resize(open);
            Texts_.PopTo(texts);
            Depth_ = static_cast<int>(open);
            RootSeen_ = rootSeen;
            EmptyElement_ = EmptyEndPending_ = PopPending_ = false;
            Pos_ = start;
            Refill(start);
        }
    }
}

XmlReader::Token XmlReader::ReadToken() {
    for (;;) {
        if (Open_.empty()) {
            SkipMisc();
            TokenStart_ = Pos_;
            if (!Exhausted_ && Pos_ >= Doc_.size())
                throw NeedMore{};
            if (Pos_ >= Doc_.size()) {
                if (!RootSeen_)
                    Fail("no root element", Pos_);
                return Token::EndOfDocument;
            }
            if (StartsWith("<!DOCTYPE"))
                Fail("DOCTYPE declarations are not read (no entities are expanded)", Pos_);
            if (Doc_[Pos_] != '<' || StartsWith("<!") || StartsWith("</"))
                Fail(RootSeen_ ? "content after the root element" : "content before the root element", Pos_);
            if (RootSeen_)
                Fail("a second root element", Pos_);
            RootSeen_ = true;
            ReadStartTag();
            return Token::StartElement;
        }
        if (Pos_ >= Doc_.size())
            Fail("the document ends inside " + Quoted(Open_.back().NameView()), Pos_);
        if (Doc_[Pos_] != '<' || StartsWith("<![CDATA[")) {
            ReadText();
            return Token::Text;
        }
        if (StartsWith("</")) {
            ReadEndTag();
            return Token::EndElement;
        }
        if (StartsWith("<!--")) {
            SkipComment();
            continue;
        }
        if (StartsWith("<?")) {
            SkipProcessingInstruction();
            continue;
        }
        if (StartsWith("<!"))
            Fail(StartsWith("<!DOCTYPE") ? "DOCTYPE declarations are not read (no entities are expanded)"
                                         : "unknown markup declaration",
                 Pos_);
        ReadStartTag();
        return Token::StartElement;
    }
}

void XmlReader::SkipElement() {
    if (Current_ != Token::StartElement)
        return;
    const int depth = Depth_;
    while (Next() != Token::EndElement || Depth_ != depth) {
    }
}

} // namespace zelo
