#include "import/workbook/XlsxReader.h"

#include "import/workbook/CellText.h"
#include "import/workbook/ExpatParser.h"
#include "import/workbook/TextCodec.h"
#include "import/workbook/WorkbookErrors.h"
#include "import/workbook/XmlScanner.h"

#include <charconv>
#include <cmath>
#include <map>
#include <memory>

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

// Parses a part as it is inflated, so a hostile part stops at its fault.
void parsePart(const ZipArchive &package, const std::string &part, XmlHandler &handler)
{
    const auto stream = package.openStream(part);
    parseXml(*stream, handler, qs(part));
}

std::map<std::string, Relationship> readRelationships(const ZipArchive &package, const std::string &part)
{
    const std::string relsPart = relationshipsPartOf(part);
    RelationshipsHandler handler;
    if (package.contains(relsPart))
        parsePart(package, relsPart, handler);
    return std::move(handler.byId);
}

constexpr std::string_view kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kStrictNamespace = "http://purl.oclc.org/ooxml/spreadsheetml/main";

// An element of the spreadsheet markup itself: its main namespace (also in
// the strict form, or written without one), not an extension such as x14.
bool isMain(std::string_view name, std::string_view local)
{
    if (localName(name) != local)
        return false;
    const std::string_view ns = name.substr(0, name.size() - local.size());
    if (ns.empty())
        return true;
    const std::string_view uri = ns.substr(0, ns.size() - 1);
    return uri == kMainNamespace || uri == kStrictNamespace;
}

// xsd:boolean, with the blanks it may carry.
bool isTrue(const char *value)
{
    const std::string_view v = value ? trimmed(value) : std::string_view();
    return v == "1" || v == "true";
}

struct SheetEntry {
    std::string name;
    std::string relationshipId;
    bool hidden = false;
};

struct WorkbookInfo {
    bool date1904 = false;
    std::vector<SheetEntry> sheets;
};

class WorkbookHandler : public XmlHandler
{
public:
    WorkbookInfo info;
    void startElement(std::string_view name, const char **attrs) override
    {
        if (isMain(name, "workbookPr")) {
            info.date1904 = isTrue(attributeValue(attrs, "date1904"));
        } else if (isMain(name, "sheet")) {
            const char *sheetName = attributeValue(attrs, "name");
            const char *id = attributeValue(attrs, "id");
            const char *state = attributeValue(attrs, "state");
            info.sheets.push_back(
                {sheetName ? sheetName : "", id ? id : "", state && std::string_view(state) != "visible"});
        }
    }
    void endElement(std::string_view) override {}
};

class StylesHandler : public XmlHandler
{
public:
    std::map<std::uint32_t, NumberFormatKind> customKinds;
    std::vector<std::uint32_t> cellFormats;

    void startElement(std::string_view name, const char **attrs) override
    {
        std::uint32_t id = 0;
        const char *idText = attributeValue(attrs, "numFmtId");
        const bool hasId = idText && parseUnsigned(idText, id);
        if (isMain(name, "numFmts")) {
            ++inNumFmts_;
        } else if (isMain(name, "cellXfs")) {
            ++inCellXfs_;
        } else if (isMain(name, "numFmt") && inNumFmts_ > 0 && hasId) {
            const char *code = attributeValue(attrs, "formatCode");
            customKinds[id] = code ? formatCodeKind(QString::fromUtf8(code)) : NumberFormatKind::Number;
        } else if (isMain(name, "xf") && inCellXfs_ > 0) {
            cellFormats.push_back(hasId ? id : 0);
        }
    }
    void endElement(std::string_view name) override
    {
        if (isMain(name, "numFmts"))
            --inNumFmts_;
        else if (isMain(name, "cellXfs"))
            --inCellXfs_;
    }

private:
    int inNumFmts_ = 0;
    int inCellXfs_ = 0;
};

// ---- Worksheet ------------------------------------------------------------

class WorksheetRows : public SheetRows
{
public:
    WorksheetRows(std::unique_ptr<ByteSource> source, const XlsxStyles &styles, bool date1904,
                  const StringPool &shared, const QString &part)
        : source_(std::move(source)), x_(*source_, part), styles_(styles), date1904_(date1904),
          shared_(shared), sharedCount_(shared.size()), row_(kXlsxMaxRows, kXlsxMaxColumns)
    {
    }

    bool next(RowBlock &block) override
    {
        for (;;) {
            switch (x_.next()) {
            case XmlScanner::Event::StartElement:
                if (inSheetData_)
                    start(x_.localName());
                else if (x_.localName() == "sheetData")
                    inSheetData_ = true;
                break;
            case XmlScanner::Event::EndElement:
                if (!inSheetData_)
                    break;
                if (x_.localName() == "sheetData") {
                    if (rowOpen_)
                        x_.fail(QStringLiteral("the sheet data ends inside a row"));
                    return finished();
                }
                if (end(x_.localName()) && row_.finish(block, rowNumber_))
                    return true;
                break;
            case XmlScanner::Event::Text:
                if (collecting_)
                    value_.append(x_.text());
                break;
            case XmlScanner::Event::End:
                if (inSheetData_)
                    x_.fail(QStringLiteral("the part ends inside the sheet data"));
                return finished();
            }
        }
    }

private:
    // The rest of the part (other sheet content) is not needed.
    bool finished()
    {
        inSheetData_ = false;
        return false;
    }

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

    // True when a row ended.
    bool end(std::string_view name)
    {
        if (name == "row") {
            if (!rowOpen_)
                x_.fail(QStringLiteral("a row ends that never started"));
            rowOpen_ = false;
            return true;
        }
        if (name == "c") {
            endCell();
        } else if (name == "v" || name == "t") {
            collecting_ = false;
        } else if (name == "rPh") {
            --phonetic_;
        } else if (name == "is") {
            inInline_ = false;
        }
        return false;
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
            rowNumber_ = number;
        } else {
            ++rowNumber_;
        }
        if (rowNumber_ > std::uint32_t(kXlsxMaxRows))
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
                rowNumber_ = row;
            column_ = column;
        } else {
            ++column_;
        }
        if (column_ > std::uint32_t(kXlsxMaxColumns))
            x_.fail(QStringLiteral("more cells in row %1 than a sheet has columns").arg(rowNumber_));
        firstCellOfRow_ = false;
        type_.assign(x_.attribute("t", attr) ? trimmed(attr) : std::string_view("n"));
        // A style that is no number reads as the default style, as spreadsheet programs do.
        style_ = 0;
        if (x_.attribute("s", attr) && !parseUnsigned(attr, style_))
            style_ = 0;
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
        return letters + QString::number(rowNumber_);
    }

    // The cell's own text: the value of a text cell, an error, or the stored
    // text of a value that does not read as its type.
    void addText(CellKind kind = CellKind::Text)
    {
        if (!value_.tooLarge()) {
            if (!isValidUtf8(value_.text()))
                cellFail(QStringLiteral("the text is not valid UTF-8"));
            decodeUnderscoreEscapes(value_.text());
        }
        addBufferedText(row_, int(column_), 1, value_, kind);
    }

    void add(const CellValue &value) { row_.addCell(int(column_), 1, value); }

    bool number(std::string_view text, double &v) const
    {
        text = trimmed(text);
        const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
        return r.ec == std::errc() && r.ptr == text.data() + text.size() && !text.empty() && std::isfinite(v);
    }

    void addValue()
    {
        const std::string_view t = type_;
        const std::string &value = value_.text();
        if (!hasValue_)
            return add(CellValue::empty());
        if (t == "s") {
            std::uint32_t index;
            if (value_.tooLarge() || !parseUnsigned(value, index) || index >= sharedCount_)
                cellFail(
                    QStringLiteral("the shared string \"%1\" does not exist").arg(qs(value.substr(0, 20))));
            return add(shared_.isTooLarge(index) ? CellValue::unreadable() : CellValue::sharedText(index));
        }
        if (t == "str" || t == "inlineStr")
            return addText();
        if (t == "e")
            return addText(CellKind::Error);
        double v = 0;
        if (t == "n" && trimmed(value).empty() && !value_.tooLarge())
            return add(CellValue::empty());
        if (t == "n" && number(value, v))
            return add(serialToValue(v, date1904_, styles_.kindOf(style_)));
        const std::string_view b = trimmed(value);
        if (t == "b" && (b == "1" || b == "true" || b == "0" || b == "false"))
            return add(CellValue::booleanValue(b == "1" || b == "true"));
        CellValue date;
        if (t == "d" && parseIsoDateTime(trimmed(value), date))
            return add(date);
        addText();
    }

    void endCell()
    {
        if (!cellOpen_)
            x_.fail(QStringLiteral("a cell ends that never started"));
        addValue();
        cellOpen_ = false;
        collecting_ = false;
    }

    std::unique_ptr<ByteSource> source_;
    XmlScanner x_;
    const XlsxStyles &styles_;
    bool date1904_;
    const StringPool &shared_;
    std::uint32_t sharedCount_;
    RowAssembler row_;

    bool inSheetData_ = false;
    std::uint32_t rowNumber_ = 0;
    std::uint32_t column_ = 0;
    bool rowOpen_ = false;
    bool rowFromAttribute_ = false;
    bool firstCellOfRow_ = false;
    bool cellOpen_ = false;
    bool hasValue_ = false;
    bool inInline_ = false;
    bool collecting_ = false;
    int phonetic_ = 0;
    std::string type_;
    std::uint32_t style_ = 0;
    CellTextBuffer value_;
};

class XlsxSource : public SheetSource
{
public:
    XlsxSource(std::unique_ptr<ZipArchive> package, std::string sheetPart, XlsxStyles styles, bool date1904)
        : SheetSource(WorkbookFormat::Xlsx, kXlsxMaxRows, kXlsxMaxColumns), package_(std::move(package)),
          sheetPart_(std::move(sheetPart)), styles_(std::move(styles)), date1904_(date1904)
    {
    }

    void readSharedStrings(const std::string &part)
    {
        const auto stream = package_->openStream(part);
        parseXlsxSharedStrings(*stream, shared_, qs(part));
    }

    std::unique_ptr<SheetRows> rows() const override
    {
        return xlsxWorksheetRows(package_->openStream(sheetPart_), styles_, date1904_, shared_,
                                 qs(sheetPart_));
    }

private:
    std::unique_ptr<ZipArchive> package_;
    std::string sheetPart_;
    XlsxStyles styles_;
    bool date1904_;
};

std::string workbookPartOf(const ZipArchive &package)
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
    return workbookPart;
}

WorkbookInfo readWorkbookInfo(const ZipArchive &package, const std::string &workbookPart)
{
    WorkbookHandler workbook;
    parsePart(package, workbookPart, workbook);
    if (workbook.info.sheets.empty())
        throw FormatError(QString::fromUtf8(texts::kNoSheet));
    return std::move(workbook.info);
}

const SheetEntry &chosenSheet(const WorkbookInfo &info, const SheetChoice &choice)
{
    if (!choice.name.isEmpty()) {
        for (const SheetEntry &sheet : info.sheets)
            if (qs(sheet.name) == choice.name)
                return sheet;
        throw FormatError(QString::fromUtf8(texts::kNoSheetNamed).arg(choice.name));
    }
    if (choice.number < 1 || std::size_t(choice.number) > info.sheets.size())
        throw FormatError(
            QString::fromUtf8(texts::kNoSheetNumber).arg(choice.number).arg(info.sheets.size()));
    return info.sheets[std::size_t(choice.number - 1)];
}

} // namespace

XlsxStyles parseXlsxStyles(ByteSource &part, const QString &partName)
{
    StylesHandler handler;
    parseXml(part, handler, partName);
    XlsxStyles styles;
    styles.kinds.reserve(handler.cellFormats.size());
    for (std::uint32_t id : handler.cellFormats) {
        const auto custom = handler.customKinds.find(id);
        styles.kinds.push_back(custom != handler.customKinds.end() ? custom->second
                                                                   : builtinFormatKind(int(id)));
    }
    return styles;
}

void parseXlsxSharedStrings(ByteSource &source, StringPool &pool, const QString &partName)
{
    XmlScanner x(source, partName);
    CellTextBuffer text;
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
                if (text.tooLarge()) {
                    pool.addTooLarge();
                } else {
                    if (!isValidUtf8(text.text()))
                        x.fail(QStringLiteral("shared string %1 is not valid UTF-8").arg(pool.size()));
                    decodeUnderscoreEscapes(text.text());
                    pool.add(text.text());
                }
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

std::unique_ptr<SheetRows> xlsxWorksheetRows(std::unique_ptr<ByteSource> part, const XlsxStyles &styles,
                                             bool date1904, const StringPool &shared, const QString &partName)
{
    return std::make_unique<WorksheetRows>(std::move(part), styles, date1904, shared, partName);
}

std::vector<SheetInfo> listXlsxSheets(const ZipArchive &package)
{
    std::vector<SheetInfo> sheets;
    for (const SheetEntry &sheet : readWorkbookInfo(package, workbookPartOf(package)).sheets)
        sheets.push_back({qs(sheet.name), sheet.hidden});
    return sheets;
}

std::unique_ptr<SheetSource> openXlsx(std::unique_ptr<ZipArchive> package, const SheetChoice &choice)
{
    const std::string workbookPart = workbookPartOf(*package);
    const WorkbookInfo info = readWorkbookInfo(*package, workbookPart);
    const SheetEntry &sheet = chosenSheet(info, choice);

    const auto relationships = readRelationships(*package, workbookPart);
    std::string sharedStringsPart, stylesPart;
    for (const auto &[id, rel] : relationships) {
        if (endsWith(rel.type, "/sharedStrings"))
            sharedStringsPart = resolveTarget(workbookPart, rel.target);
        else if (endsWith(rel.type, "/styles"))
            stylesPart = resolveTarget(workbookPart, rel.target);
    }
    const auto sheetRelationship = relationships.find(sheet.relationshipId);
    if (sheetRelationship == relationships.end())
        throw damaged(QStringLiteral("the sheet \"%1\" has no part").arg(qs(sheet.name)));
    if (!endsWith(sheetRelationship->second.type, "/worksheet"))
        throw FormatError(QString::fromUtf8(texts::kSheetNotWorksheet).arg(qs(sheet.name)));
    std::string sheetPart = resolveTarget(workbookPart, sheetRelationship->second.target);
    if (!package->contains(sheetPart))
        throw damaged(QStringLiteral("part %1 is missing").arg(qs(sheetPart)));

    XlsxStyles styles;
    if (!stylesPart.empty() && package->contains(stylesPart))
        styles = parseXlsxStyles(*package->openStream(stylesPart), qs(stylesPart));
    const bool hasSharedStrings = !sharedStringsPart.empty() && package->contains(sharedStringsPart);
    auto source = std::make_unique<XlsxSource>(std::move(package), std::move(sheetPart), std::move(styles),
                                               info.date1904);
    if (hasSharedStrings)
        source->readSharedStrings(sharedStringsPart);
    return source;
}

} // namespace rowpour::workbook
