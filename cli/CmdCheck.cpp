// rowpour-batch check: the check before any change, without a window. It
// reads every selected row and reports what the table would refuse; nothing
// in the database is changed.

#include "cli/BatchImport.h"
#include "cli/CliTexts.h"
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
    QString::fromUtf8(texts::BatchImportUsage),
    QString::fromUtf8(texts::CheckSummary),
    run,
}};

} // namespace
} // namespace rowpour::cli
