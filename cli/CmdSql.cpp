// rowpour-batch sql: runs SQL statements through the Oracle access layer.

#include "cli/CliTexts.h"
#include "cli/Command.h"
#include "cli/OracleCommand.h"
#include "oracle/DesktopServices.h"
#include "oracle/OracleData.h"
#include "oracle/OracleTypes.h"

#include <QTextStream>

#include <memory>
#include <stdexcept>

namespace rowpour::cli
{
namespace
{

using oracle::TField;
using oracle::TOracleDataSet;
using oracle::TOracleQuery;

// Bytes of a binary value printed in hexadecimal; a longer value prints
// these and its length.
constexpr qsizetype HexBytesShown = 1000;

QString binaryText(const QByteArray &bytes)
{
    if (bytes.size() <= HexBytesShown)
        return QString::fromLatin1(bytes.toHex()).toUpper();
    return QString::fromLatin1(bytes.left(HexBytesShown).toHex()).toUpper() +
           QString::fromUtf8(texts::BytesCutShort).arg(bytes.size());
}

// The text of a field: binary values (BLOB, LONG RAW) in hexadecimal, a
// BFILE as the directory and file it names, everything else as the result
// set gives it.
QString fieldText(TOracleDataSet &dataSet, const TField &field)
{
    if (field.DataType() != oracle::ftBlob || field.IsNull())
        return field.AsString();
    if (dataSet.MainQuery().ColumnType(field.ColumnIndex()) == oracle::extBfile)
        return QString::fromUtf8(field.AsBytes());
    return binaryText(field.AsBytes());
}

// Prints a select's records: a header line of field names, then one line of
// field texts per record, tab-separated.
void printRecords(TOracleDataSet &dataSet, QTextStream &out)
{
    QStringList header;
    for (int i = 0; i < dataSet.FieldCount(); ++i)
        header << escapeField(dataSet.Fields(i).FieldName());
    out << header.join(QLatin1Char('\t')) << '\n';
    for (; !dataSet.Eof(); dataSet.Next()) {
        QStringList line;
        for (int i = 0; i < dataSet.FieldCount(); ++i)
            line << escapeField(fieldText(dataSet, dataSet.Fields(i)));
        out << line.join(QLatin1Char('\t')) << '\n';
    }
}

// The result set's messages about columns it cannot hold (objects,
// references, cursors) go to standard error, once per column.
class ColumnMessagesToStandardError : public oracle::ForwardingDesktopServices
{
public:
    void showMessageBox(const QString &message) override
    {
        QTextStream err(stderr);
        err << QString::fromUtf8(texts::SqlMessage).arg(message) << "\n";
    }
};

void runStatement(const QString &statement, TOracleQuery &query, TOracleDataSet &dataSet, QTextStream &out)
{
    query.SQL() = QStringList{statement};
    query.Describe();
    if (query.StatementKind() == 4) {
        if (dataSet.Active())
            dataSet.Close();
        dataSet.SQL() = QStringList{statement};
        dataSet.Open();
        printRecords(dataSet, out);
        dataSet.Close();
    } else {
        query.Execute();
        out << query.ProcessedRowCount() << '\n';
    }
    out.flush();
}

QStringList statementsFrom(const QString &argument)
{
    if (argument != QLatin1String("-"))
        return {argument};
    QStringList statements;
    QTextStream in(stdin);
    QString line;
    while (in.readLineInto(&line))
        if (!line.trimmed().isEmpty())
            statements << line;
    return statements;
}

int run(const QStringList &arguments)
{
    QStringList args = arguments;
    const QString userId = takeUserId(args);
    const bool commit = takeFlag(args, QStringLiteral("--commit"));
    if (args.size() != 1)
        throw std::runtime_error(texts::ExpectedOneStatement);
    const QStringList statements = statementsFrom(args.first());
    QTextStream out(stdout);
    const oracle::DesktopServicesScope messages(std::make_unique<ColumnMessagesToStandardError>());
    LoggedOnSession logon(userId);
    TOracleQuery query;
    query.SetSession(&logon.session());
    TOracleDataSet dataSet;
    dataSet.SetSession(&logon.session());
    for (const QString &statement : statements)
        runStatement(statement, query, dataSet, out);
    if (commit)
        logon.session().Commit();
    return 0;
}

const CommandRegistration registration{{
    QStringLiteral("sql"),
    QString::fromUtf8(texts::SqlUsage),
    QString::fromUtf8(texts::SqlSummary),
    run,
}};

} // namespace
} // namespace rowpour::cli
