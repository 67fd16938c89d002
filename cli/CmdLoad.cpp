// rowpour-batch load: the import run of the desktop program, without a window.
// The session is committed explicitly once the run has gone through, and
// rolled back on every other way out, so the table holds either the whole
// result of the run or what it held before.

#include "cli/BatchImport.h"
#include "cli/CliTexts.h"
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

void commitRun(oracle::TOracleSession &session)
{
    try {
        session.Commit();
    } catch (const std::exception &e) {
        throw std::runtime_error(
            (QString::fromUtf8(texts::CommitFailed) + QString::fromUtf8(e.what()).trimmed()).toStdString());
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
        throw std::runtime_error(QString::fromUtf8(texts::NotArrayRows).arg(*text).toStdString());
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
            QString::fromUtf8(texts::SummaryNotWritten).arg(QString::fromUtf8(e.what())) + QLatin1Char('\n');
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
    QString::fromUtf8(texts::BatchImportUsage) + QString::fromUtf8(texts::LoadArrayUsage),
    QString::fromUtf8(texts::LoadSummary).arg(QLatin1String(kPasswordVariable)) +
        QString::fromUtf8(texts::LoadExitCodes),
    run,
}};

} // namespace
} // namespace rowpour::cli
