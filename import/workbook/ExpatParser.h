#pragma once
// Namespace-aware expat parsing of workbook parts, for the small parts of an
// xlsx package and for the parts of an ods file. Document type declarations
// are refused, so no entity can expand, and elements may nest at most
// kMaxXmlDepth deep, so a hostile part cannot make the parser's own stack grow.

#include "import/workbook/ByteSource.h"

#include <QString>

#include <memory>
#include <string_view>

namespace rowpour::workbook
{

// Far deeper than any workbook part nests.
constexpr int kMaxXmlDepth = 256;

class XmlHandler
{
public:
    virtual ~XmlHandler() = default;
    // `name` is the element's namespace URI and local name joined by '|'
    // ("urn:...:table:1.0|table-cell"); attributes alternate name and value.
    virtual void startElement(std::string_view name, const char **attributes) = 0;
    virtual void endElement(std::string_view name) = 0;
    virtual void characters(std::string_view) {}
};

// Runs the handler over the whole part; throws FormatError naming the part on
// malformed XML. The handler may throw FormatError itself.
void parseXml(ByteSource &source, XmlHandler &handler, const QString &partName);
void parseXml(std::string_view text, XmlHandler &handler, const QString &partName);

// Runs a handler over a part in steps: each step parses until the handler
// calls pause() or the part ends, so a reader can hand out what it found so
// far and hold no more.
class XmlPullParser
{
public:
    XmlPullParser(std::unique_ptr<ByteSource> source, XmlHandler &handler, QString partName);
    ~XmlPullParser();
    XmlPullParser(const XmlPullParser &) = delete;
    XmlPullParser &operator=(const XmlPullParser &) = delete;

    // Parses on; true when the handler paused, false at the end of the part.
    bool resume();
    // From inside a handler call: stop after this call.
    void pause();
    // From inside a handler call: stop for good, as if the part ended here.
    void finish();

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// The local name of a namespace-qualified name.
std::string_view localName(std::string_view qualified);
// The value of the attribute with this local name (any namespace), or nullptr.
const char *attributeValue(const char **attributes, std::string_view local);
// The value of the attribute with exactly this qualified name ("uri|local").
const char *qualifiedAttribute(const char **attributes, std::string_view qualified);

} // namespace rowpour::workbook
