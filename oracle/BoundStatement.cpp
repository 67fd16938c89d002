#include "oracle/BoundStatement.h"

#include "oracle/OracleCI.h"
#include "oracle/OracleTexts.h"
#include "oracle/OracleTypes.h"

#include <algorithm>

namespace rowpour::oracle
{

using namespace oci;

namespace
{

constexpr char kNeedsOCI8[] = "Bind variables require OCI8 mode, but OCI7 mode is used.";
constexpr char kValueTooLong[] = "A bound value of %1 bytes is longer than the %2 bytes a bind holds";

[[noreturn]] void raiseStatus(sword status)
{
    throw EOracleError(status, QString::fromUtf8(texts::CallFailedWithoutRecord).arg(status));
}

} // namespace

// The bound values of one placeholder for every row of an execution, laid
// out as the client library reads arrays: values of `width` bytes one after
// the other, one indicator and one length per row.
struct TBoundStatement::ColumnBuffers {
    QByteArray values;
    int width = 1;
    std::vector<sb2> indicators;
    std::vector<ub2> lengths;
};

TBoundStatement::TBoundStatement(TOracleSession &session, const QString &text, int placeholders,
                                 TBindTextKind kind)
    : session_(&session), text_(text.toUtf8()), placeholders_(placeholders), kind_(kind)
{
    if (!session.Connected())
        throw EQueryError(QString::fromUtf8(texts::NotLoggedOn));
    if (!session.OCI8Mode())
        throw EQueryError(QString::fromUtf8(kNeedsOCI8));
    generation_ = ClientLibrary::instance().Generation();
    const auto allocate = [&](void **handle, ub4 type) {
        const sword status = oci::OCIHandleAlloc(session.EnvHandle(), handle, type, 0, nullptr);
        if (status != OCI_SUCCESS || !*handle) {
            FreeHandles();
            raiseStatus(status);
        }
    };
    allocate(reinterpret_cast<void **>(&error_), OCI_HTYPE_ERROR);
    allocate(reinterpret_cast<void **>(&rowError_), OCI_HTYPE_ERROR);
    allocate(reinterpret_cast<void **>(&statement_), OCI_HTYPE_STMT);
    // Preparing is local to the client: the text reaches the server, and is
    // parsed there, with the first execution.
    const sword status =
        oci::OCIStmtPrepare(statement_, error_, reinterpret_cast<const OraText *>(text_.constData()),
                            static_cast<ub4>(text_.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
    if (status != OCI_SUCCESS) {
        const EOracleError failure = EOracleError::FromErrorHandle(error_);
        FreeHandles();
        throw failure;
    }
    session.RegisterStatement(this);
}

TBoundStatement::~TBoundStatement()
{
    if (!session_)
        return;
    session_->UnregisterStatement(this);
    try {
        FreeHandles();
    } catch (...) {
        // The handles go with the session's environment.
    }
}

void TBoundStatement::SessionLoggingOff()
{
    FreeHandles();
}

void TBoundStatement::SessionDestroyed()
{
    statement_ = nullptr;
    error_ = rowError_ = nullptr;
    session_ = nullptr;
}

void TBoundStatement::FreeHandles()
{
    if (generation_ == ClientLibrary::instance().Generation()) {
        if (statement_)
            oci::OCIHandleFree(statement_, OCI_HTYPE_STMT);
        if (rowError_)
            oci::OCIHandleFree(rowError_, OCI_HTYPE_ERROR);
        if (error_)
            oci::OCIHandleFree(error_, OCI_HTYPE_ERROR);
    }
    statement_ = nullptr;
    error_ = rowError_ = nullptr;
}

void TBoundStatement::CheckUsable() const
{
    if (!session_ || !session_->Connected() || !statement_ ||
        generation_ != ClientLibrary::instance().Generation())
        throw EQueryError(QString::fromUtf8(texts::NotLoggedOn));
}

void TBoundStatement::RaiseFrom(OCIError *error, sword status)
{
    EOracleError failure = EOracleError::FromErrorHandle(error);
    if (failure.ErrorNumber() != 0)
        throw failure;
    raiseStatus(status);
}

void TBoundStatement::BindColumns(std::vector<ColumnBuffers> &columns)
{
    const ub2 type = kind_ == TBindTextKind::Char ? SQLT_AFC : SQLT_CHR;
    for (int c = 0; c < placeholders_; ++c) {
        ColumnBuffers &column = columns[static_cast<std::size_t>(c)];
        OCIBind *bind = nullptr;
        const sword status = oci::OCIBindByPos(
            statement_, &bind, error_, static_cast<ub4>(c + 1), column.values.data(), column.width, type,
            column.indicators.data(), column.lengths.data(), nullptr, 0, nullptr, OCI_DEFAULT);
        if (status != OCI_SUCCESS)
            RaiseFrom(error_, status);
    }
}

namespace
{

// Lays out the texts of every row, column by column.
template <typename Buffers>
std::vector<Buffers> layOut(const std::vector<QStringList> &rows, int placeholders)
{
    std::vector<Buffers> columns(static_cast<std::size_t>(placeholders));
    std::vector<QByteArray> texts(rows.size());
    for (int c = 0; c < placeholders; ++c) {
        Buffers &column = columns[static_cast<std::size_t>(c)];
        int width = 1;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            texts[r] = c < rows[r].size() ? rows[r][c].toUtf8() : QByteArray();
            if (texts[r].size() > TBoundStatement::MaxValueBytes)
                throw EQueryError(QString::fromUtf8(kValueTooLong)
                                      .arg(texts[r].size())
                                      .arg(TBoundStatement::MaxValueBytes));
            width = std::max(width, static_cast<int>(texts[r].size()));
        }
        column.width = width;
        column.values = QByteArray(static_cast<qsizetype>(width) * static_cast<qsizetype>(rows.size()), '\0');
        column.indicators.resize(rows.size());
        column.lengths.resize(rows.size());
        for (std::size_t r = 0; r < rows.size(); ++r) {
            std::copy(texts[r].begin(), texts[r].end(),
                      column.values.begin() + static_cast<qsizetype>(r) * width);
            column.lengths[r] = static_cast<ub2>(texts[r].size());
            column.indicators[r] = texts[r].isEmpty() ? OCI_IND_NULL : OCI_IND_NOTNULL;
        }
    }
    return columns;
}

} // namespace

std::vector<TRowFailure> TBoundStatement::ExecuteRows(const std::vector<QStringList> &rows)
{
    CheckUsable();
    if (rows.empty())
        return {};
    std::vector<ColumnBuffers> columns = layOut<ColumnBuffers>(rows, placeholders_);
    BindColumns(columns);
    const ub4 mode = OCI_BATCH_ERRORS | (session_->AutoCommit() ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT);
    ++executions_;
    const sword status = oci::OCIStmtExecute(session_->SvcCtx(), statement_, error_,
                                             static_cast<ub4>(rows.size()), 0, nullptr, nullptr, mode);
    switch (status) {
    case OCI_SUCCESS:
        return {};
    case OCI_SUCCESS_WITH_INFO:
        return RowFailures(static_cast<int>(rows.size()));
    case OCI_ERROR:
        return EveryRowFailed(static_cast<int>(rows.size()));
    default:
        raiseStatus(status);
    }
}

// The failures the server reported one by one, each on the row error handle.
std::vector<TRowFailure> TBoundStatement::RowFailures(int rows)
{
    ub4 count = 0;
    if (oci::OCIAttrGet(statement_, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_NUM_DML_ERRORS, error_) !=
        OCI_SUCCESS)
        RaiseFrom(error_, OCI_ERROR);
    std::vector<TRowFailure> failures;
    for (ub4 i = 0; i < count; ++i) {
        void *record = rowError_;
        if (oci::OCIParamGet(error_, OCI_HTYPE_ERROR, error_, &record, i) != OCI_SUCCESS || !record)
            RaiseFrom(error_, OCI_ERROR);
        ub4 offset = 0;
        if (oci::OCIAttrGet(record, OCI_HTYPE_ERROR, &offset, nullptr, OCI_ATTR_DML_ROW_OFFSET, error_) !=
            OCI_SUCCESS)
            RaiseFrom(error_, OCI_ERROR);
        const EOracleError failure = EOracleError::FromErrorHandle(static_cast<OCIError *>(record));
        if (record != rowError_)
            oci::OCIHandleFree(record, OCI_HTYPE_ERROR);
        if (offset >= static_cast<ub4>(rows))
            throw EQueryError(
                QStringLiteral("The server reported a failure of row %1 of %2").arg(offset).arg(rows));
        failures.push_back({static_cast<int>(offset), failure.ErrorNumber(), failure.Message()});
    }
    std::sort(failures.begin(), failures.end(),
              [](const TRowFailure &a, const TRowFailure &b) { return a.row < b.row; });
    return failures;
}

// An execution refused as a whole (the statement itself, not one of its
// rows) has changed nothing: every row failed with its message. If the
// server says it changed rows none the less, which rows stand is unknown, so
// the failure is raised.
std::vector<TRowFailure> TBoundStatement::EveryRowFailed(int rows)
{
    const EOracleError failure = EOracleError::FromErrorHandle(error_);
    ub4 processed = 0;
    if (oci::OCIAttrGet(statement_, OCI_HTYPE_STMT, &processed, nullptr, OCI_ATTR_ROW_COUNT, rowError_) !=
            OCI_SUCCESS ||
        processed != 0 || failure.ErrorNumber() == 0)
        throw failure;
    std::vector<TRowFailure> failures;
    for (int r = 0; r < rows; ++r)
        failures.push_back({r, failure.ErrorNumber(), failure.Message()});
    return failures;
}

long long TBoundStatement::SelectNumber(const QStringList &values)
{
    CheckUsable();
    std::vector<ColumnBuffers> columns = layOut<ColumnBuffers>({values}, placeholders_);
    BindColumns(columns);
    ++executions_;
    // Executed without fetching, then one row fetched: the row comes with the
    // execution's reply (the client prefetches it), so the select costs one
    // round trip.
    sword status =
        oci::OCIStmtExecute(session_->SvcCtx(), statement_, error_, 0, 0, nullptr, nullptr, OCI_DEFAULT);
    if (status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO)
        RaiseFrom(error_, status);
    char number[64] = {};
    sb2 indicator = 0;
    ub2 length = 0;
    OCIDefine *define = nullptr;
    status = oci::OCIDefineByPos(statement_, &define, error_, 1, number, sizeof number, SQLT_STR, &indicator,
                                 &length, nullptr, OCI_DEFAULT);
    if (status != OCI_SUCCESS)
        RaiseFrom(error_, status);
    status = oci::OCIStmtFetch(statement_, error_, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
    if (status == OCI_NO_DATA)
        return 0;
    if (status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO)
        RaiseFrom(error_, status);
    return indicator == OCI_IND_NULL ? 0 : QByteArray(number).trimmed().toLongLong();
}

} // namespace rowpour::oracle
