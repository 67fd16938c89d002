// rowpour-batch load: the import run of the desktop program, without a window.

#include "app/MappingSettings.h"
#include "cli/Command.h"
#include "cli/Options.h"
#include "cli/OracleCommand.h"
#include "import/ImportRun.h"
#include "import/OracleImportDatabase.h"
#include "import/workbook/Workbook.h"
#include "platform/Terminal.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <stdexcept>

namespace rowpour::cli
{
namespace
{

enum ExitCode { AllRowsLoaded = 0, RowsFailed = 1, RunEnded = 2 };

// Where failed-row entries go: a file opened for appending, or standard error.
class ErrorLog
{
public:
    explicit ErrorLog(const std::optional<QString> &fileName)
    {
        if (!fileName) {
            file_.open(stderr, QIODevice::WriteOnly);
            return;
        }
        file_.setFileName(*fileName);
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Append))
            throw std::runtime_error(
                QStringLiteral("cannot open %1: %2").arg(*fileName, file_.errorString()).toStdString());
    }
    // The entry as the errors window shows it, then the database's message on a line of its own.
    void append(const QString &entry, const QString &message)
    {
        QByteArray bytes = entry.toUtf8() + message.toUtf8();
        if (!bytes.endsWith('\n'))
            bytes += '\n';
        if (file_.write(bytes) != bytes.size() || !file_.flush())
            throw std::runtime_error(QStringLiteral("cannot write to %1: %2")
                                         .arg(file_.fileName(), file_.errorString())
                                         .toStdString());
    }

private:
    QFile file_;
};

class BatchSurroundings : public IImportSurroundings
{
public:
    BatchSurroundings(MappingTable mapping, QString table, bool seek, ErrorLog &errors)
        : mapping_(std::move(mapping)), table_(std::move(table)), seek_(seek), errors_(errors),
          showProgress_(platform::standardErrorIsTerminal()), out_(stdout), err_(stderr)
    {
    }
    ~BatchSurroundings() override { endProgressLine(); }

    const IMappingCells &mapping() override { return mapping_; }
    QString tableName() override { return table_; }
    bool seekOldRecords() override { return seek_; }

    void showMessage(const QString &caption, const QString &text, MessageIcon) override
    {
        endProgressLine();
        QString lines = text;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (caption == import_texts::kSummaryCaption) {
            out_ << lines << '\n';
            out_.flush();
        } else {
            err_ << caption << ": " << lines << '\n';
            err_.flush();
        }
    }
    void showProgress(const QString &text) override
    {
        if (showProgress_) {
            err_ << text << "...\n";
            err_.flush();
        }
    }
    void hideProgress() override {}
    void setProgressRange(int, int) override {}
    void setProgressPosition(int) override {}
    void setProgressLabel(const QString &text) override
    {
        if (!showProgress_)
            return;
        err_ << "\rrow/end/failed/skipped: " << text;
        err_.flush();
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

private:
    void endProgressLine()
    {
        if (progressLineOpen_) {
            err_ << '\n';
            err_.flush();
            progressLineOpen_ = false;
        }
    }

    MappingTable mapping_;
    QString table_;
    bool seek_;
    ErrorLog &errors_;
    bool showProgress_;
    bool progressLineOpen_ = false;
    QTextStream out_;
    QTextStream err_;
};

MappingTable loadMappingFile(const QString &fileName)
{
    if (!QFileInfo(fileName).isFile())
        throw std::runtime_error(QStringLiteral("mapping file %1 not found").arg(fileName).toStdString());
    return MappingTable(LoadMapping(fileName));
}

// The window's result set as the seek uses it.
void configureSeekSet(oracle::TOracleDataSet &seekSet, oracle::TOracleSession &session)
{
    seekSet.SetSession(&session);
    seekSet.SetReadBuffer(25);
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
    LoggedOnSession logon(userId);
    oracle::TOracleDataSet seekSet;
    configureSeekSet(seekSet, logon.session());
    OracleImportDatabase database(logon.session(), seekSet);

    const ImportResult result = RunImport(options, surroundings, database);
    if (!result.validated)
        return RunEnded;
    return result.failed > 0 ? RowsFailed : AllRowsLoaded;
}

const CommandRegistration registration{{
    QStringLiteral("load"),
    QStringLiteral("--userid USER/PASSWORD@DATABASE --table T --file F --mapping M.ini [--start N] --end M "
                   "[--delete] [--no-seek] [--errors FILE]"),
    QStringLiteral(
        "Loads rows N..M of the workbook's first sheet into table T with a mapping saved by the desktop "
        "program. Exit code 0: every row inserted or skipped; 1: rows failed; 2: the run ended with an "
        "error."),
    run,
}};

} // namespace
} // namespace rowpour::cli
