// rowpour-batch check: the check before any change, without a window. It
// reads every selected row and reports what the table would refuse; nothing
// in the database is changed.

#include "cli/BatchImport.h"
#include "cli/Command.h"
#include "cli/Options.h"
#include "cli/OracleCommand.h"
#include "import/ImportCheck.h"
#include "import/OracleImportDatabase.h"

namespace rowpour::cli
{
namespace
{

enum ExitCode {
    NoRowWouldFail = 0,
    RowsWouldFail = 1,
    NotChecked = 2,
};

// The report goes to the errors file (or standard error), the summary also
// to standard output.
class ErrorsFileReport : public ICheckReport
{
public:
    explicit ErrorsFileReport(ErrorLog &log) : log_(log) {}
    void heading(const QString &text) override { log_.appendLine(text); }
    void rowFaults(const QString &entry, const QString &faults) override { log_.append(entry, faults); }
    void summary(const QString &text) override
    {
        log_.appendLine(text);
        summary_ = text;
    }
    const QString &summaryText() const { return summary_; }

private:
    ErrorLog &log_;
    QString summary_;
};

int run(const QStringList &arguments)
{
    QStringList args = arguments;
    const BatchImportOptions batch = takeBatchImportOptions(args);

    MappingTable mapping = loadMappingFile(batch.mappingFile);
    const workbook::SheetChoice sheet = chooseSheet(batch);
    mapEmptyFieldsByHeader(mapping, batch, sheet);
    ErrorLog errors(batch.errorsFile);
    BatchSurroundings surroundings(std::move(mapping), batch.table, batch.seek, sheet, errors);
    LoggedOnSession logon(withPassword(batch.userId));
    // The check changes nothing; should anything be pending, it is not kept.
    logon.session().RollbackOnDisconnect = true;
    oracle::TOracleDataSet listingSet;
    configureSeekSet(listingSet, logon.session());
    OracleImportDatabase database(logon.session(), listingSet);
    ErrorsFileReport report(errors);

    const CheckResult result = RunCheck(batch.run, surroundings, database, database, report);
    if (!result.validated)
        return NotChecked;
    try {
        platform::WriteStandardOutput(outputLines(report.summaryText()));
    } catch (const platform::EFileWriteError &) {
        // The report is in the errors file; the exit code tells the rest.
    }
    return result.wouldFail > 0 ? RowsWouldFail : NoRowWouldFail;
}

const CommandRegistration registration{{
    QStringLiteral("check"),
    kBatchImportUsage,
    QStringLiteral(
        "Checks rows N..M as load would read them, against the columns of table T, and changes "
        "nothing: every row the table would refuse is reported with its columns and reasons (to the "
        "errors file, else standard error), then \"K rows would fail\" (also on standard output). "
        "Exit code 0: no row would fail; 1: rows would fail; 2: the rows could not be checked."),
    run,
}};

} // namespace
} // namespace rowpour::cli
