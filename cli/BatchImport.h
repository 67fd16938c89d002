#pragma once
// What the import commands of rowpour-batch (load, check) share: their
// options, the mapping file, the workbook's sheet, the errors file and the
// engine's surroundings without a window.

#include "import/ImportRun.h"
#include "oracle/OracleData.h"
#include "platform/FileWriting.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace rowpour::cli
{

// The options that load and check take alike.
struct BatchImportOptions {
    QString userId;
    QString table;
    QString mappingFile;
    std::optional<QString> sheet;
    std::optional<int> headerRow;
    bool seek = true;
    std::optional<QString> errorsFile;
    ImportOptions run;
};

// Takes the options out of args (the command's own ones must be taken first).
BatchImportOptions takeBatchImportOptions(QStringList &args);

QByteArray outputLines(QString text);
// Writes to standard error; a failed write changes nothing (the exit code still tells).
void tellStandardError(const QByteArray &bytes);

// Where failed-row entries go: a file opened for appending, or standard
// error. They are the run's record of its failed rows, so an entry that
// cannot be written ends the run.
class ErrorLog
{
public:
    explicit ErrorLog(const std::optional<QString> &fileName);
    // The entry as the errors window shows it, then the database's message on a line of its own.
    void append(const QString &entry, const QString &message);
    // A line of its own.
    void appendLine(const QString &line);

private:
    platform::AppendOnlyFile file_;
};

// Messages and progress go to standard error, where a failed write changes
// nothing; the summary is kept until the caller writes it.
class BatchSurroundings : public IImportSurroundings
{
public:
    BatchSurroundings(MappingTable mapping, QString table, bool seek, workbook::SheetChoice sheet,
                      ErrorLog &errors);
    ~BatchSurroundings() override;

    const IMappingCells &mapping() override { return mapping_; }
    QString tableName() override { return table_; }
    bool seekOldRecords() override { return seek_; }
    void showMessage(MessageKind kind, const QString &caption, const QString &text, MessageIcon) override;
    void showProgress(const QString &text) override;
    void hideProgress() override {}
    void setProgressRange(int, int) override {}
    void setProgressPosition(int) override {}
    void setProgressLabel(const QString &text) override;
    void processEvents() override {}
    void appendErrorEntry(const QString &entry, const QString &message) override;
    void showErrors() override {}
    std::unique_ptr<IImportSheet> openWorkbook(const QString &fileName) override;

    const QString &summary() const { return summary_; }

private:
    void endProgressLine();

    MappingTable mapping_;
    QString table_;
    bool seek_;
    workbook::SheetChoice sheet_;
    ErrorLog &errors_;
    bool showProgress_;
    bool progressLineOpen_ = false;
    QString summary_;
};

// The mapping rows of a file saved by the desktop program; throws when the
// file is missing or holds none.
MappingTable loadMappingFile(const QString &fileName);

// The sheet to read: --sheet when given; else the sheet the mapping was saved
// with, when the workbook has it (otherwise the first, and a note says so);
// else the first.
workbook::SheetChoice chooseSheet(const BatchImportOptions &options);

// With --header-row, fills the empty XLS fields of the mapping from the
// header cells of that row, and tells on standard error what it matched.
void mapEmptyFieldsByHeader(MappingTable &mapping, const BatchImportOptions &options,
                            const workbook::SheetChoice &sheet);

// The window's result set as the seek and the listings use it.
void configureSeekSet(oracle::TOracleDataSet &seekSet, oracle::TOracleSession &session);

} // namespace rowpour::cli
