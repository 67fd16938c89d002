#include "import/OracleArrayInsert.h"

#include "oracle/OracleTypes.h"

#include <climits>

namespace rowpour
{

namespace
{

QString literal(QString text)
{
    text.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

// The texts of every row of a select.
QList<QStringList> rowsOf(oracle::TOracleSession &session, const QString &select)
{
    oracle::TOracleQuery query;
    query.SetSession(&session);
    query.SQL().append(select);
    query.Execute();
    QList<QStringList> rows;
    for (; !query.Eof(); query.Next()) {
        QStringList row;
        for (int c = 0; c < query.ColumnCount(); ++c)
            row.append(query.ColumnAsText(c));
        rows.append(row);
    }
    return rows;
}

// The VALUE of one parameter of an NLS parameter view; empty when it is not listed.
QString parameter(oracle::TOracleSession &session, const QString &view, const QString &name)
{
    const QList<QStringList> rows = rowsOf(session, QStringLiteral("select VALUE from ") + view +
                                                        QStringLiteral(" where PARAMETER=") + literal(name));
    return rows.isEmpty() ? QString() : rows.front().value(0);
}

bool isCharacterType(const QString &dataType)
{
    static const QStringList types = {QStringLiteral("CHAR"), QStringLiteral("VARCHAR2"),
                                      QStringLiteral("NCHAR"), QStringLiteral("NVARCHAR2"),
                                      QStringLiteral("VARCHAR")};
    return types.contains(dataType);
}

} // namespace

void OracleArrayInsert::prepareInsert(const QString &statement, int columns)
{
    insert_ = std::make_unique<oracle::TBoundStatement>(session_, statement, columns,
                                                        oracle::TBindTextKind::Varchar);
}

std::vector<ArrayRowFailure> OracleArrayInsert::insertRows(const std::vector<QStringList> &rows)
{
    std::vector<ArrayRowFailure> failures;
    for (const oracle::TRowFailure &failure : insert_->ExecuteRows(rows))
        failures.push_back({failure.row, failure.message});
    return failures;
}

// The seek's values compare as character literals do: blank-padded with CHAR columns.
void OracleArrayInsert::prepareSeek(const QString &statement, int columns)
{
    seek_ =
        std::make_unique<oracle::TBoundStatement>(session_, statement, columns, oracle::TBindTextKind::Char);
}

int OracleArrayInsert::countRecords(const QStringList &values)
{
    const long long count = seek_->SelectNumber(values);
    return count > INT_MAX ? INT_MAX : static_cast<int>(count);
}

// What cannot be read leaves the comparison at its most cautious: no column
// compared by codes, so any waiting row may be found.
SeekComparison OracleArrayInsert::seekComparison(const QString &dictionaryName)
{
    SeekComparison comparison;
    try {
        for (const QStringList &column :
             rowsOf(session_,
                    QStringLiteral("select COLUMN_NAME, DATA_TYPE from user_tab_columns where table_name=") +
                        literal(dictionaryName)))
            if (isCharacterType(column.value(1)))
                comparison.characterColumns.append(column.value(0));
        // NLS_COMP is BINARY unless the session asks for linguistic comparison;
        // a server that does not list it knows no other.
        const QString compare =
            parameter(session_, QStringLiteral("nls_session_parameters"), QStringLiteral("NLS_COMP"));
        comparison.binary = compare.isEmpty() || compare == QLatin1String("BINARY");
        const QString charset = parameter(session_, QStringLiteral("nls_database_parameters"),
                                          QStringLiteral("NLS_CHARACTERSET"));
        comparison.unicodeDatabase = charset == QLatin1String("AL32UTF8") || charset == QLatin1String("UTF8");
    } catch (const std::exception &) {
        return {};
    }
    return comparison;
}

} // namespace rowpour
