// The reader's window on the document: a document held whole, or a source read in blocks of which only what
// the current token needs is kept; and the line and column of a place in it, counted across dropped blocks.
#include "ets/XmlReader.h"

#include <algorithm>

namespace zelo {

namespace {

bool IsLineEnd(std::string_view doc, std::size_t i) {
    return doc[i] == '\n' || (doc[i] == '\r' && (i + 1 >= doc.size() || doc[i + 1] != '\n'));
}

bool StartsCharacter(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

} // namespace

XmlReader::XmlReader(std::string_view document) : Doc_(document) {
    if (Doc_.substr(0, 3) == "\xEF\xBB\xBF")
        Pos_ = 3;
    DocStart_ = Pos_;
    LineCountedTo_ = Pos_;
}

XmlReader::XmlReader(ByteSource& source, std::string head, std::size_t block)
    : Source_(&source), Buffer_(std::move(head)), Exhausted_(false), Block_(std::max<std::size_t>(block, 1)) {
    // Enough for the byte-order mark.
    do
        Refill(0);
    while (Doc_.size() < 3 && !Exhausted_);
    if (Doc_.substr(0, 3) == "\xEF\xBB\xBF")
        Pos_ = 3;
    DocStart_ = Pos_;
    LineCountedTo_ = Pos_;
}

void XmlReader::Refill(std::size_t keepFrom) {
    // What is dropped still counts for the lines and columns that messages name.
    for (std::size_t i = LineCountedTo_; i < keepFrom; ++i)
        if (IsLineEnd(Doc_, i))
            ++LineAtCounted_;
    std::size_t lineStart = keepFrom;
    while (lineStart > 0 && !IsLineEnd(Doc_, lineStart - 1))
        --lineStart;
    int characters = lineStart == 0 ? WindowColumn_ : 0;
    for (std::size_t i = lineStart; i < keepFrom; ++i)
        characters += StartsCharacter(Doc_[i]) && i + Consumed_ >= DocStart_;
    WindowColumn_ = characters;
    WindowLine_ = LineAtCounted_;
    Buffer_.erase(0, keepFrom);
    Consumed_ += keepFrom;
    LineCountedTo_ = 0;
    Pos_ -= std::min(Pos_, keepFrom);
    TokenStart_ -= std::min(TokenStart_, keepFrom);

    const std::size_t kept = Buffer_.size();
    // A token longer than the window doubles it.
    const std::size_t wanted = std::max(Block_, kept);
    Buffer_.resize(kept + wanted);
    const std::size_t got = ReadFully(*Source_, Buffer_.data() + kept, wanted);
    if (got < wanted)
        Exhausted_ = true;
    Buffer_.resize(kept + got);
    Doc_ = Buffer_;
}

void XmlReader::PositionAt(std::size_t at, int& line, int& column) const {
    line = WindowLine_;
    std::size_t lineStart = 0;
    at = std::min(at, Doc_.size());
    for (std::size_t i = 0; i < at; ++i) {
        if (IsLineEnd(Doc_, i)) {
            ++line;
            lineStart = i + 1;
        }
    }
    column = 1 + (lineStart == 0 ? WindowColumn_ : 0);
    for (std::size_t i = lineStart; i < at; ++i)
        column += StartsCharacter(Doc_[i]) && i + Consumed_ >= DocStart_;
}

void XmlReader::Fail(const std::string& what, std::size_t at) const {
    // A fault may only be the window's end: the fault is known once the rest has been read.
    if (!Exhausted_)
        throw NeedMore{};
    int line = 0;
    int column = 0;
    PositionAt(at, line, column);
    throw XmlError(what, line, column);
}

int XmlReader::Line() {
    for (std::size_t i = LineCountedTo_; i < TokenStart_; ++i)
        if (IsLineEnd(Doc_, i))
            ++LineAtCounted_;
    LineCountedTo_ = std::max(LineCountedTo_, TokenStart_);
    return LineAtCounted_;
}

int XmlReader::Column() const {
    int line = 0;
    int column = 0;
    PositionAt(TokenStart_, line, column);
    return column;
}

} // namespace zelo
