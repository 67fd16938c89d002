// OpenDocument spreadsheets: the first table of content.xml, read as a
// stream. Repeated rows and columns become blocks and runs of the sheet
// store, so the long repeats of trailing empty rows are never expanded.

#include "import/workbook/CellText.h"
#include "import/workbook/ExpatParser.h"
#include "import/workbook/Readers.h"
#include "import/workbook/TextCodec.h"
#include "import/workbook/WorkbookErrors.h"

#include <charconv>
#include <cmath>

namespace rowpour::workbook
{

namespace
{

constexpr std::string_view kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0|";
constexpr std::string_view kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0|";
constexpr std::string_view kText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0|";
constexpr std::string_view kCalcExtension =
    "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0|";

const QString kContentPart = QStringLiteral("content.xml");

bool is(std::string_view name, std::string_view ns, std::string_view local)
{
    return name.size() == ns.size() + local.size() && name.starts_with(ns) && name.substr(ns.size()) == local;
}

std::string attribute(const char **attrs, std::string_view ns, std::string_view local)
{
    std::string qualified(ns);
    qualified += local;
    const char *v = qualifiedAttribute(attrs, qualified);
    return v ? v : std::string();
}

class ContentHandler : public XmlHandler
{
public:
    explicit ContentHandler(SheetBuilder &builder) : builder_(builder) {}

    bool sawTable() const { return tablesSeen_ > 0; }

    void startElement(std::string_view name, const char **attrs) override
    {
        if (done_)
            return;
        if (is(name, kTable, "table")) {
            ++tableDepth_;
            ++tablesSeen_;
            return;
        }
        if (tableDepth_ != 1 || tablesSeen_ != 1)
            return;
        if (cellDepth_ > 0) {
            startInsideCell(name, attrs);
            return;
        }
        if (is(name, kTable, "table-row")) {
            rowRepeat_ = repeat(attrs, "number-rows-repeated");
            column_ = 1;
        } else if (is(name, kTable, "table-cell") || is(name, kTable, "covered-table-cell")) {
            startCell(attrs);
        }
    }

    void endElement(std::string_view name) override
    {
        if (done_)
            return;
        if (is(name, kTable, "table")) {
            if (--tableDepth_ == 0)
                done_ = true; // the first table is the sheet
            return;
        }
        if (tableDepth_ != 1 || tablesSeen_ != 1)
            return;
        if (cellDepth_ > 0) {
            endInsideCell(name);
            return;
        }
        if (is(name, kTable, "table-row")) {
            builder_.endRow(int(std::min<std::int64_t>(row_, kOdsMaxRows + 1)),
                            int(std::min<std::int64_t>(rowRepeat_, kOdsMaxRows)));
            row_ += rowRepeat_;
        }
    }

    void characters(std::string_view text) override
    {
        if (cellDepth_ == 0 || annotationDepth_ > 0 || paragraphDepth_ == 0)
            return;
        // Blanks in paragraph text collapse to one; text:s gives exact blanks.
        for (char c : text) {
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                if (!text_.empty() && !lastWasBlank_ && !paragraphStart_)
                    text_ += ' ';
                lastWasBlank_ = true;
                continue;
            }
            text_ += c;
            lastWasBlank_ = paragraphStart_ = false;
            checkSize();
        }
    }

private:
    std::int64_t repeat(const char **attrs, std::string_view local) const
    {
        const std::string value = attribute(attrs, kTable, local);
        if (value.empty())
            return 1;
        std::int64_t n = 0;
        const auto r = std::from_chars(value.data(), value.data() + value.size(), n);
        if (r.ec != std::errc() || n < 1)
            throw damaged(QStringLiteral("part content.xml: the repeat count \"%1\" is invalid")
                              .arg(QString::fromStdString(value.substr(0, 20))));
        return n;
    }

    void startCell(const char **attrs)
    {
        cellDepth_ = 1;
        cellRepeat_ = repeat(attrs, "number-columns-repeated");
        type_ = attribute(attrs, kOffice, "value-type");
        value_ = type_ == "date"      ? attribute(attrs, kOffice, "date-value")
                 : type_ == "time"    ? attribute(attrs, kOffice, "time-value")
                 : type_ == "boolean" ? attribute(attrs, kOffice, "boolean-value")
                 : type_ == "string"  ? attribute(attrs, kOffice, "string-value")
                                      : attribute(attrs, kOffice, "value");
        hasStringValue_ =
            type_ == "string" && qualifiedAttribute(attrs, std::string(kOffice) + "string-value");
        // Error results are strings with an empty value; their text is the error.
        isError_ = attribute(attrs, kCalcExtension, "value-type") == "error";
        text_.clear();
        paragraphs_ = 0;
    }

    void startInsideCell(std::string_view name, const char **attrs)
    {
        ++cellDepth_;
        if (is(name, kOffice, "annotation")) {
            ++annotationDepth_;
        } else if (annotationDepth_ > 0) {
            return;
        } else if (is(name, kText, "p") || is(name, kText, "h")) {
            if (paragraphs_++ > 0)
                text_ += '\n';
            ++paragraphDepth_;
            paragraphStart_ = true;
            lastWasBlank_ = false;
        } else if (paragraphDepth_ > 0 && is(name, kText, "s")) {
            const std::string c = attribute(attrs, kText, "c");
            int n = 1;
            if (!c.empty())
                std::from_chars(c.data(), c.data() + c.size(), n);
            text_.append(std::size_t(std::clamp(n, 1, 1000)), ' ');
            lastWasBlank_ = paragraphStart_ = false;
            checkSize();
        } else if (paragraphDepth_ > 0 && is(name, kText, "tab")) {
            text_ += '\t';
            lastWasBlank_ = paragraphStart_ = false;
        } else if (paragraphDepth_ > 0 && is(name, kText, "line-break")) {
            text_ += '\n';
            lastWasBlank_ = paragraphStart_ = false;
        }
    }

    void endInsideCell(std::string_view name)
    {
        if (--cellDepth_ == 0) {
            endCell();
            return;
        }
        if (is(name, kOffice, "annotation"))
            --annotationDepth_;
        else if (annotationDepth_ == 0 && (is(name, kText, "p") || is(name, kText, "h")))
            --paragraphDepth_;
    }

    void checkSize() const
    {
        if (text_.size() > (std::size_t(16) << 20))
            throw damaged(QStringLiteral("part content.xml: a cell text is too large"));
    }

    [[noreturn]] void cellFail(const QString &detail) const
    {
        throw damaged(
            QStringLiteral("part content.xml: row %1, column %2: %3").arg(row_).arg(column_).arg(detail));
    }

    std::uint32_t addText(std::string_view text)
    {
        if (!isValidUtf8(text))
            cellFail(QStringLiteral("the text is not valid UTF-8"));
        return builder_.strings().add(text);
    }

    double number(const std::string &text) const
    {
        double v = 0;
        const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
        if (r.ec != std::errc() || r.ptr != text.data() + text.size() || text.empty() || !std::isfinite(v))
            cellFail(QStringLiteral("the number \"%1\" is invalid")
                         .arg(QString::fromStdString(text.substr(0, 40))));
        return v;
    }

    CellValue cellValue()
    {
        if (isError_)
            return text_.empty() ? CellValue::empty() : CellValue::errorValue(addText(text_));
        if (type_.empty())
            return text_.empty() ? CellValue::empty() : CellValue::textValue(addText(text_));
        if (type_ == "float" || type_ == "percentage" || type_ == "currency")
            return CellValue::numberValue(number(value_));
        if (type_ == "boolean") {
            if (value_ == "true" || value_ == "1")
                return CellValue::booleanValue(true);
            if (value_ == "false" || value_ == "0")
                return CellValue::booleanValue(false);
            cellFail(QStringLiteral("the boolean \"%1\" is invalid")
                         .arg(QString::fromStdString(value_.substr(0, 20))));
        }
        std::int64_t millis = 0;
        if (type_ == "date") {
            if (!parseIsoDateTime(value_, millis))
                cellFail(QStringLiteral("the date \"%1\" is invalid")
                             .arg(QString::fromStdString(value_.substr(0, 40))));
            return CellValue::dateTimeValue(millis);
        }
        if (type_ == "time") {
            if (!parseIsoDuration(value_, millis))
                cellFail(QStringLiteral("the time \"%1\" is invalid")
                             .arg(QString::fromStdString(value_.substr(0, 40))));
            constexpr std::int64_t day = 86400000;
            return millis >= 0 && millis < day ? CellValue::timeValue(millis)
                                               : CellValue::dateTimeValue(millis);
        }
        // Strings, and error results (shown as their text: #DIV/0!, Err:502).
        const std::string &text = hasStringValue_ ? value_ : text_;
        return text.empty() ? CellValue::empty() : CellValue::textValue(addText(text));
    }

    void endCell()
    {
        const CellValue value = cellValue();
        if (column_ <= kOdsMaxColumns)
            builder_.addCell(int(column_), int(std::min<std::int64_t>(cellRepeat_, kOdsMaxColumns)), value);
        else if (value.kind != CellKind::Empty)
            cellFail(QString::fromUtf8(texts::kColumnBeyondLimit).arg(kOdsMaxColumns));
        column_ += cellRepeat_;
        annotationDepth_ = paragraphDepth_ = 0;
    }

    SheetBuilder &builder_;
    int tableDepth_ = 0;
    int tablesSeen_ = 0;
    bool done_ = false;
    std::int64_t row_ = 1;
    std::int64_t rowRepeat_ = 1;
    std::int64_t column_ = 1;
    std::int64_t cellRepeat_ = 1;
    int cellDepth_ = 0;
    int annotationDepth_ = 0;
    int paragraphDepth_ = 0;
    int paragraphs_ = 0;
    bool paragraphStart_ = false;
    bool lastWasBlank_ = false;
    bool hasStringValue_ = false;
    bool isError_ = false;
    std::string type_;
    std::string value_;
    std::string text_;
};

} // namespace

void parseOdsContent(ByteSource &content, SheetBuilder &builder)
{
    ContentHandler handler(builder);
    parseXml(content, handler, kContentPart);
    if (!handler.sawTable())
        throw FormatError(QString::fromUtf8(texts::kNoSheet));
}

SheetStore readOds(const ZipArchive &package)
{
    if (package.contains("META-INF/manifest.xml") &&
        package.readAll("META-INF/manifest.xml").find("encryption-data") != std::string::npos)
        throw FormatError(QString::fromUtf8(texts::kEncrypted));
    SheetBuilder builder(kOdsMaxRows, kOdsMaxColumns);
    const auto content = package.openStream("content.xml");
    parseOdsContent(*content, builder);
    return builder.finish();
}

} // namespace rowpour::workbook
