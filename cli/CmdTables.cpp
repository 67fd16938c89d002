// rowpour-batch tables: the table list of the main window.

#include "cli/CliTexts.h"
#include "cli/Command.h"
#include "cli/OracleCommand.h"
#include "oracle/OracleData.h"

#include <QTextStream>

#include <stdexcept>

namespace rowpour::cli
{
namespace
{

int run(const QStringList &arguments)
{
    QStringList args = arguments;
    const QString userId = takeUserId(args);
    if (!args.isEmpty())
        throw std::runtime_error(
            QString::fromUtf8(texts::UnexpectedArgument).arg(args.first()).toStdString());
    LoggedOnSession logon(userId);
    oracle::TOracleDataSet dataSet;
    dataSet.SetSession(&logon.session());
    dataSet.SQL() = QStringList{QStringLiteral("select * from user_tables")};
    dataSet.Open();
    QTextStream out(stdout);
    const int count = dataSet.RecordCount();
    for (int i = 0; i < count; ++i) {
        out << escapeField(dataSet.FieldByName(QStringLiteral("TABLE_NAME")).AsString()) << '\n';
        dataSet.Next();
    }
    dataSet.Close();
    return 0;
}

const CommandRegistration registration{{
    QStringLiteral("tables"),
    QString::fromUtf8(texts::TablesUsage),
    QString::fromUtf8(texts::TablesSummary),
    run,
}};

} // namespace
} // namespace rowpour::cli
