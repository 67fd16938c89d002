#include "cli/BatchImport.h"

#include "cli/CliTexts.h"
#include "cli/Options.h"
#include "cli/OracleCommand.h"
#include "import/IntegerText.h"
#include "import/MapByHeader.h"
#include "import/MappingSettings.h"
#include "import/SheetOption.h"
#include "import/workbook/Workbook.h"
#include "platform/Terminal.h"

#include <QFileInfo>

#include <stdexcept>

namespace rowpour::cli
{

BatchImportOptions takeBatchImportOptions(QStringList &args)
{
    BatchImportOptions options;
    options.userId = takeUserId(args);
    options.table = takeRequiredOption(args, QStringLiteral("--table"));
    options.run.fileName = takeRequiredOption(args, QStringLiteral("--file"));
    options.mappingFile = takeRequiredOption(args, QStringLiteral("--mapping"));
    options.sheet = takeOption(args, QStringLiteral("--sheet"));
    options.run.startRowText = takeOption(args, QStringLiteral("--start")).value_or(QStringLiteral("1"));
    options.run.endRowText = takeRequiredOption(args, QStringLiteral("--end"));
    if (const std::optional<QString> headerRow = takeOption(args, QStringLiteral("--header-row"))) {
        options.headerRow = parseInteger(*headerRow);
        if (*options.headerRow < 1)
            throw std::runtime_error(QString::fromUtf8(texts::NotARowNumber).arg(*headerRow).toStdString());
    }
    options.run.deleteFirst = takeFlag(args, QStringLiteral("--delete"));
    options.seek = !takeFlag(args, QStringLiteral("--no-seek"));
    options.errorsFile = takeOption(args, QStringLiteral("--errors"));
    expectNoMoreArguments(args);
    return options;
}

QByteArray outputLines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.toUtf8() + '\n';
}

void tellStandardError(const QByteArray &bytes)
{
    try {
        platform::WriteStandardError(bytes);
    } catch (const platform::EFileWriteError &) {
        // Nobody reads standard error any more; the exit code still tells.
    }
}

ErrorLog::ErrorLog(const std::optional<QString> &fileName)
    : file_(fileName ? platform::AppendOnlyFile(*fileName) : platform::AppendOnlyFile::standardError())
{
}

void ErrorLog::append(const QString &entry, const QString &message)
{
    QByteArray bytes = entry.toUtf8() + message.toUtf8();
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    file_.append(bytes);
}

void ErrorLog::appendLine(const QString &line)
{
    file_.append(outputLines(line));
}

BatchSurroundings::BatchSurroundings(MappingTable mapping, QString table, bool seek,
                                     workbook::SheetChoice sheet, ErrorLog &errors)
    : mapping_(std::move(mapping)), table_(std::move(table)), seek_(seek), sheet_(std::move(sheet)),
      errors_(errors), showProgress_(platform::standardErrorIsTerminal())
{
}

BatchSurroundings::~BatchSurroundings()
{
    endProgressLine();
}

void BatchSurroundings::showMessage(MessageKind kind, const QString &caption, const QString &text,
                                    MessageIcon)
{
    endProgressLine();
    if (kind == MessageKind::Summary)
        summary_ = text;
    else
        tellStandardError(outputLines(caption + QStringLiteral(": ") + text));
}

void BatchSurroundings::showProgress(const QString &text)
{
    if (showProgress_)
        tellStandardError(outputLines(text + QString::fromUtf8(texts::ProgressEllipsis)));
}

void BatchSurroundings::setProgressLabel(const QString &text)
{
    if (!showProgress_)
        return;
    tellStandardError(('\r' + QString::fromUtf8(texts::ProgressCounters).arg(text)).toUtf8());
    progressLineOpen_ = true;
}

void BatchSurroundings::appendErrorEntry(const QString &entry, const QString &message)
{
    endProgressLine();
    errors_.append(entry, message);
}

std::unique_ptr<IImportSheet> BatchSurroundings::openWorkbook(const QString &fileName)
{
    return OpenImportSheet(fileName, platform::OperatorLocale::system(), sheet_);
}

void BatchSurroundings::endProgressLine()
{
    if (progressLineOpen_) {
        tellStandardError("\n");
        progressLineOpen_ = false;
    }
}

MappingTable loadMappingFile(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        throw std::runtime_error(QString::fromUtf8(texts::MappingNotFound).arg(fileName).toStdString());
    if (!info.isFile())
        throw std::runtime_error(QString::fromUtf8(texts::MappingNotAFile).arg(fileName).toStdString());
    QList<TColumnMapping> rows = LoadMapping(fileName);
    if (rows.isEmpty())
        throw std::runtime_error(QString::fromUtf8(texts::MappingWithoutRows).arg(fileName).toStdString());
    return MappingTable(std::move(rows));
}

workbook::SheetChoice chooseSheet(const BatchImportOptions &options)
{
    const QString saved = options.sheet ? QString() : LoadMappingSheet(options.mappingFile);
    if (!options.sheet && saved.isEmpty())
        return {};
    const std::vector<workbook::SheetInfo> sheets = workbook::listSheets(options.run.fileName);
    if (options.sheet)
        return SheetChoiceFromText(*options.sheet, sheets);
    for (const workbook::SheetInfo &sheet : sheets) {
        if (sheet.name == saved)
            return {1, saved};
    }
    tellStandardError(outputLines(QString::fromUtf8(texts::SavedSheetMissing).arg(saved)));
    return {};
}

void mapEmptyFieldsByHeader(MappingTable &mapping, const BatchImportOptions &options,
                            const workbook::SheetChoice &sheet)
{
    if (!options.headerRow)
        return;
    const auto book = workbook::openWorkbook(options.run.fileName, platform::OperatorLocale::system(), sheet);
    const int row = *options.headerRow;
    QStringList header;
    for (int column = 1, last = book->lastColumnOfRow(row); column <= last; ++column)
        header.append(book->cellText(row, column));
    const HeaderMapping result = MatchHeader(mapping, header, row, HeaderTargets::EmptyXlsFields);
    for (const HeaderMatch &match : result.matched)
        mapping.setCell(match.mappingRow, ColXlsField, QString::number(match.column));
    tellStandardError(outputLines(DescribeHeaderMapping(result)));
}

void configureSeekSet(oracle::TOracleDataSet &seekSet, oracle::TOracleSession &session)
{
    seekSet.SetSession(&session);
    seekSet.SetReadBuffer(25);
}

} // namespace rowpour::cli
