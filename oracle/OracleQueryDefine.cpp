// TOracleQuery: describe, define and fetch.
#include "oracle/OracleQuery.h"

#include "oracle/BusyMark.h"
#include "oracle/DesktopServices.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleTexts.h"

#include <algorithm>

namespace rowpour::oracle
{

using namespace oci;

namespace
{

// Refuses the column kinds that need the handle-based call set.
void checkOCI7Column(int internalType)
{
    const char *kind = nullptr;
    switch (internalType) {
    case SQLT_NTY:
        kind = texts::QueryWithObjects;
        break;
    case SQLT_REF:
        kind = texts::QueryWithReferences;
        break;
    case SQLT_BFILEE: // CLOB and BLOB values come in the row itself
        kind = texts::QueryWithLobs;
        break;
    case SQLT_RSET:
        kind = texts::QueryWithSubQueries;
        break;
    default:
        return;
    }
    const char *suffix = ClientFlags().OCI8Available ? texts::RequiresOCI8 : texts::RequiresNet8;
    throw EQueryError(QString::fromUtf8(kind) + QString::fromUtf8(suffix));
}

bool isUndefinedKind(int externalType)
{
    return externalType == extObject || externalType == extRef || externalType == extCursor;
}

} // namespace

TDescribeSettings TOracleQuery::DescribeSettings(bool oci8Mode) const
{
    TDescribeSettings settings;
    const TSessionPreferences &preferences = session_->Preferences();
    settings.integerPrecision = preferences.IntegerPrecision;
    settings.floatPrecision = preferences.FloatPrecision;
    settings.bridgeMode = session_->BridgeMode();
    settings.stringFieldsOnly = StringFieldsOnly;
    settings.oci8Mode = oci8Mode;
    settings.bytesPerCharacter = session_->BytesPerCharacterCount();
    return settings;
}

void TOracleQuery::ApplyDefineRule(TFieldData &column, const TDescribeSettings &settings)
{
    const TDefineRule rule = DefineRuleFor(
        {column.InternalType, column.DataSize, column.Precision, column.Scale, column.CharSize}, settings);
    column.ExternalType = rule.externalType;
    column.DefineType = rule.defineType;
    column.BufferSize = rule.bufferSize;
    hasLong_ = hasLong_ || column.IsLong();
}

void TOracleQuery::DescribeOCI8()
{
    const auto fail = [&]() {
        ClearColumns();
        ComputeParseErrorPosition();
        preparedText_.clear();
        RaiseError();
    };
    ub4 count = 0;
    Track(oci::OCIAttrGet(statement_, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, error1_));
    if (ErrorCode() != 0)
        fail();
    const TDescribeSettings settings = DescribeSettings(true);
    for (ub4 position = 1; position <= count; ++position) {
        void *param = nullptr;
        Track(oci::OCIParamGet(statement_, OCI_HTYPE_STMT, error1_, &param, position));
        if (ErrorCode() != 0)
            fail();
        auto column = std::make_unique<TFieldData>();
        ub2 size = 0;
        ub2 type = 0;
        OraText *name = nullptr;
        ub4 nameLength = 0;
        Track(oci::OCIAttrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, error1_));
        if (ErrorCode() == 0)
            Track(oci::OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, error1_));
        if (ErrorCode() == 0)
            Track(oci::OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &nameLength, OCI_ATTR_NAME, error1_));
        if (ErrorCode() != 0) {
            oci::OCIDescriptorFree(param, OCI_DTYPE_PARAM);
            fail();
        }
        // Precision, scale and nullability are single bytes; newer clients write
        // wider values, so read into a zeroed word and keep the low byte. The
        // character size and form are unknown to old clients and stay 0 then.
        sb4 precision = 0, scale = 0, nullable = 0;
        ub4 charSize = 0, charsetForm = 0;
        oci::OCIAttrGet(param, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, error2_);
        oci::OCIAttrGet(param, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, error2_);
        oci::OCIAttrGet(param, OCI_DTYPE_PARAM, &nullable, nullptr, OCI_ATTR_IS_NULL, error2_);
        oci::OCIAttrGet(param, OCI_DTYPE_PARAM, &charSize, nullptr, OCI_ATTR_CHAR_SIZE, error2_);
        oci::OCIAttrGet(param, OCI_DTYPE_PARAM, &charsetForm, nullptr, OCI_ATTR_CHARSET_FORM, error2_);
        // The name lives in the parameter descriptor: copy it before freeing that.
        column->Name =
            QString::fromUtf8(reinterpret_cast<const char *>(name), name ? qsizetype(nameLength) : 0);
        oci::OCIDescriptorFree(param, OCI_DTYPE_PARAM);
        column->DataSize = size;
        column->InternalType = type;
        column->Precision = static_cast<unsigned char>(precision & 0xFF);
        column->Scale = static_cast<signed char>(scale & 0xFF);
        column->Nullable = (nullable & 0xFF) != 0;
        column->CharSize = static_cast<int>(charSize & 0xFFFF);
        column->CharsetForm = (charsetForm & 0xFF) == SQLCS_NCHAR ? SQLCS_NCHAR : SQLCS_IMPLICIT;
        ApplyDefineRule(*column, settings);
        column->define_ = nullptr;
        columns_.push_back(std::move(column));
    }
    rowsPerFetch_ = hasLong_ ? 1 : readBuffer_;
    DefineColumnsOCI8();
}

void TOracleQuery::DefineColumnsOCI8()
{
    ub4 position = 0;
    for (auto &column : columns_) {
        ++position;
        column->AllocateBuffers(rowsPerFetch_);
        if (isUndefinedKind(column->ExternalType))
            continue; // read as NULL: the program has no object, reference or cursor values
        if (column->IsLong()) {
            Track(oci::OCIDefineByPos(statement_, &column->define_, error1_, position, nullptr, INT_MAX,
                                      static_cast<ub2>(column->ExternalType), column->indicators_.data(),
                                      nullptr, &column->returnCode_, OCI_DYNAMIC_FETCH));
            if (ErrorCode() == 0)
                Track(oci::OCIDefineDynamic(column->define_, error1_, column.get(),
                                            &TOracleQuery::LongPieceCallback));
        } else if (column->IsLob()) {
            column->AllocateLocators(session_->EnvHandle());
            Track(oci::OCIDefineByPos(statement_, &column->define_, error1_, position,
                                      column->locators_.data(), static_cast<sb4>(sizeof(OCILobLocator *)),
                                      static_cast<ub2>(column->DefineType), column->indicators_.data(),
                                      nullptr, column->returnCodes_.data(), OCI_DEFAULT));
        } else {
            const auto defineType = static_cast<ub2>(column->DefineType);
            Track(oci::OCIDefineByPos(statement_, &column->define_, error1_, position, column->buffer_.get(),
                                      column->BufferSize, defineType, column->indicators_.data(),
                                      column->lengths_.data(), column->returnCodes_.data(), OCI_DEFAULT));
        }
        if (ErrorCode() != 0) {
            ClearColumns();
            preparedText_.clear();
            RaiseError();
        }
    }
}

void TOracleQuery::DescribeOCI7()
{
    const TDescribeSettings settings = DescribeSettings(false);
    // Names of up to 128 bytes (Oracle 12.2 and later), with room to spare.
    constexpr sb4 NameBufferSize = 256;
    for (sword position = 1;; ++position) {
        sb4 size = 0;
        sb2 type = 0;
        char name[NameBufferSize + 1] = {};
        sb4 nameLength = NameBufferSize;
        sb4 displaySize = 0;
        sb2 precision = 0, scale = 0, nullable = 0;
        if (oci::odescr(&cda_, position, &size, &type, reinterpret_cast<sb1 *>(name), &nameLength,
                        &displaySize, &precision, &scale, &nullable) != 0 &&
            cda_.rc != 0) {
            if (cda_.rc == ORA_VARIABLE_NOT_IN_SELECT_LIST)
                break;
            ClearColumns();
            ComputeParseErrorPosition();
            preparedText_.clear();
            RaiseError();
        }
        try {
            checkOCI7Column(type);
        } catch (...) {
            ClearColumns();
            preparedText_.clear();
            throw;
        }
        auto column = std::make_unique<TFieldData>();
        column->DataSize = size;
        column->InternalType = type;
        column->Name = QString::fromUtf8(name, std::clamp<sb4>(nameLength, 0, NameBufferSize));
        column->Precision = static_cast<unsigned char>(precision & 0xFF);
        column->Scale = static_cast<signed char>(scale & 0xFF);
        column->Nullable = nullable != 0;
        ApplyDefineRule(*column, settings);
        columns_.push_back(std::move(column));
    }
    rowsPerFetch_ = hasLong_ ? 1 : readBuffer_;
}

void TOracleQuery::ReparseOnFreshCursor()
{
    // The cursor still carries defines of an earlier select beyond the end of
    // this select list; a fresh cursor starts without them.
    ClearColumns();
    definedColumns7_ = 0;
    oci::oclose(&cda_);
    cda_ = {};
    if (oci::oopen(&cda_, session_->Lda(), nullptr, -1, -1, nullptr, -1) != 0) {
        handlesAllocated_ = false;
        preparedText_.clear();
        throw EOracleError::FromReturnCode(session_->Lda(), cda_.rc);
    }
    if (oci::oparse(&cda_, reinterpret_cast<OraText *>(preparedText_.data()), -1, OCI7_DEFER_PARSE,
                    OCI7_VERSION_7) != 0 &&
        cda_.rc != 0) {
        ComputeParseErrorPosition();
        preparedText_.clear();
        RaiseError();
    }
    DescribeOCI7();
}

void TOracleQuery::DefineColumnsOCI7()
{
    definedColumns7_ = std::max(definedColumns7_, ColumnCount());
    sword position = 0;
    for (auto &column : columns_) {
        ++position;
        column->AllocateBuffers(rowsPerFetch_);
        const sword defineType = column->DefineType;
        if (oci::odefin(&cda_, position, reinterpret_cast<ub1 *>(column->buffer_.get()), column->BufferSize,
                        defineType, -1, column->indicators_.data(), nullptr, -1, -1, column->lengths_.data(),
                        column->returnCodes_.data()) != 0 &&
            cda_.rc != 0) {
            ClearColumns();
            preparedText_.clear();
            RaiseError();
        }
    }
}

sb4 TOracleQuery::LongPieceCallback(void *context, OCIDefine *, ub4, void **buffer, ub4 **length, ub1 *,
                                    void **indicator, ub2 **returnCode)
{
    auto *column = static_cast<TFieldData *>(context);
    try {
        TLongPiece &piece = column->AddPiece();
        piece.length = piece.size;
        *buffer = piece.data.get();
        *length = &piece.length;
        *indicator = column->indicators_.data();
        *returnCode = &column->returnCode_;
        return OCI_CONTINUE;
    } catch (...) {
        return OCI_ERROR; // out of memory: the fetch fails instead of the program
    }
}

void TOracleQuery::ReadOCI7Longs()
{
    sword position = 0;
    for (auto &column : columns_) {
        ++position;
        if (!column->IsLong())
            continue;
        QByteArray &value = column->oci7Long_;
        value.clear();
        if (column->IsNull(0))
            continue;
        const int first = std::min<int>(column->Length(0), column->BufferSize);
        value.append(column->Value(0), first);
        if (first < column->BufferSize)
            continue;
        int chunk = 2 * FirstLongPiece;
        for (;;) {
            const qsizetype offset = value.size();
            value.resize(offset + chunk);
            ub4 returned = 0;
            if (oci::oflng(&cda_, position, reinterpret_cast<ub1 *>(value.data() + offset), chunk,
                           column->ExternalType, &returned, static_cast<sb4>(offset)) != 0 &&
                cda_.rc != 0) {
                value.clear();
                RaiseError();
            }
            returned = std::min<ub4>(returned, static_cast<ub4>(chunk));
            value.resize(offset + returned);
            if (static_cast<int>(returned) < chunk)
                break;
            chunk = std::min(chunk * 2, LargestLongPiece);
        }
    }
}

void TOracleQuery::Next()
{
    if (eof_)
        return;
    CheckSession();
    if (!session_->Connected())
        throw EQueryError(QString::fromUtf8(texts::NotLoggedOn));
    const BusyMark busy(busy_, 2);
    ++currentRow_;
    if (currentRow_ >= rowsInBatch_) {
        if (rowsInBatch_ < rowsPerFetch_) {
            eof_ = true; // a short batch was the last one
        } else {
            FetchNextBatch();
        }
    }
    if (eof_ && afterQueryPending_)
        FireAfterQuery();
}

void TOracleQuery::FetchNextBatch()
{
    const int before = ProcessedRowCount();
    ResetRowState();
    if (handlesOCI8_) {
        Track(oci::OCIStmtFetch(statement_, error1_, static_cast<ub4>(rowsPerFetch_), OCI_FETCH_NEXT,
                                OCI_DEFAULT));
        RaiseOnError(false);
    } else if (oci::ofen(&cda_, rowsPerFetch_) != 0 && !OCI7FetchEnded()) {
        RaiseError();
    }
    currentRow_ = 0;
    rowsInBatch_ = ProcessedRowCount() - before;
    eof_ = rowsInBatch_ <= 0;
    CheckFetchedValues();
    if (!eof_ && !handlesOCI8_)
        ReadOCI7Longs();
}

// A value cut to its buffer is an error, never a shorter value: the client
// says so with a warning on the call (ORA-24345; OCI7: the truncation flag of
// the cursor) and with return code 1406 on the value.
// Whether an OCI7 fetch that did not return 0 still fetched its rows: the
// rows ran out (1403), or a value was cut to its buffer (1406), which
// CheckFetchedValues judges column by column.
bool TOracleQuery::OCI7FetchEnded() const
{
    return cda_.rc == 0 || cda_.rc == ORA_NO_DATA_FOUND || cda_.rc == ORA_FETCHED_VALUE_TRUNCATED;
}

void TOracleQuery::CheckFetchedValues()
{
    constexpr ub1 OCI7TruncationFlag = 0x02;
    bool truncated = false;
    if (handlesOCI8_ && lastStatus_ == OCI_SUCCESS_WITH_INFO && error1_) {
        sb4 number = 0;
        oci::OCIErrorGet(error1_, 1, nullptr, &number, nullptr, 0, OCI_HTYPE_ERROR);
        truncated = number == ORA_TRUNCATION_OR_NULL_FETCH || number == ORA_FETCHED_VALUE_TRUNCATED;
    } else if (!handlesOCI8_ && !hasLong_) {
        // A LONG column's first chunk is cut by design (the rest comes with
        // oflng), so with one in the select only the values' codes tell.
        truncated = (cda_.wrn & OCI7TruncationFlag) != 0 || cda_.rc == ORA_FETCHED_VALUE_TRUNCATED;
    }
    for (const auto &column : columns_) {
        if (column->IsLong() || isUndefinedKind(column->ExternalType))
            continue;
        for (int row = 0; row < rowsInBatch_ && row < column->Rows; ++row)
            truncated = truncated || column->ReturnCode(row) == ORA_FETCHED_VALUE_TRUNCATED;
    }
    if (truncated)
        RaiseTruncation();
}

void TOracleQuery::RaiseTruncation()
{
    eof_ = true;
    currentRow_ = rowsInBatch_ = 0;
    if (!handlesOCI8_)
        throw EOracleError::FromReturnCode(session_->Lda(), ORA_FETCHED_VALUE_TRUNCATED);
    if (lastStatus_ == OCI_SUCCESS_WITH_INFO && error1_) {
        EOracleError warning = EOracleError::FromErrorHandle(error1_);
        if (warning.ErrorNumber() != 0)
            throw warning;
    }
    throw EOracleError(ORA_FETCHED_VALUE_TRUNCATED, QString::fromUtf8(texts::FetchedValueTruncated));
}

int TOracleQuery::ProcessedRowCount()
{
    if (!session_ || !session_->Connected() || !handlesAllocated_)
        return 0;
    if (!handlesOCI8_)
        return static_cast<int>(cda_.rpc);
    if (!statement_)
        return 0;
    ub4 count = 0;
    oci::OCIAttrGet(statement_, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, error2_);
    return static_cast<int>(count);
}

} // namespace rowpour::oracle
