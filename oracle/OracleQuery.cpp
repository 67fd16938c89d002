// TOracleQuery: life cycle, session and errors.
#include "oracle/OracleQuery.h"

#include "oracle/OracleCI.h"
#include "oracle/OracleTexts.h"

#include <algorithm>
#include <exception>

namespace rowpour::oracle
{

using namespace oci;

namespace
{

constexpr ub4 OCI_ATTR_PARSE_ERROR_OFFSET_OCI80 = 128;

bool isUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

TOracleQuery::TOracleQuery() = default;

TOracleQuery::~TOracleQuery()
{
    if (session_)
        session_->UnregisterStatement(this);
    try {
        ReleaseHandles();
    } catch (...) {
        // A destructor cannot report; the session frees what is left with its environment.
    }
}

void TOracleQuery::SetSession(TOracleSession *session)
{
    if (session == session_)
        return;
    if (session_)
        session_->UnregisterStatement(this);
    std::exception_ptr failure;
    try {
        ReleaseHandles();
    } catch (...) {
        failure = std::current_exception();
    }
    ForgetHandles();
    session_ = session;
    if (session_)
        session_->RegisterStatement(this);
    if (failure)
        std::rethrow_exception(failure);
}

void TOracleQuery::SessionLoggingOff()
{
    ReleaseHandles();
}

void TOracleQuery::SessionDestroyed()
{
    ForgetHandles();
    session_ = nullptr;
}

void TOracleQuery::ForgetHandles()
{
    handlesAllocated_ = false;
    statement_ = nullptr;
    error1_ = error2_ = nullptr;
    rowId_ = nullptr;
    cda_ = {};
    definedColumns7_ = 0;
    preparedText_.clear();
    described_ = false;
    // The locators went with the session's environment.
    for (auto &column : columns_)
        column->AbandonLocators();
    ClearColumns();
    eof_ = true;
}

void TOracleQuery::ClearColumns()
{
    columns_.clear();
    hasLong_ = false;
    currentRow_ = rowsInBatch_ = 0;
}

void TOracleQuery::ReleaseHandles()
{
    if (!session_ || !session_->Connected() || !handlesAllocated_)
        return;
    if (handlesGeneration_ != ClientLibrary::instance().Generation()) {
        ForgetHandles();
        return;
    }
    handlesAllocated_ = false;
    preparedText_.clear();
    described_ = false;
    ClearColumns();
    eof_ = true;
    sword failed = OCI_SUCCESS;
    const auto note = [&](sword status) {
        if (status != OCI_SUCCESS && failed == OCI_SUCCESS)
            failed = status;
    };
    if (handlesOCI8_) {
        if (error1_)
            note(oci::OCIHandleFree(error1_, OCI_HTYPE_ERROR));
        if (error2_)
            note(oci::OCIHandleFree(error2_, OCI_HTYPE_ERROR));
        if (rowId_)
            note(oci::OCIDescriptorFree(rowId_, OCI_DTYPE_ROWID));
        if (statement_)
            note(oci::OCIHandleFree(statement_, OCI_HTYPE_STMT));
        statement_ = nullptr;
        error1_ = error2_ = nullptr;
        rowId_ = nullptr;
        if (failed != OCI_SUCCESS)
            throw EOracleError(failed, QString::fromUtf8(texts::CallFailedWithoutRecord).arg(failed));
    } else {
        const bool closed = oci::oclose(&cda_) == 0;
        const ub2 rc = cda_.rc;
        cda_ = {};
        definedColumns7_ = 0;
        if (!closed && rc != 0)
            throw EOracleError::FromReturnCode(session_->Lda(), rc);
    }
}

// ---------------------------------------------------------------------------
// TOracleQuery: errors

int TOracleQuery::ErrorCode()
{
    if (!handlesOCI8_)
        return cda_.rc;
    switch (lastStatus_) {
    case OCI_SUCCESS:
    case OCI_SUCCESS_WITH_INFO:
    case OCI_NEED_DATA:
        return 0;
    case OCI_NO_DATA:
        return ORA_NO_DATA_FOUND;
    case OCI_ERROR:
    case OCI_INVALID_HANDLE: {
        char buffer[OracleMessageBufferSize] = {};
        sb4 number = 0;
        if (error1_)
            oci::OCIErrorGet(error1_, 1, nullptr, &number, reinterpret_cast<OraText *>(buffer), sizeof buffer,
                             OCI_HTYPE_ERROR);
        // A failed call without an error record is still a failure.
        return number != 0 ? number : lastStatus_;
    }
    default:
        return lastStatus_;
    }
}

void TOracleQuery::RaiseError()
{
    if (!handlesOCI8_)
        throw EOracleError::FromReturnCode(session_->Lda(), cda_.rc);
    if (error1_) {
        EOracleError failure = EOracleError::FromErrorHandle(error1_);
        if (failure.ErrorNumber() != 0)
            throw failure;
    }
    throw EOracleError(lastStatus_, QString::fromUtf8(texts::CallFailedWithoutRecord).arg(lastStatus_));
}

void TOracleQuery::RaiseOnError(bool noDataIsError)
{
    const int code = ErrorCode();
    if (code != 0 && (noDataIsError || code != ORA_NO_DATA_FOUND))
        RaiseError();
}

void TOracleQuery::ComputeParseErrorPosition()
{
    int offset = 0;
    if (handlesOCI8_) {
        ub2 value = 0;
        const ub4 attribute =
            ClientFlags().OCI81Available ? OCI_ATTR_PARSE_ERROR_OFFSET : OCI_ATTR_PARSE_ERROR_OFFSET_OCI80;
        if (statement_ &&
            oci::OCIAttrGet(statement_, OCI_HTYPE_STMT, &value, nullptr, attribute, error2_) == OCI_SUCCESS)
            offset = value;
    } else {
        offset = cda_.peo;
    }
    int line = 0;
    int column = 0;
    const int end = std::min<int>(offset, static_cast<int>(preparedText_.size()));
    for (int i = 0; i < end; ++i) {
        const char c = preparedText_[i];
        if (c == '\n') {
            ++line;
            column = 0;
        } else if (!isUtf8Continuation(c)) {
            ++column;
        }
    }
    parseErrorLine_ = line + 1;
    parseErrorColumn_ = column + 1;
}

} // namespace rowpour::oracle
