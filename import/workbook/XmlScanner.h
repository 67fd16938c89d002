#pragma once
// A fast pull scanner for the large XML parts of a workbook (the sheet and its
// shared strings). It reads the part piece by piece, so memory stays bounded
// by the largest single tag (a long text comes in pieces), and it handles
// what well-formed XML may contain there: any attribute order, namespace
// prefixes, the predefined entities and character references, CDATA,
// comments, processing instructions and line-end normalisation. Document type
// declarations are refused, so no entity can expand, and elements may nest
// at most kMaxXmlDepth deep.

#include "import/workbook/ByteSource.h"

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace rowpour::workbook
{

class XmlScanner
{
public:
    enum class Event { StartElement, EndElement, Text, End };

    XmlScanner(ByteSource &source, QString partName);

    Event next();
    // Name without its namespace prefix, of the element just started or ended.
    std::string_view localName() const { return name_; }
    // Value of an attribute without prefix of the element just started; false
    // when absent. The view lasts until the next call of next().
    bool attribute(std::string_view name, std::string_view &value);
    // The decoded text of a Text event (one piece: a text may come in several).
    std::string_view text() const { return text_; }

    [[noreturn]] void fail(const QString &detail) const;
    const QString &partName() const { return part_; }

private:
    struct Attribute {
        std::size_t nameBegin, nameSize, valueBegin, valueSize;
        bool decoded;
    };

    bool ensure(std::size_t bytes);
    bool fill();
    std::size_t findInBuffer(std::size_t from, std::string_view what);
    Event scanMarkup();
    Event scanText();
    Event scanStartTag();
    Event scanEndTag();
    bool skipTo(std::size_t from, std::string_view terminator, std::size_t &end);
    std::string_view decode(std::string_view raw, bool attribute);
    std::string_view decodeLineEnds(std::string_view raw);
    std::string_view stripPrefix(std::string_view qualified) const;
    static std::size_t pieceEnd(std::string_view raw);

    ByteSource &source_;
    QString part_;
    std::vector<char> buf_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool pendingEnd_ = false;
    bool started_ = false;
    int depth_ = 0;
    std::string_view name_;
    std::string_view text_;
    std::vector<Attribute> attrs_;
};

} // namespace rowpour::workbook
