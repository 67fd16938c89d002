// OpenDocument spreadsheets: one table of content.xml, read forward as a
// stream and paused after each row. Repeated rows and columns become blocks
// and runs, so the long repeats of trailing empty rows are never expanded.
// Cell styles are followed to their data styles where the value type alone
// does not tell what a cell shows: booleans stored as numbers with a boolean
// style, and elapsed times.

#include "import/workbook/CellText.h"
#include "import/workbook/ExpatParser.h"
#include "import/workbook/Readers.h"
#include "import/workbook/TextCodec.h"
#include "import/workbook/WorkbookErrors.h"

#include <charconv>
#include <cmath>
#include <unordered_map>

namespace rowpour::workbook
{

namespace
{

constexpr std::string_view kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0|";
constexpr std::string_view kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0|";
constexpr std::string_view kText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0|";
constexpr std::string_view kStyle = "urn:oasis:names:tc:opendocument:xmlns:style:1.0|";
constexpr std::string_view kNumber = "urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0|";
constexpr std::string_view kCalcExtension =
    "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0|";

const QString kContentPart = QStringLiteral("content.xml");
// Repeat counts and positions are capped far beyond the sheet's limits, so
// that no sum of them can overflow.
constexpr std::int64_t kFarBeyond = std::int64_t(1) << 40;
const QString kStylesPart = QStringLiteral("styles.xml");

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

// What a data style shows, as far as the cell texts depend on it.
enum class DataStyleKind : std::uint8_t { None, Number, Boolean, Duration };

// Cell styles and data styles of one part.
struct StyleTable {
    struct CellStyle {
        std::string parent;
        std::string dataStyle;
    };
    std::unordered_map<std::string, CellStyle> cellStyles;
    std::unordered_map<std::string, DataStyleKind> dataStyles;
    // Table styles that hide their table.
    std::vector<std::string> hiddenTables;

    // Collects what an element of office:styles or office:automatic-styles declares.
    void collect(std::string_view name, const char **attrs)
    {
        if (is(name, kStyle, "style")) {
            const std::string family = attribute(attrs, kStyle, "family");
            lastStyle_ = attribute(attrs, kStyle, "name");
            lastFamily_ = family;
            if (family == "table-cell")
                cellStyles[lastStyle_] = {attribute(attrs, kStyle, "parent-style-name"),
                                          attribute(attrs, kStyle, "data-style-name")};
        } else if (is(name, kStyle, "table-properties")) {
            if (lastFamily_ == "table" && attribute(attrs, kTable, "display") == "false")
                hiddenTables.push_back(lastStyle_);
        } else if (is(name, kNumber, "boolean-style")) {
            dataStyles[attribute(attrs, kStyle, "name")] = DataStyleKind::Boolean;
        } else if (is(name, kNumber, "time-style")) {
            dataStyles[attribute(attrs, kStyle, "name")] =
                attribute(attrs, kNumber, "truncate-on-overflow") == "false" ? DataStyleKind::Duration
                                                                             : DataStyleKind::Number;
        } else if (name.starts_with(kNumber) && name.ends_with("-style")) {
            dataStyles[attribute(attrs, kStyle, "name")] = DataStyleKind::Number;
        }
    }

private:
    std::string lastStyle_;
    std::string lastFamily_;
};

// The styles of styles.xml: the named cell styles that content.xml's
// automatic styles derive from.
class StylesPartHandler : public XmlHandler
{
public:
    StyleTable styles;
    void startElement(std::string_view name, const char **attrs) override { styles.collect(name, attrs); }
    void endElement(std::string_view) override {}
};

// Follows a cell style to its data style: the content's automatic styles
// first, then the named styles, through their parents.
class StyleResolver
{
public:
    StyleResolver(const StyleTable &content, const StyleTable *named) : content_(content), named_(named) {}

    DataStyleKind kindOf(const std::string &cellStyle)
    {
        if (cellStyle.empty())
            return DataStyleKind::None;
        const auto known = cache_.find(cellStyle);
        if (known != cache_.end())
            return known->second;
        DataStyleKind kind = DataStyleKind::None;
        std::string style = cellStyle;
        for (int hops = 0; hops < 16 && !style.empty(); ++hops) {
            const StyleTable::CellStyle *found = find(&StyleTable::cellStyles, style);
            if (found == nullptr)
                break;
            if (!found->dataStyle.empty()) {
                const DataStyleKind *data = find(&StyleTable::dataStyles, found->dataStyle);
                kind = data ? *data : DataStyleKind::Number;
                break;
            }
            style = found->parent;
        }
        cache_.emplace(cellStyle, kind);
        return kind;
    }

private:
    template <class Map>
    const typename Map::mapped_type *find(Map StyleTable::*map, const std::string &key) const
    {
        const auto c = (content_.*map).find(key);
        if (c != (content_.*map).end())
            return &c->second;
        if (named_ == nullptr)
            return nullptr;
        const auto n = (named_->*map).find(key);
        return n != (named_->*map).end() ? &n->second : nullptr;
    }

    const StyleTable &content_;
    const StyleTable *named_;
    std::unordered_map<std::string, DataStyleKind> cache_;
};

// A formula whose only result is a boolean constant: of:=TRUE(), =FALSE().
bool isBooleanConstantFormula(const std::string &formula, bool &value)
{
    std::string_view f = formula;
    const std::size_t colon = f.find(':');
    if (colon != std::string_view::npos && f.find('=') > colon)
        f.remove_prefix(colon + 1);
    if (!f.starts_with('='))
        return false;
    f.remove_prefix(1);
    QString text = QString::fromUtf8(f.data(), qsizetype(f.size())).trimmed().toUpper();
    text.remove(QLatin1Char(' '));
    if (text == QLatin1String("TRUE()") || text == QLatin1String("TRUE"))
        return value = true, true;
    if (text == QLatin1String("FALSE()") || text == QLatin1String("FALSE"))
        return value = false, true;
    return false;
}

class ContentHandler : public XmlHandler
{
public:
    ContentHandler(const StyleTable *named, const SheetChoice &choice)
        : styles_(content_, named), choice_(choice), row_(kOdsMaxRows, kOdsMaxColumns)
    {
    }

    void setParser(XmlPullParser *parser) { parser_ = parser; }
    bool foundTable() const { return chosenSeen_; }
    int tablesSeen() const { return tablesSeen_; }
    // The block the last row filled, when the parser paused for it.
    RowBlock *target = nullptr;

    void startElement(std::string_view name, const char **attrs) override
    {
        if (tableDepth_ == 0 && inStyles_ > 0) {
            content_.collect(name, attrs);
            return;
        }
        if (is(name, kOffice, "automatic-styles")) {
            ++inStyles_;
            return;
        }
        if (is(name, kTable, "table")) {
            if (tableDepth_++ == 0)
                startTable(attrs);
            return;
        }
        if (tableDepth_ != 1 || !inChosen_)
            return;
        if (cellDepth_ > 0) {
            startInsideCell(name, attrs);
            return;
        }
        if (is(name, kTable, "table-row")) {
            rowRepeat_ = repeat(attrs, "number-rows-repeated");
            rowStyle_ = attribute(attrs, kTable, "default-cell-style-name");
            column_ = 1;
        } else if (is(name, kTable, "table-cell") || is(name, kTable, "covered-table-cell")) {
            startCell(attrs);
        } else if (is(name, kTable, "table-column")) {
            const std::int64_t count = repeat(attrs, "number-columns-repeated");
            const std::string style = attribute(attrs, kTable, "default-cell-style-name");
            if (!style.empty() && nextColumn_ <= kOdsMaxColumns)
                columnStyles_.push_back({nextColumn_, nextColumn_ + count - 1, style});
            nextColumn_ += count;
        }
    }

    void endElement(std::string_view name) override
    {
        if (is(name, kOffice, "automatic-styles")) {
            --inStyles_;
            return;
        }
        if (is(name, kTable, "table")) {
            if (--tableDepth_ == 0 && inChosen_) {
                inChosen_ = false;
                parser_->finish(); // the rest of the document is not needed
            }
            return;
        }
        if (tableDepth_ != 1 || !inChosen_)
            return;
        if (cellDepth_ > 0) {
            endInsideCell(name);
            return;
        }
        if (is(name, kTable, "table-row")) {
            const bool filled = row_.finish(*target, rowNumber_, rowRepeat_);
            rowNumber_ = std::min(rowNumber_ + rowRepeat_, kFarBeyond);
            if (filled) {
                filledBlock_ = true;
                parser_->pause();
            }
        }
    }

    void characters(std::string_view text) override
    {
        if (cellDepth_ == 0 || annotationDepth_ > 0 || paragraphDepth_ == 0 || textTooLarge_)
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
        }
        checkSize();
    }

    bool takeFilled()
    {
        const bool filled = filledBlock_;
        filledBlock_ = false;
        return filled;
    }

private:
    struct ColumnStyle {
        std::int64_t first;
        std::int64_t last;
        std::string style;
    };

    void startTable(const char **attrs)
    {
        ++tablesSeen_;
        inChosen_ =
            !chosenSeen_ && (choice_.name.isEmpty()
                                 ? tablesSeen_ == choice_.number
                                 : QString::fromStdString(attribute(attrs, kTable, "name")) == choice_.name);
        if (inChosen_)
            chosenSeen_ = true;
    }

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
        return std::min(n, kFarBeyond);
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
        const std::string calcType = attribute(attrs, kCalcExtension, "value-type");
        isError_ = calcType == "error";
        calcBoolean_ = calcType == "boolean";
        style_ = attribute(attrs, kTable, "style-name");
        formula_ = attribute(attrs, kTable, "formula");
        text_.clear();
        textTooLarge_ = false;
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

    // A text beyond the cell limit is dropped; the cell reads as unreadable.
    void checkSize()
    {
        if (text_.size() > kMaxCellTextBytes) {
            textTooLarge_ = true;
            text_.clear();
            text_.shrink_to_fit();
        }
    }

    [[noreturn]] void cellFail(const QString &detail) const
    {
        throw damaged(QStringLiteral("part content.xml: row %1, column %2: %3")
                          .arg(rowNumber_)
                          .arg(column_)
                          .arg(detail));
    }

    // The cell's style: its own, else the row's default, else its column's.
    DataStyleKind styleKind()
    {
        if (!style_.empty())
            return styles_.kindOf(style_);
        if (!rowStyle_.empty())
            return styles_.kindOf(rowStyle_);
        const auto after = std::upper_bound(columnStyles_.begin(), columnStyles_.end(), column_,
                                            [](std::int64_t c, const ColumnStyle &s) { return c < s.first; });
        if (after == columnStyles_.begin() || (after - 1)->last < column_)
            return DataStyleKind::None;
        return styles_.kindOf((after - 1)->style);
    }

    void addValue(const CellValue &value)
    {
        if (column_ <= kOdsMaxColumns)
            row_.addCell(int(column_), int(std::min<std::int64_t>(cellRepeat_, kOdsMaxColumns)), value);
        else if (value.kind != CellKind::Empty)
            cellFail(QString::fromUtf8(texts::kColumnBeyondLimit).arg(kOdsMaxColumns));
    }

    void addText(const std::string &text, CellKind kind = CellKind::Text)
    {
        if (textTooLarge_ && &text == &text_)
            return addValue(CellValue::unreadable());
        if (!isValidUtf8(text))
            cellFail(QStringLiteral("the text is not valid UTF-8"));
        if (column_ <= kOdsMaxColumns)
            row_.addText(int(column_), int(std::min<std::int64_t>(cellRepeat_, kOdsMaxColumns)), text, kind);
        else if (!text.empty())
            cellFail(QString::fromUtf8(texts::kColumnBeyondLimit).arg(kOdsMaxColumns));
    }

    // A value that does not read as its type: what the cell shows, else the
    // value as stored.
    void addShownText() { addText(text_.empty() && !textTooLarge_ ? value_ : text_); }

    bool number(double &v) const
    {
        const auto r = std::from_chars(value_.data(), value_.data() + value_.size(), v);
        return r.ec == std::errc() && r.ptr == value_.data() + value_.size() && !value_.empty() &&
               std::isfinite(v);
    }

    void addNumber()
    {
        double v = 0;
        if (!number(v))
            return addShownText();
        const DataStyleKind kind = styleKind();
        bool constant = false;
        if (calcBoolean_ || kind == DataStyleKind::Boolean ||
            (kind == DataStyleKind::None && isBooleanConstantFormula(formula_, constant)))
            return addValue(CellValue::booleanValue(v != 0));
        addValue(CellValue::numberValue(v));
    }

    void addTime()
    {
        std::int64_t millis = 0;
        if (!parseIsoDuration(value_, millis))
            return addShownText();
        constexpr std::int64_t day = 86400000;
        if (styleKind() == DataStyleKind::Duration)
            return addValue(CellValue::durationValue(millis));
        addValue(millis >= 0 && millis < day ? CellValue::timeValue(millis)
                                             : CellValue::dateTimeValue(millis));
    }

    void endCell()
    {
        if (isError_)
            addText(text_, CellKind::Error);
        else if (type_.empty())
            addText(text_);
        else if (type_ == "float" || type_ == "percentage" || type_ == "currency")
            addNumber();
        else if (type_ == "boolean" &&
                 (value_ == "true" || value_ == "1" || value_ == "false" || value_ == "0"))
            addValue(CellValue::booleanValue(value_ == "true" || value_ == "1"));
        else if (type_ == "date")
            addDate();
        else if (type_ == "time")
            addTime();
        else if (type_ == "string" && hasStringValue_)
            addText(value_);
        else
            addShownText();
        column_ = std::min(column_ + cellRepeat_, kFarBeyond);
        annotationDepth_ = paragraphDepth_ = 0;
    }

    void addDate()
    {
        CellValue date;
        if (!parseIsoDateTime(value_, date))
            return addShownText();
        addValue(date);
    }

    StyleTable content_;
    StyleResolver styles_;
    SheetChoice choice_;
    RowAssembler row_;
    XmlPullParser *parser_ = nullptr;
    int inStyles_ = 0;
    int tableDepth_ = 0;
    int tablesSeen_ = 0;
    bool inChosen_ = false;
    bool chosenSeen_ = false;
    bool filledBlock_ = false;
    std::int64_t rowNumber_ = 1;
    std::int64_t rowRepeat_ = 1;
    std::int64_t column_ = 1;
    std::int64_t cellRepeat_ = 1;
    std::int64_t nextColumn_ = 1;
    std::vector<ColumnStyle> columnStyles_;
    std::string rowStyle_;
    int cellDepth_ = 0;
    int annotationDepth_ = 0;
    int paragraphDepth_ = 0;
    int paragraphs_ = 0;
    bool paragraphStart_ = false;
    bool lastWasBlank_ = false;
    bool hasStringValue_ = false;
    bool isError_ = false;
    bool calcBoolean_ = false;
    bool textTooLarge_ = false;
    std::string type_;
    std::string value_;
    std::string style_;
    std::string formula_;
    std::string text_;
};

class OdsRows : public SheetRows
{
public:
    OdsRows(std::unique_ptr<ByteSource> content, const StyleTable *named, const SheetChoice &choice)
        : choice_(choice), handler_(named, choice_), parser_(std::move(content), handler_, kContentPart)
    {
        handler_.setParser(&parser_);
    }

    bool next(RowBlock &block) override
    {
        handler_.target = &block;
        while (parser_.resume()) {
            if (handler_.takeFilled())
                return true;
        }
        if (!handler_.foundTable()) {
            if (choice().name.isEmpty() && handler_.tablesSeen() > 0)
                throw FormatError(
                    QString::fromUtf8(texts::kNoSheetNumber).arg(choice().number).arg(handler_.tablesSeen()));
            if (!choice().name.isEmpty())
                throw FormatError(QString::fromUtf8(texts::kNoSheetNamed).arg(choice().name));
            throw FormatError(QString::fromUtf8(texts::kNoSheet));
        }
        return false;
    }

private:
    const SheetChoice &choice() const { return choice_; }

    SheetChoice choice_;
    ContentHandler handler_;
    XmlPullParser parser_;
};

class OdsSource : public SheetSource
{
public:
    OdsSource(std::unique_ptr<ZipArchive> package, const SheetChoice &choice)
        : SheetSource(WorkbookFormat::Ods, kOdsMaxRows, kOdsMaxColumns), package_(std::move(package)),
          choice_(choice)
    {
        if (package_->contains("styles.xml")) {
            StylesPartHandler handler;
            const auto stream = package_->openStream("styles.xml");
            parseXml(*stream, handler, kStylesPart);
            named_ = std::move(handler.styles);
        }
    }

    std::unique_ptr<SheetRows> rows() const override
    {
        return std::make_unique<OdsRows>(package_->openStream("content.xml"), &named_, choice_);
    }

private:
    std::unique_ptr<ZipArchive> package_;
    SheetChoice choice_;
    StyleTable named_;
};

// Table names and whether their table style hides them.
class TableListHandler : public XmlHandler
{
public:
    std::vector<std::pair<std::string, std::string>> tables; // name, style
    StyleTable styles;

    void startElement(std::string_view name, const char **attrs) override
    {
        if (inStyles_ > 0)
            styles.collect(name, attrs);
        if (is(name, kOffice, "automatic-styles"))
            ++inStyles_;
        if (is(name, kTable, "table") && depth_++ == 0)
            tables.emplace_back(attribute(attrs, kTable, "name"), attribute(attrs, kTable, "style-name"));
    }
    void endElement(std::string_view name) override
    {
        if (is(name, kOffice, "automatic-styles"))
            --inStyles_;
        if (is(name, kTable, "table"))
            --depth_;
    }

private:
    int inStyles_ = 0;
    int depth_ = 0;
};

void refuseEncrypted(const ZipArchive &package)
{
    if (package.contains("META-INF/manifest.xml") &&
        package.readAll("META-INF/manifest.xml").find("encryption-data") != std::string::npos)
        throw FormatError(QString::fromUtf8(texts::kEncrypted));
}

} // namespace

std::unique_ptr<SheetRows> odsContentRows(std::unique_ptr<ByteSource> content)
{
    return std::make_unique<OdsRows>(std::move(content), nullptr, SheetChoice{});
}

std::unique_ptr<SheetSource> openOds(std::unique_ptr<ZipArchive> package, const SheetChoice &choice)
{
    refuseEncrypted(*package);
    if (!package->contains("content.xml"))
        throw damaged(QStringLiteral("part content.xml is missing"));
    return std::make_unique<OdsSource>(std::move(package), choice);
}

std::vector<SheetInfo> listOdsSheets(const ZipArchive &package)
{
    refuseEncrypted(package);
    TableListHandler handler;
    const auto stream = package.openStream("content.xml");
    parseXml(*stream, handler, kContentPart);
    std::vector<SheetInfo> sheets;
    for (const auto &[name, style] : handler.tables) {
        const auto &hidden = handler.styles.hiddenTables;
        sheets.push_back(
            {QString::fromStdString(name), std::find(hidden.begin(), hidden.end(), style) != hidden.end()});
    }
    return sheets;
}

} // namespace rowpour::workbook
