// rowpour-batch load: the import run of the desktop program, without a window.
// The session is committed explicitly once the run has gone through, and
// rolled back on every other way out, so the table holds either the whole
// result of the run or what it held before.

#include "cli/BatchImport.h"
#include "cli/Command.h"
#include "cli/Options.h"
#include "cli/OracleCommand.h"
#include "import/ImportRun.h"
#include "import/OracleImportDatabase.h"
#include "platform/FileWriting.h"

#include <stdexcept>

namespace rowpour::cli
{
namespace
{

enum ExitCode {
    AllRowsLoaded = 0,
    RowsFailed = 1,
    RunEnded = 2,
    DeleteFailed = 3,
    SummaryNotWritten = 4,
};

const QString kExitCodes = QStringLiteral(
    "Exit code 0: every row inserted or skipped; 1: rows failed (the others were loaded); 2: the run ended "
    "with an error and nothing of it was kept (the table is as it was); 3: \"Delete old data before insert\" "
    "failed, the database's reason is printed and the rows were loaded beside the old ones; 4: the rows were "
    "committed but the summary could not be written.");

void commitRun(oracle::TOracleSession &session)
{
    try {
        session.Commit();
    } catch (const std::exception &e) {
        throw std::runtime_error(
            (QStringLiteral("the rows could not be committed, nothing of this run was kept: ") +
             QString::fromUtf8(e.what()).trimmed())
                .toStdString());
    }
}

int exitCodeOf(const ImportResult &result)
{
    if (result.deleteFailed)
        return DeleteFailed;
    return result.failed > 0 ? RowsFailed : AllRowsLoaded;
}

// --array N: rows per execution of the array insert; 0 (the default) sends a statement per row.
int takeArrayRows(QStringList &args)
{
    const std::optional<QString> text = takeOption(args, QStringLiteral("--array"));
    if (!text)
        return 0;
    bool ok = false;
    const int rows = text->toInt(&ok);
    if (!ok || rows < 0)
        throw std::runtime_error(
            QStringLiteral("--array %1 is not a number of rows (0 or more)").arg(*text).toStdString());
    return rows;
}

int run(const QStringList &arguments)
{
    QStringList args = arguments;
    const int arrayRows = takeArrayRows(args);
    BatchImportOptions batch = takeBatchImportOptions(args);
    batch.run.arrayRows = arrayRows;
    const ImportOptions &options = batch.run;

    MappingTable mapping = loadMappingFile(batch.mappingFile);
    const workbook::SheetChoice sheet = chooseSheet(batch);
    mapEmptyFieldsByHeader(mapping, batch, sheet);
    ErrorLog errors(batch.errorsFile);
    BatchSurroundings surroundings(std::move(mapping), batch.table, batch.seek, sheet, errors);
    LoggedOnSession logon(withPassword(batch.userId));
    // Every way out but the commit below rolls back, whatever the server
    // would do with a session that ends.
    logon.session().RollbackOnDisconnect = true;
    oracle::TOracleDataSet seekSet;
    configureSeekSet(seekSet, logon.session());
    OracleImportDatabase database(logon.session(), seekSet);

    const ImportResult result = RunImport(options, surroundings, database);
    if (!result.validated)
        return RunEnded;
    commitRun(logon.session());
    try {
        platform::WriteStandardOutput(outputLines(surroundings.summary()));
    } catch (const platform::EFileWriteError &e) {
        const QString text =
            QStringLiteral("rowpour-batch load: the rows were committed, but the summary could "
                           "not be written: %1\n")
                .arg(QString::fromUtf8(e.what()));
        try {
            platform::WriteStandardError(text.toUtf8());
        } catch (const platform::EFileWriteError &) {
            // Standard error is gone as well; the exit code tells.
        }
        return SummaryNotWritten;
    }
    return exitCodeOf(result);
}

const CommandRegistration registration{{
    QStringLiteral("load"),
    kBatchImportUsage + QStringLiteral(" [--array N]"),
    QStringLiteral(
        "Loads rows N..M of the workbook's sheet (the mapping's, else the first) into table T with a mapping "
        "saved by the desktop program, and commits them; --header-row fills the mapping's empty XLS fields "
        "from that row's header cells; --array N sends the rows N at a time to one prepared insert with bind "
        "variables (the same rows, counts and failures; 0, the default, sends a statement per row). Without "
        "a password in --userid it comes from %1, or is asked for "
        "when standard input is a terminal. ")
            .arg(QLatin1String(kPasswordVariable)) +
        kExitCodes,
    run,
}};

} // namespace
} // namespace rowpour::cli
