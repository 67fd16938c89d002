// rowpour-batch load: the import run of the desktop program, without a window.
// The session is committed explicitly once the run has gone through, and
// rolled back on every other way out, so the table holds either the whole
// result of the run or what it held before.

#include "app/MappingSettings.h"
#include "cli/Command.h"
#include "cli/Options.h"
#include "cli/OracleCommand.h"
#include "import/ImportRun.h"
#include "import/OracleImportDatabase.h"
#include "platform/FileWriting.h"
#include "platform/Terminal.h"

#include <QFileInfo>

#include <optional>
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

QByteArray lines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.toUtf8() + '\n';
}

// Where failed-row entries go: a file opened for appending, or standard
// error. They are the run's record of its failed rows, so an entry that
// cannot be written ends the run.
class ErrorLog
{
public:
    explicit ErrorLog(const std::optional<QString> &fileName)
        : file_(fileName ? platform::AppendOnlyFile(*fileName) : platform::AppendOnlyFile::standardError())
    {
    }
    // The entry as the errors window shows it, then the database's message on a line of its own.
    void append(const QString &entry, const QString &message)
    {
        QByteArray bytes = entry.toUtf8() + message.toUtf8();
        if (!bytes.endsWith('\n'))
            bytes += '\n';
        file_.append(bytes);
    }

private:
    platform::AppendOnlyFile file_;
};

// Messages and progress go to standard error, where a failed write changes
// nothing; the summary is kept until the rows are committed.
class BatchSurroundings : public IImportSurroundings
{
public:
    BatchSurroundings(MappingTable mapping, QString table, bool seek, ErrorLog &errors)
        : mapping_(std::move(mapping)), table_(std::move(table)), seek_(seek), errors_(errors),
          showProgress_(platform::standardErrorIsTerminal())
    {
    }
    ~BatchSurroundings() override { endProgressLine(); }

    const IMappingCells &mapping() override { return mapping_; }
    QString tableName() override { return table_; }
    bool seekOldRecords() override { return seek_; }

    void showMessage(const QString &caption, const QString &text, MessageIcon) override
    {
        endProgressLine();
        if (caption == import_texts::kSummaryCaption)
            summary_ = text;
        else
            tell(lines(caption + QStringLiteral(": ") + text));
    }
    void showProgress(const QString &text) override
    {
        if (showProgress_)
            tell(lines(text + QStringLiteral("...")));
    }
    void hideProgress() override {}
    void setProgressRange(int, int) override {}
    void setProgressPosition(int) override {}
    void setProgressLabel(const QString &text) override
    {
        if (!showProgress_)
            return;
        tell(QStringLiteral("\rrow/end/failed/skipped: %1").arg(text).toUtf8());
        progressLineOpen_ = true;
    }
    void processEvents() override {}
    void appendErrorEntry(const QString &entry, const QString &message) override
    {
        endProgressLine();
        errors_.append(entry, message);
    }
    void showErrors() override {}
    std::unique_ptr<IImportSheet> openWorkbook(const QString &fileName) override
    {
        return OpenImportSheet(fileName, platform::OperatorLocale::system());
    }

    const QString &summary() const { return summary_; }

private:
    static void tell(const QByteArray &bytes)
    {
        try {
            platform::WriteStandardError(bytes);
        } catch (const platform::EFileWriteError &) {
            // Nobody reads standard error any more; the exit code still tells.
        }
    }
    void endProgressLine()
    {
        if (progressLineOpen_) {
            tell("\n");
            progressLineOpen_ = false;
        }
    }

    MappingTable mapping_;
    QString table_;
    bool seek_;
    ErrorLog &errors_;
    bool showProgress_;
    bool progressLineOpen_ = false;
    QString summary_;
};

MappingTable loadMappingFile(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        throw std::runtime_error(QStringLiteral("mapping file %1 not found").arg(fileName).toStdString());
    if (!info.isFile())
        throw std::runtime_error(QStringLiteral("mapping file %1 is not a file").arg(fileName).toStdString());
    QList<TColumnMapping> rows = LoadMapping(fileName);
    if (rows.isEmpty())
        throw std::runtime_error(
            QStringLiteral("mapping file %1 holds no mapping rows (no section [Rows] with "
                           "entries): is it a mapping saved by the desktop program?")
                .arg(fileName)
                .toStdString());
    return MappingTable(std::move(rows));
}

// The window's result set as the seek uses it.
void configureSeekSet(oracle::TOracleDataSet &seekSet, oracle::TOracleSession &session)
{
    seekSet.SetSession(&session);
    seekSet.SetReadBuffer(25);
}

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

int run(const QStringList &arguments)
{
    QStringList args = arguments;
    const QString userId = takeUserId(args);
    const QString table = takeRequiredOption(args, QStringLiteral("--table"));
    ImportOptions options;
    options.fileName = takeRequiredOption(args, QStringLiteral("--file"));
    const QString mappingFile = takeRequiredOption(args, QStringLiteral("--mapping"));
    options.startRowText = takeOption(args, QStringLiteral("--start")).value_or(QStringLiteral("1"));
    options.endRowText = takeRequiredOption(args, QStringLiteral("--end"));
    options.deleteFirst = takeFlag(args, QStringLiteral("--delete"));
    const bool seek = !takeFlag(args, QStringLiteral("--no-seek"));
    const std::optional<QString> errorsFile = takeOption(args, QStringLiteral("--errors"));
    expectNoMoreArguments(args);

    ErrorLog errors(errorsFile);
    BatchSurroundings surroundings(loadMappingFile(mappingFile), table, seek, errors);
    LoggedOnSession logon(withPassword(userId));
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
        platform::WriteStandardOutput(lines(surroundings.summary()));
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
    QStringLiteral("--userid USER[/PASSWORD]@DATABASE --table T --file F --mapping M.ini [--start N] --end M "
                   "[--delete] [--no-seek] [--errors FILE]"),
    QStringLiteral(
        "Loads rows N..M of the workbook's first sheet into table T with a mapping saved by the desktop "
        "program, and commits them. Without a password in --userid it comes from %1, or is asked for "
        "when standard input is a terminal. ")
            .arg(QLatin1String(kPasswordVariable)) +
        kExitCodes,
    run,
}};

} // namespace
} // namespace rowpour::cli
