#pragma once
// Namespace-aware expat parsing of workbook parts, for the small parts of an
// xlsx package and for the content of an ods file. Document type declarations
// are refused, so no entity can expand.

#include "import/workbook/ZipPackage.h"

#include <QString>

#include <string_view>

namespace rowpour::workbook
{

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

// The local name of a namespace-qualified name.
std::string_view localName(std::string_view qualified);
// The value of the attribute with this local name (any namespace), or nullptr.
const char *attributeValue(const char **attributes, std::string_view local);
// The value of the attribute with exactly this qualified name ("uri|local").
const char *qualifiedAttribute(const char **attributes, std::string_view qualified);

} // namespace rowpour::workbook
