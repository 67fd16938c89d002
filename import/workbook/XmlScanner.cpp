#include "import/workbook/XmlScanner.h"

#include "import/workbook/ExpatParser.h"
#include "import/workbook/WorkbookErrors.h"

#include <algorithm>
#include <cstring>

namespace rowpour::workbook
{

namespace
{

constexpr std::size_t kChunk = std::size_t(256) << 10;
// A single tag or comment larger than this is no spreadsheet content.
constexpr std::size_t kMaxToken = std::size_t(64) << 20;
// A longer text is handed out in pieces of about this size.
constexpr std::size_t kTextPiece = std::size_t(128) << 10;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool endsName(char c)
{
    return isSpace(c) || c == '>' || c == '/' || c == '=';
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

char *putUtf8(char *out, std::uint32_t cp)
{
    if (cp < 0x80) {
        *out++ = char(cp);
    } else if (cp < 0x800) {
        *out++ = char(0xC0 | (cp >> 6));
        *out++ = char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = char(0xE0 | (cp >> 12));
        *out++ = char(0x80 | ((cp >> 6) & 0x3F));
        *out++ = char(0x80 | (cp & 0x3F));
    } else {
        *out++ = char(0xF0 | (cp >> 18));
        *out++ = char(0x80 | ((cp >> 12) & 0x3F));
        *out++ = char(0x80 | ((cp >> 6) & 0x3F));
        *out++ = char(0x80 | (cp & 0x3F));
    }
    return out;
}

bool isXmlChar(std::uint32_t cp)
{
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
           (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

// Whether a text (or attribute value) holds a reference or a line end that
// decoding changes.
bool needsDecoding(std::string_view raw, bool attribute)
{
    for (char c : raw)
        if (c == '&' || c == '\r' || (attribute && (c == '\n' || c == '\t')))
            return true;
    return false;
}

} // namespace

XmlScanner::XmlScanner(ByteSource &source, QString partName)
    : source_(source), part_(std::move(partName)), buf_(kChunk)
{
}

void XmlScanner::fail(const QString &detail) const
{
    throw damaged(QStringLiteral("part %1: %2").arg(part_, detail));
}

bool XmlScanner::fill()
{
    if (eof_)
        return false;
    if (pos_ != 0) {
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == buf_.size()) {
        if (buf_.size() >= kMaxToken)
            fail(QStringLiteral("an element or text is too large"));
        buf_.resize(buf_.size() * 2);
    }
    const std::size_t n = source_.read(buf_.data() + end_, buf_.size() - end_);
    if (n == 0) {
        eof_ = true;
        return false;
    }
    end_ += n;
    return true;
}

// Makes at least `bytes` bytes from pos_ available; false at the end of data.
bool XmlScanner::ensure(std::size_t bytes)
{
    while (end_ - pos_ < bytes)
        if (!fill())
            return false;
    return true;
}

std::string_view XmlScanner::stripPrefix(std::string_view qualified) const
{
    const std::size_t colon = qualified.rfind(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

// Decodes references and line ends of `raw` (inside buf_) in place; the
// result never grows, so it overwrites the raw bytes.
std::string_view XmlScanner::decode(std::string_view raw, bool attribute)
{
    char *w = const_cast<char *>(raw.data());
    const char *r = raw.data();
    const char *end = r + raw.size();
    while (r < end) {
        const char c = *r;
        if (c == '\r') {
            *w++ = attribute ? ' ' : '\n';
            r += (r + 1 < end && r[1] == '\n') ? 2 : 1;
            continue;
        }
        if (attribute && (c == '\n' || c == '\t')) {
            *w++ = ' ';
            ++r;
            continue;
        }
        if (c != '&') {
            *w++ = c;
            ++r;
            continue;
        }
        const char *semi = static_cast<const char *>(std::memchr(r, ';', std::size_t(end - r)));
        if (semi == nullptr || semi - r > 12)
            fail(QStringLiteral("a stray '&' in text"));
        const std::string_view ref(r + 1, std::size_t(semi - r - 1));
        if (ref == "lt")
            *w++ = '<';
        else if (ref == "gt")
            *w++ = '>';
        else if (ref == "amp")
            *w++ = '&';
        else if (ref == "quot")
            *w++ = '"';
        else if (ref == "apos")
            *w++ = '\'';
        else if (ref.size() >= 2 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            std::uint32_t cp = 0;
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            if (digits.empty())
                fail(QStringLiteral("an empty character reference"));
            for (char d : digits) {
                const int v = hex ? hexDigit(d) : (d >= '0' && d <= '9' ? d - '0' : -1);
                if (v < 0 || cp > 0x10FFFF)
                    fail(QStringLiteral("a bad character reference"));
                cp = cp * (hex ? 16 : 10) + std::uint32_t(v);
            }
            if (!isXmlChar(cp))
                fail(QStringLiteral("a character reference to no character"));
            w = putUtf8(w, cp);
        } else {
            fail(QStringLiteral("the undefined entity &%1;")
                     .arg(QString::fromUtf8(ref.data(), qsizetype(ref.size()))));
        }
        r = semi + 1;
    }
    return std::string_view(raw.data(), std::size_t(w - raw.data()));
}

std::string_view XmlScanner::decodeLineEnds(std::string_view raw)
{
    char *w = const_cast<char *>(raw.data());
    const char *r = raw.data();
    const char *end = r + raw.size();
    while (r < end) {
        if (*r == '\r') {
            *w++ = '\n';
            r += (r + 1 < end && r[1] == '\n') ? 2 : 1;
        } else {
            *w++ = *r++;
        }
    }
    return std::string_view(raw.data(), std::size_t(w - raw.data()));
}

XmlScanner::Event XmlScanner::next()
{
    if (pendingEnd_) {
        pendingEnd_ = false;
        return Event::EndElement;
    }
    if (!started_) {
        started_ = true;
        if (ensure(2) &&
            ((buf_[0] == '\xFE' && buf_[1] == '\xFF') || (buf_[0] == '\xFF' && buf_[1] == '\xFE')))
            fail(QStringLiteral("UTF-16 text is not supported"));
        if (ensure(3) && std::memcmp(buf_.data(), "\xEF\xBB\xBF", 3) == 0)
            pos_ += 3;
    }
    for (;;) {
        if (!ensure(1))
            return Event::End;
        if (buf_[pos_] != '<')
            return scanText();
        if (!ensure(2))
            fail(QStringLiteral("the text ends inside a tag"));
        const char c = buf_[pos_ + 1];
        if (c == '/')
            return scanEndTag();
        if (c != '?' && c != '!')
            return scanStartTag();
        std::size_t end;
        if (c == '?') {
            if (!skipTo(2, "?>", end))
                fail(QStringLiteral("the text ends inside a processing instruction"));
            pos_ += end;
            continue;
        }
        ensure(9);
        const std::string_view head(buf_.data() + pos_, std::min<std::size_t>(9, end_ - pos_));
        if (head.substr(0, 4) == "<!--") {
            if (!skipTo(4, "-->", end))
                fail(QStringLiteral("the text ends inside a comment"));
            pos_ += end;
            continue;
        }
        if (head == "<![CDATA[") {
            if (!skipTo(9, "]]>", end))
                fail(QStringLiteral("the text ends inside a CDATA section"));
            text_ = decodeLineEnds(std::string_view(buf_.data() + pos_ + 9, end - 12));
            pos_ += end;
            return Event::Text;
        }
        fail(QStringLiteral("document type declarations are not allowed"));
    }
}

// Finds `terminator` at or after pos_ + from; `end` is the offset from pos_
// just past it.
bool XmlScanner::skipTo(std::size_t from, std::string_view terminator, std::size_t &end)
{
    std::size_t searchFrom = from;
    for (;;) {
        const std::string_view data(buf_.data() + pos_, end_ - pos_);
        const std::size_t found = data.find(terminator, searchFrom);
        if (found != std::string_view::npos) {
            end = found + terminator.size();
            return true;
        }
        if (data.size() >= terminator.size())
            searchFrom = std::max(searchFrom, data.size() - terminator.size() + 1);
        if (!fill())
            return false;
    }
}

XmlScanner::Event XmlScanner::scanText()
{
    std::size_t searched = 0;
    std::size_t lt;
    for (;;) {
        const char *begin = buf_.data() + pos_;
        const void *found = std::memchr(begin + searched, '<', end_ - pos_ - searched);
        if (found != nullptr) {
            lt = std::size_t(static_cast<const char *>(found) - begin);
            break;
        }
        searched = end_ - pos_;
        if (searched >= kTextPiece) {
            lt = pieceEnd(std::string_view(buf_.data() + pos_, searched));
            break;
        }
        if (!fill()) {
            lt = end_ - pos_;
            break;
        }
    }
    const std::string_view raw(buf_.data() + pos_, lt);
    pos_ += lt;
    if (!needsDecoding(raw, false)) {
        text_ = raw;
    } else {
        text_ = decode(raw, false);
    }
    return Event::Text;
}

// Where a piece of a long text may end: not inside a reference, nor between
// the two characters of a CR LF line end.
std::size_t XmlScanner::pieceEnd(std::string_view raw)
{
    std::size_t end = raw.size();
    const std::size_t amp = raw.rfind('&');
    if (amp != std::string_view::npos && raw.size() - amp <= 12 &&
        raw.find(';', amp) == std::string_view::npos)
        end = amp;
    if (end > 0 && raw[end - 1] == '\r')
        --end;
    return end;
}

XmlScanner::Event XmlScanner::scanEndTag()
{
    for (;;) {
        const char *begin = buf_.data() + pos_;
        const void *found = std::memchr(begin + 2, '>', end_ - pos_ - 2);
        if (found == nullptr) {
            if (!fill())
                fail(QStringLiteral("the text ends inside a tag"));
            continue;
        }
        const std::size_t gt = std::size_t(static_cast<const char *>(found) - begin);
        std::string_view name(begin + 2, gt - 2);
        while (!name.empty() && isSpace(name.back()))
            name.remove_suffix(1);
        if (name.empty() || std::any_of(name.begin(), name.end(),
                                        [](char ch) { return isSpace(ch) || ch == '/' || ch == '<'; }))
            fail(QStringLiteral("a malformed end tag"));
        if (depth_ == 0)
            fail(QStringLiteral("an end tag without its start tag"));
        --depth_;
        name_ = stripPrefix(name);
        pos_ += gt + 1;
        return Event::EndElement;
    }
}

XmlScanner::Event XmlScanner::scanStartTag()
{
    for (;;) {
        attrs_.clear();
        const char *begin = buf_.data() + pos_;
        const std::size_t size = end_ - pos_;
        std::size_t i = 1;
        while (i < size && !endsName(begin[i]))
            ++i;
        if (i == size) {
            if (!fill())
                fail(QStringLiteral("the text ends inside a tag"));
            continue;
        }
        if (i == 1)
            fail(QStringLiteral("a tag without a name"));
        const std::string_view name(begin + 1, i - 1);
        bool complete = false, selfClosing = false;
        while (i < size) {
            while (i < size && isSpace(begin[i]))
                ++i;
            if (i == size)
                break;
            if (begin[i] == '>') {
                complete = true;
                ++i;
                break;
            }
            if (begin[i] == '/') {
                if (i + 1 == size)
                    break;
                if (begin[i + 1] != '>')
                    fail(QStringLiteral("a malformed tag"));
                complete = selfClosing = true;
                i += 2;
                break;
            }
            const std::size_t nameBegin = i;
            while (i < size && !endsName(begin[i]))
                ++i;
            const std::size_t nameEnd = i;
            while (i < size && isSpace(begin[i]))
                ++i;
            if (i == size)
                break;
            if (begin[i] != '=' || nameEnd == nameBegin)
                fail(QStringLiteral("a malformed attribute"));
            ++i;
            while (i < size && isSpace(begin[i]))
                ++i;
            if (i == size)
                break;
            const char quote = begin[i];
            if (quote != '"' && quote != '\'')
                fail(QStringLiteral("an attribute value without quotes"));
            const void *close = std::memchr(begin + i + 1, quote, size - i - 1);
            if (close == nullptr) {
                i = size;
                break;
            }
            const std::size_t valueEnd = std::size_t(static_cast<const char *>(close) - begin);
            if (std::memchr(begin + i + 1, '<', valueEnd - i - 1) != nullptr)
                fail(QStringLiteral("a '<' inside an attribute value"));
            attrs_.push_back({pos_ + nameBegin, nameEnd - nameBegin, pos_ + i + 1, valueEnd - i - 1, false});
            i = valueEnd + 1;
            if (i < size && !isSpace(begin[i]) && begin[i] != '>' && begin[i] != '/')
                fail(QStringLiteral("attributes without a blank between them"));
        }
        if (!complete) {
            if (!fill())
                fail(QStringLiteral("the text ends inside a tag"));
            continue;
        }
        if (!selfClosing && ++depth_ > kMaxXmlDepth)
            fail(QStringLiteral("the elements nest deeper than %1 levels").arg(kMaxXmlDepth));
        name_ = stripPrefix(name);
        pos_ += i;
        pendingEnd_ = selfClosing;
        return Event::StartElement;
    }
}

bool XmlScanner::attribute(std::string_view name, std::string_view &value)
{
    for (Attribute &a : attrs_) {
        if (std::string_view(buf_.data() + a.nameBegin, a.nameSize) != name)
            continue;
        std::string_view raw(buf_.data() + a.valueBegin, a.valueSize);
        if (!a.decoded && needsDecoding(raw, true)) {
            raw = decode(raw, true);
            a.valueSize = raw.size();
        }
        a.decoded = true;
        value = raw;
        return true;
    }
    return false;
}

} // namespace rowpour::workbook
