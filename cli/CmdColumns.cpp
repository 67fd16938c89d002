// rowpour-batch columns: the column list of a table as the main window reads it.

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
    if (args.size() != 1)
        throw std::runtime_error(texts::ExpectedOneTable);
    LoggedOnSession logon(userId);
    oracle::TOracleDataSet dataSet;
    dataSet.SetSession(&logon.session());
    dataSet.SQL() = QStringList{QStringLiteral("select * from user_tab_columns where table_name='") +
                                QString(args.first()).replace(QLatin1Char('\''), QStringLiteral("''")) +
                                QStringLiteral("'")};
    dataSet.Open();
    QTextStream out(stdout);
    const int count = dataSet.RecordCount();
    for (int i = 0; i < count; ++i) {
        out << escapeField(dataSet.FieldByName(QStringLiteral("COLUMN_NAME")).AsString()) << '\t'
            << escapeField(dataSet.FieldByName(QStringLiteral("DATA_TYPE")).AsString()) << '\n';
        dataSet.Next();
    }
    dataSet.Close();
    return 0;
}

const CommandRegistration registration{{
    QStringLiteral("columns"),
    QString::fromUtf8(texts::ColumnsUsage),
    QString::fromUtf8(texts::ColumnsSummary),
    run,
}};

} // namespace
} // namespace rowpour::cli
