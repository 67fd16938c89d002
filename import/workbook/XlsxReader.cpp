#include "import/workbook/XlsxReader.h"

#include "import/workbook/CellText.h"
#include "import/workbook/ExpatParser.h"
#include "import/workbook/TextCodec.h"
#include "import/workbook/WorkbookErrors.h"
#include "import/workbook/XmlScanner.h"

#include <charconv>
#include <cmath>
#include <map>

namespace rowpour::workbook
{

namespace
{

QString qs(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

bool endsWith(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\n' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool parseUnsigned(std::string_view s, std::uint32_t &value)
{
    s = trimmed(s);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && !s.empty();
}

// "B12" -> column 2, row 12; a reference may also be a bare column ("B")
// or, in a row reference, digits only.
bool parseCellReference(std::string_view ref, std::uint32_t &column, std::uint32_t &row)
{
    std::size_t i = 0;
    column = 0;
    while (i < ref.size() && i < 4) {
        char c = ref[i];
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        if (c < 'A' || c > 'Z')
            break;
        column = column * 26 + std::uint32_t(c - 'A' + 1);
        ++i;
    }
    if (i == 0 || column > std::uint32_t(kXlsxMaxColumns))
        return false;
    row = 0;
    const std::string_view digits = ref.substr(i);
    return digits.empty() || parseUnsigned(digits, row);
}

// ---- Package structure --------------------------------------------------

struct Relationship {
    std::string type;
    std::string target;
};

class RelationshipsHandler : public XmlHandler
{
public:
    std::map<std::string, Relationship> byId;
    void startElement(std::string_view name, const char **attrs) override
    {
        if (localName(name) != "Relationship")
            return;
        const char *id = attributeValue(attrs, "Id");
        const char *type = attributeValue(attrs, "Type");
        const char *target = attributeValue(attrs, "Target");
        const char *mode = attributeValue(attrs, "TargetMode");
        if (id && type && target && !(mode && std::string_view(mode) == "External"))
            byId[id] = {type, target};
    }
    void endElement(std::string_view) override {}
};

std::string directoryOf(const std::string &part)
{
    const std::size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// A relationship target relative to its source part, as a zip entry name.
std::string resolveTarget(const std::string &sourcePart, const std::string &target)
{
    std::string path = target.starts_with('/') ? target.substr(1) : directoryOf(sourcePart) + target;
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        const std::string piece = path.substr(start, slash - start);
        if (piece == "..") {
            if (!pieces.empty())
                pieces.pop_back();
        } else if (!piece.empty() && piece != ".") {
            pieces.push_back(piece);
        }
        start = slash + 1;
    }
    std::string joined;
    for (const std::string &p : pieces)
        joined += (joined.empty() ? "" : "/") + p;
    return joined;
}

std::string relationshipsPartOf(const std::string &part)
{
    const std::size_t slash = part.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    return dir + "_rels/" + file + ".rels";
}

std::map<std::string, Relationship> readRelationships(const ZipArchive &package, const std::string &part)
{
    const std::string relsPart = relationshipsPartOf(part);
    RelationshipsHandler handler;
    if (package.contains(relsPart))
        parseXml(package.readAll(relsPart), handler, qs(relsPart));
    return std::move(handler.byId);
}

struct WorkbookInfo {
    bool date1904 = false;
    bool anySheet = false;
    std::string firstSheetName;
    std::string firstSheetId;
};

class WorkbookHandler : public XmlHandler
{
public:
    WorkbookInfo info;
    void startElement(std::string_view name, const char **attrs) override
    {
        const std::string_view local = localName(name);
        if (local == "workbookPr") {
            const char *d = attributeValue(attrs, "date1904");
            info.date1904 = d && (std::string_view(d) == "1" || std::string_view(d) == "true");
        } else if (local == "sheet" && !info.anySheet) {
            info.anySheet = true;
            const char *sheetName = attributeValue(attrs, "name");
            const char *id = attributeValue(attrs, "id");
            info.firstSheetName = sheetName ? sheetName : "";
            info.firstSheetId = id ? id : "";
        }
    }
    void endElement(std::string_view) override {}
};

class StylesHandler : public XmlHandler
{
public:
    std::map<std::uint32_t, bool> customIsDate;
    std::vector<std::uint32_t> cellFormats;
    int inCellXfs = 0;

    void startElement(std::string_view name, const char **attrs) override
    {
        const std::string_view local = localName(name);
        std::uint32_t id = 0;
        const char *idText = attributeValue(attrs, "numFmtId");
        const bool hasId = idText && parseUnsigned(idText, id);
        if (local == "numFmt" && hasId) {
            const char *code = attributeValue(attrs, "formatCode");
            customIsDate[id] = code && isDateFormatCode(QString::fromUtf8(code));
        } else if (local == "cellXfs") {
            ++inCellXfs;
        } else if (local == "xf" && inCellXfs > 0) {
            cellFormats.push_back(hasId ? id : 0);
        }
    }
    void endElement(std::string_view name) override
    {
        if (localName(name) == "cellXfs")
            --inCellXfs;
    }
};

// ---- Worksheet ------------------------------------------------------------

class WorksheetParser
{
public:
    WorksheetParser(ByteSource &source, const XlsxStyles &styles, bool date1904, std::uint32_t sharedCount,
                    SheetBuilder &builder, const QString &part)
        : x_(source, part), styles_(styles), date1904_(date1904), sharedCount_(sharedCount), builder_(builder)
    {
    }

    void run()
    {
        bool inSheetData = false;
        for (;;) {
            switch (x_.next()) {
            case XmlScanner::Event::StartElement:
                if (inSheetData)
                    start(x_.localName());
                else if (x_.localName() == "sheetData")
                    inSheetData = true;
                break;
            case XmlScanner::Event::EndElement:
                if (!inSheetData)
                    break;
                if (x_.localName() == "sheetData") {
                    if (rowOpen_)
                        x_.fail(QStringLiteral("the sheet data ends inside a row"));
                    return;
                }
                end(x_.localName());
                break;
            case XmlScanner::Event::Text:
                if (collecting_)
                    value_.append(x_.text());
                break;
            case XmlScanner::Event::End:
                if (inSheetData)
                    x_.fail(QStringLiteral("the part ends inside the sheet data"));
                return;
            }
        }
    }

private:
    void start(std::string_view name)
    {
        if (name == "row") {
            startRow();
        } else if (name == "c") {
            startCell();
        } else if (cellOpen_) {
            if (name == "v") {
                collecting_ = true;
                value_.clear();
                hasValue_ = true;
            } else if (name == "is") {
                inInline_ = true;
                value_.clear();
                hasValue_ = true;
            } else if (name == "rPh") {
                ++phonetic_;
            } else if (name == "t" && inInline_ && phonetic_ == 0) {
                collecting_ = true;
            }
        }
    }

    void end(std::string_view name)
    {
        if (name == "row") {
            if (!rowOpen_)
                x_.fail(QStringLiteral("a row ends that never started"));
            builder_.endRow(int(row_));
            rowOpen_ = false;
        } else if (name == "c") {
            endCell();
        } else if (name == "v" || name == "t") {
            collecting_ = false;
        } else if (name == "rPh") {
            --phonetic_;
        } else if (name == "is") {
            inInline_ = false;
        }
    }

    void startRow()
    {
        if (rowOpen_)
            x_.fail(QStringLiteral("a row inside a row"));
        std::string_view r;
        rowFromAttribute_ = x_.attribute("r", r);
        if (rowFromAttribute_) {
            std::uint32_t number;
            if (!parseUnsigned(r, number) || number < 1 || number > std::uint32_t(kXlsxMaxRows))
                x_.fail(QStringLiteral("the row number \"%1\" is invalid").arg(qs(r)));
            row_ = number;
        } else {
            ++row_;
        }
        if (row_ > std::uint32_t(kXlsxMaxRows))
            x_.fail(QStringLiteral("more rows than a sheet holds"));
        rowOpen_ = true;
        column_ = 0;
        firstCellOfRow_ = true;
    }

    void startCell()
    {
        if (!rowOpen_)
            x_.fail(QStringLiteral("a cell outside a row"));
        if (cellOpen_)
            x_.fail(QStringLiteral("a cell inside a cell"));
        std::string_view attr;
        if (x_.attribute("r", attr)) {
            std::uint32_t column, row;
            if (!parseCellReference(attr, column, row))
                x_.fail(QStringLiteral("the cell reference \"%1\" is invalid").arg(qs(attr)));
            if (firstCellOfRow_ && !rowFromAttribute_ && row != 0)
                row_ = row;
            column_ = column;
        } else {
            ++column_;
        }
        if (column_ > std::uint32_t(kXlsxMaxColumns))
            x_.fail(QStringLiteral("more cells in row %1 than a sheet has columns").arg(row_));
        firstCellOfRow_ = false;
        typeCopy_.assign(x_.attribute("t", attr) ? trimmed(attr) : std::string_view("n"));
        style_ = 0;
        if (x_.attribute("s", attr) && !parseUnsigned(attr, style_))
            cellFail(QStringLiteral("the style \"%1\" is invalid").arg(qs(attr)));
        cellOpen_ = true;
        hasValue_ = false;
        inInline_ = false;
        phonetic_ = 0;
        value_.clear();
    }

    [[noreturn]] void cellFail(const QString &detail) const
    {
        x_.fail(QStringLiteral("cell %1: %2").arg(cellName(), detail));
    }

    QString cellName() const
    {
        QString letters;
        for (std::uint32_t c = column_; c > 0; c = (c - 1) / 26)
            letters.prepend(QChar(u'A' + (c - 1) % 26));
        return letters + QString::number(row_);
    }

    std::uint32_t addText(std::string_view text)
    {
        if (!isValidUtf8(text))
            cellFail(QStringLiteral("the text is not valid UTF-8"));
        std::string decoded(text);
        decodeUnderscoreEscapes(decoded);
        return builder_.strings().add(decoded);
    }

    std::uint32_t errorText(std::string_view text)
    {
        for (const auto &[known, index] : errors_)
            if (known == text)
                return index;
        const std::uint32_t index = addText(text);
        if (errors_.size() < 16)
            errors_.emplace_back(std::string(text), index);
        return index;
    }

    double number(std::string_view text) const
    {
        text = trimmed(text);
        double v = 0;
        const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
        if (r.ec != std::errc() || r.ptr != text.data() + text.size() || text.empty() || !std::isfinite(v))
            cellFail(QStringLiteral("the number \"%1\" is invalid").arg(qs(text.substr(0, 40))));
        return v;
    }

    CellValue cellValue()
    {
        const std::string_view t = typeCopy_;
        if (!hasValue_)
            return CellValue::empty();
        if (t == "s") {
            std::uint32_t index;
            if (!parseUnsigned(value_, index) || index >= sharedCount_)
                cellFail(
                    QStringLiteral("the shared string \"%1\" does not exist").arg(qs(value_.substr(0, 20))));
            return CellValue::textValue(index);
        }
        if (t == "str" || t == "inlineStr")
            return value_.empty() ? CellValue::empty() : CellValue::textValue(addText(value_));
        if (t == "n") {
            if (trimmed(value_).empty())
                return CellValue::empty();
            const double v = number(value_);
            return styles_.isDate(style_) ? serialToValue(v, date1904_) : CellValue::numberValue(v);
        }
        if (t == "b") {
            const std::string_view b = trimmed(value_);
            if (b == "1" || b == "true")
                return CellValue::booleanValue(true);
            if (b == "0" || b == "false")
                return CellValue::booleanValue(false);
            cellFail(QStringLiteral("the boolean \"%1\" is invalid").arg(qs(b.substr(0, 20))));
        }
        if (t == "e")
            return CellValue::errorValue(errorText(trimmed(value_)));
        if (t == "d") {
            std::int64_t millis;
            if (!parseIsoDateTime(trimmed(value_), millis))
                cellFail(QStringLiteral("the date \"%1\" is invalid").arg(qs(value_.substr(0, 40))));
            return CellValue::dateTimeValue(millis);
        }
        cellFail(QStringLiteral("the cell type \"%1\" is unknown").arg(qs(t.substr(0, 20))));
    }

    void endCell()
    {
        if (!cellOpen_)
            x_.fail(QStringLiteral("a cell ends that never started"));
        builder_.addCell(int(column_), 1, cellValue());
        cellOpen_ = false;
        collecting_ = false;
    }

    XmlScanner x_;
    const XlsxStyles &styles_;
    bool date1904_;
    std::uint32_t sharedCount_;
    SheetBuilder &builder_;

    std::uint32_t row_ = 0;
    std::uint32_t column_ = 0;
    bool rowOpen_ = false;
    bool rowFromAttribute_ = false;
    bool firstCellOfRow_ = false;
    bool cellOpen_ = false;
    bool hasValue_ = false;
    bool inInline_ = false;
    bool collecting_ = false;
    int phonetic_ = 0;
    std::string typeCopy_;
    std::uint32_t style_ = 0;
    std::string value_;
    std::vector<std::pair<std::string, std::uint32_t>> errors_;
};

} // namespace

XlsxStyles parseXlsxStyles(std::string_view xml, const QString &partName)
{
    StylesHandler handler;
    parseXml(xml, handler, partName);
    XlsxStyles styles;
    styles.dateStyle.reserve(handler.cellFormats.size());
    for (std::uint32_t id : handler.cellFormats) {
        const auto custom = handler.customIsDate.find(id);
        styles.dateStyle.push_back(custom != handler.customIsDate.end() ? custom->second
                                                                        : isBuiltinDateFormat(int(id)));
    }
    return styles;
}

void parseXlsxSharedStrings(ByteSource &source, StringPool &pool, const QString &partName)
{
    XmlScanner x(source, partName);
    std::string text;
    bool inItem = false, collecting = false;
    int phonetic = 0;
    for (;;) {
        switch (x.next()) {
        case XmlScanner::Event::StartElement:
            if (x.localName() == "si") {
                inItem = true;
                text.clear();
                phonetic = 0;
            } else if (x.localName() == "rPh") {
                ++phonetic;
            } else if (x.localName() == "t" && inItem && phonetic == 0) {
                collecting = true;
            }
            break;
        case XmlScanner::Event::EndElement:
            if (x.localName() == "t") {
                collecting = false;
            } else if (x.localName() == "rPh") {
                --phonetic;
            } else if (x.localName() == "si" && inItem) {
                if (!isValidUtf8(text))
                    x.fail(QStringLiteral("shared string %1 is not valid UTF-8").arg(pool.size()));
                decodeUnderscoreEscapes(text);
                pool.add(text);
                inItem = collecting = false;
            }
            break;
        case XmlScanner::Event::Text:
            if (collecting)
                text.append(x.text());
            break;
        case XmlScanner::Event::End:
            return;
        }
    }
}

void parseXlsxWorksheet(ByteSource &source, const XlsxStyles &styles, bool date1904,
                        std::uint32_t sharedCount, SheetBuilder &builder, const QString &partName)
{
    WorksheetParser(source, styles, date1904, sharedCount, builder, partName).run();
}

SheetStore readXlsx(const ZipArchive &package)
{
    std::string workbookPart;
    for (const auto &[id, rel] : readRelationships(package, "")) {
        if (endsWith(rel.type, "/officeDocument"))
            workbookPart = resolveTarget("", rel.target);
    }
    if (workbookPart.empty() && package.contains("xl/workbook.xml"))
        workbookPart = "xl/workbook.xml";
    if (workbookPart.empty())
        throw FormatError(QString::fromUtf8(texts::kNotAWorkbook));
    if (endsWith(workbookPart, ".bin"))
        throw FormatError(QString::fromUtf8(texts::kXlsbUnsupported));

    WorkbookHandler workbook;
    parseXml(package.readAll(workbookPart), workbook, qs(workbookPart));
    if (!workbook.info.anySheet)
        throw FormatError(QString::fromUtf8(texts::kNoSheet));

    const auto relationships = readRelationships(package, workbookPart);
    std::string sheetPart, sharedStringsPart, stylesPart;
    for (const auto &[id, rel] : relationships) {
        if (endsWith(rel.type, "/sharedStrings"))
            sharedStringsPart = resolveTarget(workbookPart, rel.target);
        else if (endsWith(rel.type, "/styles"))
            stylesPart = resolveTarget(workbookPart, rel.target);
    }
    const auto sheet = relationships.find(workbook.info.firstSheetId);
    if (sheet == relationships.end())
        throw damaged(
            QStringLiteral("the first sheet \"%1\" has no part").arg(qs(workbook.info.firstSheetName)));
    if (!endsWith(sheet->second.type, "/worksheet"))
        throw FormatError(
            QString::fromUtf8(texts::kFirstSheetNotWorksheet).arg(qs(workbook.info.firstSheetName)));
    sheetPart = resolveTarget(workbookPart, sheet->second.target);

    XlsxStyles styles;
    if (!stylesPart.empty() && package.contains(stylesPart))
        styles = parseXlsxStyles(package.readAll(stylesPart), qs(stylesPart));

    SheetBuilder builder(kXlsxMaxRows, kXlsxMaxColumns);
    if (!sharedStringsPart.empty() && package.contains(sharedStringsPart)) {
        const auto stream = package.openStream(sharedStringsPart);
        parseXlsxSharedStrings(*stream, builder.strings(), qs(sharedStringsPart));
    }
    const std::uint32_t sharedCount = builder.strings().size();
    const auto stream = package.openStream(sheetPart);
    parseXlsxWorksheet(*stream, styles, workbook.info.date1904, sharedCount, builder, qs(sheetPart));
    return builder.finish();
}

} // namespace rowpour::workbook
