// TOracleQuery: prepare and execute.
#include "oracle/OracleQuery.h"

#include "oracle/BusyMark.h"
#include "oracle/DesktopServices.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleTexts.h"

namespace rowpour::oracle
{

using namespace oci;

namespace
{

// Statement kinds whose prepared statement an unchanged text may reuse.
bool reusableKind(int kind)
{
    switch (kind) {
    case 3:
    case 4:
    case 5:
    case 9:
    case 33:
    case 34:
    case 35:
    case 54:
    case 55:
    case 56:
        return true;
    default:
        return false;
    }
}

int statementKindOfType(ub2 type)
{
    switch (type) {
    case OCI_STMT_SELECT:
        return 4;
    case OCI_STMT_UPDATE:
        return 5;
    case OCI_STMT_DELETE:
        return 9;
    case OCI_STMT_INSERT:
        return 3;
    case OCI_STMT_BEGIN:
    case OCI_STMT_DECLARE:
        return 34;
    default:
        return -1;
    }
}

constexpr int SelectKind = 4;

} // namespace

QByteArray TOracleQuery::BuildStatementText(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += line + QLatin1String("\r\n");
    text.remove(QLatin1Char('\r'));
    if (text.isEmpty())
        text = QStringLiteral(" ");
    return text.toUtf8();
}

void TOracleQuery::CheckSession() const
{
    if (!session_)
        throw EQueryError(QString::fromUtf8(texts::SessionUndefined));
}

void TOracleQuery::FireAfterQuery()
{
    afterQueryPending_ = false;
    if (AfterQuery)
        AfterQuery(*this);
}

void TOracleQuery::Execute()
{
    const BusyMark busy(busy_, 1);
    if (BeforeQuery)
        BeforeQuery(*this);
    afterQueryPending_ = true;
    try {
        ExecuteCore(false);
    } catch (...) {
        if (afterQueryPending_)
            FireAfterQuery();
        throw;
    }
    if (eof_ && afterQueryPending_)
        FireAfterQuery();
}

void TOracleQuery::Describe()
{
    const BusyMark busy(busy_, 1);
    ExecuteCore(true);
}

void TOracleQuery::ExecuteCore(bool describeOnly)
{
    CheckSession();
    eof_ = true;
    if (!ClientLibraryLoaded())
        LoadClientLibrary();
    if (!session_->Connected())
        throw EQueryError(QString::fromUtf8(texts::NotLoggedOn));
    if (Debug && !describeOnly)
        InstalledDesktopServices()->showMessageBox(sql_.join(QLatin1String("\r\n")));
    Prepare();
    if (statementKind_ == SelectKind) {
        if (handlesOCI8_)
            SelectOCI8(describeOnly);
        else
            SelectOCI7(describeOnly);
    } else if (!describeOnly) {
        NonSelect();
    }
}

void TOracleQuery::AllocateHandles()
{
    handlesOCI8_ = session_->OCI8Mode();
    handlesGeneration_ = ClientLibrary::instance().Generation();
    if (handlesOCI8_) {
        OCIEnv *env = session_->EnvHandle();
        const auto allocate = [&](void **handle, ub4 type) {
            const sword status = Track(oci::OCIHandleAlloc(env, handle, type, 0, nullptr));
            if (status != OCI_SUCCESS)
                throw EOracleError(status, QString::fromUtf8(texts::CallFailedWithoutRecord).arg(status));
        };
        allocate(reinterpret_cast<void **>(&error1_), OCI_HTYPE_ERROR);
        allocate(reinterpret_cast<void **>(&error2_), OCI_HTYPE_ERROR);
        const sword status = Track(oci::OCIDescriptorAlloc(env, &rowId_, OCI_DTYPE_ROWID, 0, nullptr));
        if (status != OCI_SUCCESS)
            rowId_ =
                nullptr; // only row-id binds use it; a library without row-id descriptors still runs selects
    } else {
        cda_ = {};
        if (oci::oopen(&cda_, session_->Lda(), nullptr, -1, -1, nullptr, -1) != 0)
            throw EOracleError::FromReturnCode(session_->Lda(), cda_.rc);
    }
    handlesAllocated_ = true;
}

void TOracleQuery::Prepare()
{
    parseErrorLine_ = 0;
    parseErrorColumn_ = 0;
    if (handlesAllocated_ && (handlesGeneration_ != ClientLibrary::instance().Generation() ||
                              handlesOCI8_ != session_->OCI8Mode()))
        ForgetHandles(); // made under another library load or call mode; not ours to free
    if (!handlesAllocated_)
        AllocateHandles();
    const QByteArray text = BuildStatementText(sql_);
    if (Optimize && !preparedText_.isEmpty() && text == preparedText_ && reusableKind(statementKind_))
        return;
    ClearColumns();
    preparedText_ = text;
    statementKind_ = 0;
    if (handlesOCI8_)
        PrepareOCI8(text);
    else
        PrepareOCI7(text);
    described_ = false;
}

void TOracleQuery::PrepareOCI8(const QByteArray &text)
{
    if (statement_) {
        oci::OCIHandleFree(statement_, OCI_HTYPE_STMT);
        statement_ = nullptr;
    }
    const sword status = Track(oci::OCIHandleAlloc(
        session_->EnvHandle(), reinterpret_cast<void **>(&statement_), OCI_HTYPE_STMT, 0, nullptr));
    if (status != OCI_SUCCESS) {
        statement_ = nullptr;
        preparedText_.clear();
        throw EOracleError(status, QString::fromUtf8(texts::CallFailedWithoutRecord).arg(status));
    }
    ub4 zero = 0;
    oci::OCIAttrSet(statement_, OCI_HTYPE_STMT, &zero, 0, OCI_ATTR_PREFETCH_ROWS, error1_);
    oci::OCIAttrSet(statement_, OCI_HTYPE_STMT, &zero, 0, OCI_ATTR_PREFETCH_MEMORY, error1_);
    ++prepareCount_;
    Track(oci::OCIStmtPrepare(statement_, error1_, reinterpret_cast<const OraText *>(text.constData()),
                              static_cast<ub4>(text.size()), OCI_NTV_SYNTAX, OCI_DEFAULT));
    if (ErrorCode() != 0) {
        preparedText_.clear();
        RaiseError();
    }
    ub2 type = 0;
    Track(oci::OCIAttrGet(statement_, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, error1_));
    if (ErrorCode() != 0) {
        preparedText_.clear();
        RaiseError();
    }
    statementKind_ = statementKindOfType(type);
}

void TOracleQuery::PrepareOCI7(const QByteArray &text)
{
    ++prepareCount_;
    if (oci::oparse(&cda_, reinterpret_cast<OraText *>(const_cast<char *>(text.constData())), -1,
                    OCI7_DEFER_PARSE, OCI7_VERSION_7) != 0 &&
        cda_.rc != 0) {
        ComputeParseErrorPosition();
        preparedText_.clear();
        RaiseError();
    }
    statementKind_ = cda_.ft;
}

void TOracleQuery::ResetRowState()
{
    for (auto &column : columns_)
        if (column->IsLong())
            column->ResetLong();
}

void TOracleQuery::StartBatch()
{
    currentRow_ = 0;
    rowsInBatch_ = ProcessedRowCount();
    eof_ = rowsInBatch_ == 0;
}

void TOracleQuery::SelectOCI8(bool describeOnly)
{
    if (describeOnly && described_) {
        currentRow_ = rowsInBatch_ = 0;
        eof_ = true;
        return;
    }
    ub4 iterations = 0;
    if (described_) {
        iterations = static_cast<ub4>(rowsPerFetch_);
        ResetRowState();
    }
    Track(oci::OCIStmtExecute(session_->SvcCtx(), statement_, error1_, iterations, 0, nullptr, nullptr,
                              describeOnly ? OCI_DESCRIBE_ONLY : OCI_DEFAULT));
    const int code = ErrorCode();
    if (code != 0 && code != ORA_NO_DATA_FOUND) {
        ComputeParseErrorPosition();
        preparedText_.clear();
        RaiseError();
    }
    if (!described_) {
        DescribeOCI8();
        described_ = true;
    }
    if (describeOnly) {
        currentRow_ = rowsInBatch_ = 0;
        eof_ = true;
        return;
    }
    if (iterations == 0) {
        ResetRowState();
        Track(oci::OCIStmtFetch(statement_, error1_, static_cast<ub4>(rowsPerFetch_), OCI_FETCH_NEXT,
                                OCI_DEFAULT));
        RaiseOnError(false);
    }
    StartBatch();
    CheckFetchedValues();
}

void TOracleQuery::SelectOCI7(bool describeOnly)
{
    if (!described_) {
        DescribeOCI7();
        if (ColumnCount() < definedColumns7_)
            ReparseOnFreshCursor();
        DefineColumnsOCI7();
        described_ = true;
    }
    if (describeOnly) {
        currentRow_ = rowsInBatch_ = 0;
        eof_ = true;
        return;
    }
    ResetRowState();
    if (oci::oexfet(&cda_, static_cast<ub4>(rowsPerFetch_), 0, 0) != 0 && !OCI7FetchEnded()) {
        ComputeParseErrorPosition();
        preparedText_.clear();
        RaiseError();
    }
    StartBatch();
    CheckFetchedValues();
    if (!eof_)
        ReadOCI7Longs();
}

void TOracleQuery::NonSelect()
{
    const ub4 mode = session_->AutoCommit() ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT;
    int code = 0;
    if (handlesOCI8_) {
        Track(oci::OCIStmtExecute(session_->SvcCtx(), statement_, error1_, 1, 0, nullptr, nullptr, mode));
        code = ErrorCode();
    } else {
        if (oci::oexn(&cda_, 1, 0) != 0)
            code = cda_.rc;
        statementKind_ = cda_.ft;
    }
    // A statement that found no rows to change has still succeeded.
    if (code != 0 && code != ORA_NO_DATA_FOUND) {
        ComputeParseErrorPosition();
        preparedText_.clear();
        RaiseError();
    }
    if (handlesOCI8_) {
        ub2 functionCode = 0;
        if (oci::OCIAttrGet(statement_, OCI_HTYPE_STMT, &functionCode, nullptr, OCI_ATTR_SQLFNCODE,
                            error2_) == OCI_SUCCESS)
            statementKind_ = functionCode;
    }
}

} // namespace rowpour::oracle
