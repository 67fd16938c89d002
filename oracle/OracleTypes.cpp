#include "oracle/OracleTypes.h"

#include "oracle/OracleCI.h"
#include "oracle/OracleTexts.h"
#include "platform/OperatorLocale.h"

#include <QDate>
#include <QTime>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>

namespace rowpour::oracle
{

using namespace oci;

namespace
{

const QDate &dateTimeEpoch()
{
    static const QDate epoch(1899, 12, 30);
    return epoch;
}

constexpr qint64 MillisecondsPerDay = 86400000;

// A date-time split into its day number and its time of day in milliseconds
// (the sign of a negative date-time belongs to the day; the time counts up).
struct SplitDateTime {
    qint64 day;
    qint64 milliseconds;
};

SplitDateTime splitDateTime(TDateTime value)
{
    const double whole = std::trunc(value);
    qint64 day = static_cast<qint64>(whole);
    qint64 ms = std::llround(std::fabs(value - whole) * MillisecondsPerDay);
    if (ms >= MillisecondsPerDay) {
        ms -= MillisecondsPerDay;
        day += value < 0 ? -1 : 1;
    }
    return {day, ms};
}

std::mutex &hookMutex()
{
    static std::mutex mutex;
    return mutex;
}

MessageBoxHook &messageBoxHook()
{
    static MessageBoxHook hook;
    return hook;
}

QString fieldDoesNotExist(const QString &what)
{
    return QString::fromUtf8(texts::FieldDoesNotExistPrefix) + what +
           QString::fromUtf8(texts::FieldDoesNotExistSuffix);
}

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

// Marks a query busy (1 executing, 2 fetching) until the scope ends, also by an exception.
class BusyMark
{
public:
    BusyMark(int &mark, int value) : mark_(mark) { mark_ = value; }
    ~BusyMark() { mark_ = 0; }
    BusyMark(const BusyMark &) = delete;
    BusyMark &operator=(const BusyMark &) = delete;

private:
    int &mark_;
};
constexpr ub4 OCI_ATTR_PARSE_ERROR_OFFSET_OCI80 = 128;
constexpr int FirstLongPiece = 2000;
constexpr int LargestLongPiece = 32000;

bool isUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

// ---------------------------------------------------------------------------
// Value conversion

TDateTime OracleDateToDateTime(const unsigned char bytes[7])
{
    const int year = bytes[0] * 100 + bytes[1] - 10100;
    const int month = bytes[2];
    const int day = bytes[3];
    double date = InvalidOracleDate;
    if (year > 0 && year <= 9999 && QDate::isValid(year, month, day))
        date = static_cast<double>(dateTimeEpoch().daysTo(QDate(year, month, day)));
    const int hour = bytes[4] - 1;
    const int minute = bytes[5] - 1;
    const int second = bytes[6] - 1;
    double time = 0;
    if (hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60)
        time = (hour * 3600 + minute * 60 + second) / 86400.0;
    return date >= 0 ? date + time : date - time;
}

void DateTimeToOracleDate(TDateTime value, unsigned char bytes[7])
{
    const SplitDateTime split = splitDateTime(value);
    const QDate date = dateTimeEpoch().addDays(split.day);
    const qint64 seconds = split.milliseconds / 1000;
    const int year = date.year();
    bytes[0] = static_cast<unsigned char>(year / 100 + 100);
    bytes[1] = static_cast<unsigned char>(year % 100 + 100);
    bytes[2] = static_cast<unsigned char>(date.month());
    bytes[3] = static_cast<unsigned char>(date.day());
    bytes[4] = static_cast<unsigned char>(seconds / 3600 + 1);
    bytes[5] = static_cast<unsigned char>(seconds / 60 % 60 + 1);
    bytes[6] = static_cast<unsigned char>(seconds % 60 + 1);
}

QString ConvertCRLF(const QString &text)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString result;
    result.reserve(text.size() + text.size() / 8 + 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            result += QLatin1String("\r\n");
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            result += QLatin1String("\r\n");
        } else {
            result += c;
        }
    }
    return result;
}

QString RemoveCR(const QString &text)
{
    QString result = text;
    result.remove(QLatin1Char('\r'));
    return result;
}

QString FloatToText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    // buffer: [-]d.dddddddddddddde[+-]xx
    const char *p = buffer;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    QByteArray digits;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    const int exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);
    const QChar separator = platform::OperatorLocale::system().decimalSeparator();
    QString result = negative ? QStringLiteral("-") : QString();
    if (exponent >= 15 || exponent < -4) {
        result += QLatin1Char(digits[0]);
        if (digits.size() > 1)
            result += separator + QString::fromLatin1(digits.mid(1));
        result += QLatin1Char('E') + QString::number(exponent);
        return result;
    }
    if (exponent >= 0) {
        const QByteArray padded = digits.leftJustified(exponent + 1, '0');
        result += QString::fromLatin1(padded.left(exponent + 1));
        if (padded.size() > exponent + 1)
            result += separator + QString::fromLatin1(padded.mid(exponent + 1));
        return result;
    }
    result +=
        QLatin1Char('0') + separator + QString(-exponent - 1, QLatin1Char('0')) + QString::fromLatin1(digits);
    return result;
}

QDateTime DateTimeToQDateTime(TDateTime value)
{
    const SplitDateTime split = splitDateTime(value);
    return QDateTime(dateTimeEpoch().addDays(split.day),
                     QTime::fromMSecsSinceStartOfDay(int(split.milliseconds)));
}

TDateTime QDateTimeToDateTime(const QDateTime &value)
{
    const double day = static_cast<double>(dateTimeEpoch().daysTo(value.date()));
    const double time = value.time().msecsSinceStartOfDay() / double(MillisecondsPerDay);
    return day >= 0 ? day + time : day - time;
}

QString DateTimeToText(TDateTime value)
{
    const platform::OperatorLocale locale = platform::OperatorLocale::system();
    const SplitDateTime split = splitDateTime(value);
    QString text = locale.locale().toString(dateTimeEpoch().addDays(split.day), locale.shortDateFormat());
    if (split.milliseconds != 0)
        text += QLatin1Char(' ') +
                locale.locale().toString(QTime::fromMSecsSinceStartOfDay(int(split.milliseconds)),
                                         locale.longTimeFormat());
    return text;
}

bool IsTimestampType(int internalType)
{
    switch (internalType) {
    case INTERNAL_TIMESTAMP: // TIMESTAMP, WITH TIME ZONE, WITH LOCAL TIME ZONE as the server describes them
    case INTERNAL_TIMESTAMP_TZ:
    case INTERNAL_TIMESTAMP_LTZ:
    case SQLT_TIMESTAMP: // the same kinds under their external codes
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ:
        return true;
    default:
        return false;
    }
}

bool IsTextFormType(int internalType)
{
    switch (internalType) {
    case INTERNAL_INTERVAL_YM:
    case INTERNAL_INTERVAL_DS:
    case SQLT_INTERVAL_YM:
    case SQLT_INTERVAL_DS:
    case SQLT_BFLOAT:
    case SQLT_BDOUBLE:
    case SQLT_IBFLOAT:
    case SQLT_IBDOUBLE:
    case SQLT_DATE: // ANSI DATE, TIME and TIME WITH TIME ZONE
    case SQLT_DATE + 1:
    case SQLT_DATE + 2:
        return true;
    default:
        return IsTimestampType(internalType);
    }
}

bool IsRowIdType(int internalType)
{
    return internalType == SQLT_RID || internalType == SQLT_RDD || internalType == INTERNAL_ROWID ||
           internalType == INTERNAL_UROWID;
}

int ClientTextBytes(int dataSize, int charSize, int clientBytesPerCharacter)
{
    const qint64 perCharacter = std::max(clientBytesPerCharacter, 1);
    // A byte of the database's character set never takes more than three
    // bytes in a Unicode client; a character never more than four.
    qint64 bytes = static_cast<qint64>(dataSize) * std::min<qint64>(perCharacter, 3);
    if (charSize > 0)
        bytes = std::max<qint64>(dataSize, static_cast<qint64>(charSize) * perCharacter);
    return static_cast<int>(std::min<qint64>(bytes, MaxDefineBufferSize - 1));
}

namespace
{

// Characters of the longest text form of a timestamp, an interval or a
// binary float (a time zone region name included).
constexpr int TextFormCharacters = 50;

TDefineRule numberRule(const TColumnDescription &column, const TDescribeSettings &settings)
{
    const int integerLimit = settings.integerPrecision != 0 ? settings.integerPrecision
                             : settings.bridgeMode          ? 10
                                                            : 9;
    const int floatLimit = settings.floatPrecision != 0 ? settings.floatPrecision : INT_MAX;
    int precision = column.precision;
    const bool floating = column.scale == -127;
    const int scale = floating ? 1 : column.scale;
    if (floating)
        precision = 38;
    if (scale == 0 && precision == 0)
        precision = 38;
    // A negative scale adds zeros before the decimal point: NUMBER(9,-2)
    // holds eleven-digit values, more than a 32-bit integer carries.
    const int integerDigits = scale < 0 ? precision - scale : precision;
    if (scale <= 0 && integerDigits <= integerLimit && !settings.stringFieldsOnly)
        return {extInteger, 4, extInteger};
    if (precision > floatLimit || settings.stringFieldsOnly) {
        const int size = (scale <= 0 ? integerDigits + 2 : precision + 3) + (floating ? 132 : 0);
        return {extString, size, extString};
    }
    return {extFloat, 8, extFloat};
}

TDefineRule lobRule(const TColumnDescription &column, const TDescribeSettings &settings)
{
    if (settings.oci8Mode)
        return {column.internalType, static_cast<int>(sizeof(void *)), column.internalType};
    // The OCI7 call set has no locators: the value comes in the row, as text
    // or as bytes, up to the inline buffer.
    if (column.internalType == SQLT_CLOB)
        return {extClob, InlineLobBufferSize, extString};
    return {extBlob, InlineLobBufferSize, SQLT_BIN};
}

} // namespace

TDefineRule DefineRuleFor(const TColumnDescription &column, const TDescribeSettings &settings)
{
    const int pieceOrChunk = settings.oci8Mode ? 0 : FirstLongPiece;
    const int clientBytes = std::max(settings.clientBytesPerCharacter, 1);
    switch (column.internalType) {
    case SQLT_NUM:
        return numberRule(column, settings);
    case SQLT_LNG:
        return {extLong, pieceOrChunk, extLong};
    case SQLT_LBI:
        return {extLongRaw, pieceOrChunk, extLongRaw};
    case SQLT_DAT:
        if (settings.stringFieldsOnly)
            return {extString, settings.dateTextLength + 1, extString};
        return {extDate, 7, extDate};
    case SQLT_BIN:
        return {extString, std::min(2 * column.dataSize + 1, MaxDefineBufferSize), extString};
    case SQLT_OSL:
        return {extString, 255, SQLT_OSL};
    case SQLT_CLOB:
    case SQLT_BLOB:
    case SQLT_BFILEE:
        return lobRule(column, settings);
    case SQLT_NTY:
    case SQLT_REF:
    case SQLT_RSET:
        return {column.internalType, 4, column.internalType};
    default:
        if (IsRowIdType(column.internalType))
            return {extString, std::max(column.dataSize + 1, 19), extString};
        if (IsTextFormType(column.internalType))
            return {extString, TextFormCharacters * std::max({settings.bytesPerCharacter, clientBytes, 1}),
                    extString};
        return {extString, ClientTextBytes(column.dataSize, column.charSize, clientBytes) + 1, extString};
    }
}

void InstallMessageBoxHook(MessageBoxHook hook)
{
    std::lock_guard lock(hookMutex());
    messageBoxHook() = std::move(hook);
}

void ShowMessageBox(const QString &message)
{
    MessageBoxHook hook;
    {
        std::lock_guard lock(hookMutex());
        hook = messageBoxHook();
    }
    if (hook)
        hook(message);
}

// ---------------------------------------------------------------------------
// TFieldData

TFieldData::~TFieldData()
{
    FreeLocators();
}

void TFieldData::AllocateBuffers(int rows)
{
    Rows = rows;
    buffer_.reset(BufferSize > 0 ? new char[static_cast<std::size_t>(rows) * BufferSize]() : nullptr);
    indicators_.assign(rows, -1);
    lengths_.assign(rows, 0);
    returnCodes_.assign(rows, 0);
    pieces_.clear();
    oci7Long_.clear();
}

void TFieldData::AllocateLocators(OCIEnv *env)
{
    FreeLocators();
    const ub4 type = ExternalType == extBfile ? OCI_DTYPE_FILE : OCI_DTYPE_LOB;
    locatorGeneration_ = ClientLibrary::instance().Generation();
    locators_.assign(static_cast<std::size_t>(Rows), nullptr);
    for (OCILobLocator *&locator : locators_) {
        void *descriptor = nullptr;
        const sword status = oci::OCIDescriptorAlloc(env, &descriptor, type, 0, nullptr);
        if (status != OCI_SUCCESS || !descriptor)
            throw EOracleError(status, QString::fromUtf8(texts::CallFailedWithoutRecord).arg(status));
        locator = static_cast<OCILobLocator *>(descriptor);
    }
}

void TFieldData::AbandonLocators()
{
    locators_.clear();
}

// Locators made by a library that has since been unloaded belong to nobody.
void TFieldData::FreeLocators()
{
    const bool ours = ClientLibraryLoaded() && locatorGeneration_ == ClientLibrary::instance().Generation();
    if (ours) {
        const ub4 type = ExternalType == extBfile ? OCI_DTYPE_FILE : OCI_DTYPE_LOB;
        for (OCILobLocator *locator : locators_)
            if (locator)
                oci::OCIDescriptorFree(locator, type);
    }
    locators_.clear();
}

TLongPiece &TFieldData::AddPiece()
{
    oci::ub4 size = FirstLongPiece;
    if (!pieces_.empty()) {
        const oci::ub4 previous = pieces_.back().size;
        size = previous < LargestLongPiece ? previous * 2 : previous;
    }
    pieces_.emplace_back(size);
    return pieces_.back();
}

void TFieldData::ResetLong()
{
    pieces_.clear();
    oci7Long_.clear();
    if (!indicators_.empty())
        indicators_[0] = -1;
}

QByteArray TFieldData::LongValue() const
{
    if (BufferSize > 0)
        return oci7Long_;
    QByteArray value;
    qsizetype total = 0;
    for (const TLongPiece &piece : pieces_)
        total += std::min(piece.length, piece.size);
    value.reserve(total);
    for (const TLongPiece &piece : pieces_)
        value.append(piece.data.get(), std::min(piece.length, piece.size));
    return value;
}

// ---------------------------------------------------------------------------
// TOracleQuery: life cycle and session

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

// ---------------------------------------------------------------------------
// TOracleQuery: execution

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
        ShowMessageBox(sql_.join(QLatin1String("\r\n")));
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

// ---------------------------------------------------------------------------
// TOracleQuery: describe and define

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

// ---------------------------------------------------------------------------
// TOracleQuery: column access

const TFieldData &TOracleQuery::Column(int index) const
{
    if (index < 0 || index >= ColumnCount())
        throw EQueryError(fieldDoesNotExist(QString::number(index)));
    return *columns_[index];
}

int TOracleQuery::ColumnIndex(const QString &name) const
{
    for (int i = 0; i < ColumnCount(); ++i)
        if (columns_[i]->Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int TOracleQuery::FieldIndex(const QString &name) const
{
    const int index = ColumnIndex(name);
    if (index < 0)
        throw EQueryError(fieldDoesNotExist(name));
    return index;
}

int TOracleQuery::ColumnSize(int index) const
{
    const TFieldData &column = Column(index);
    return column.ExternalType == extString ? column.BufferSize - 1 : 0;
}

const TFieldData &TOracleQuery::CurrentColumn(int index) const
{
    const TFieldData &column = Column(index);
    if (eof_)
        throw EQueryError(QString::fromUtf8(texts::BeyondEof));
    return column;
}

bool TOracleQuery::ColumnIsNull(int index) const
{
    return CurrentColumn(index).IsNull(currentRow_);
}

void TOracleQuery::RaiseConversion(const TFieldData &column, const char *ending) const
{
    throw EQueryError(QString::fromUtf8(texts::CannotConvertPrefix) + column.Name +
                      QString::fromUtf8(ending));
}

namespace
{

qint32 integerValue(const TFieldData &column, int row)
{
    qint32 value;
    std::memcpy(&value, column.Value(row), sizeof value);
    return value;
}

double floatValue(const TFieldData &column, int row)
{
    double value;
    std::memcpy(&value, column.Value(row), sizeof value);
    return value;
}

QString rawText(const TFieldData &column, int row)
{
    const char *value = column.Value(row);
    return QString::fromUtf8(
        value, static_cast<qsizetype>(::strnlen(value, static_cast<size_t>(column.BufferSize))));
}

TDateTime dateValue(const TFieldData &column, int row)
{
    return OracleDateToDateTime(reinterpret_cast<const unsigned char *>(column.Value(row)));
}

double parseFloatText(const QString &text, bool *ok)
{
    const QString trimmed = text.trimmed();
    double value = platform::OperatorLocale::system().locale().toDouble(trimmed, ok);
    if (!*ok)
        value = QLocale::c().toDouble(trimmed, ok);
    return value;
}

} // namespace

QString TOracleQuery::ColumnAsText(int index) const
{
    const TFieldData &column = CurrentColumn(index);
    if (column.IsNull(currentRow_))
        return {};
    switch (column.ExternalType) {
    case extInteger:
        return QString::number(integerValue(column, currentRow_));
    case extFloat:
        return FloatToText(floatValue(column, currentRow_));
    case extString: {
        const QString text = rawText(column, currentRow_);
        return session_ && session_->Preferences().ConvertCRLF ? ConvertCRLF(text) : text;
    }
    case extDate:
        return DateTimeToText(dateValue(column, currentRow_));
    case extClob: {
        const QString text = QString::fromUtf8(ColumnAsBytes(index));
        return session_ && session_->Preferences().ConvertCRLF ? ConvertCRLF(text) : text;
    }
    case extBfile:
        return BfileName(column, currentRow_);
    default:
        RaiseConversion(column, texts::ToString);
    }
}

int TOracleQuery::ColumnAsInteger(int index) const
{
    const TFieldData &column = CurrentColumn(index);
    if (column.IsNull(currentRow_))
        return 0;
    double value = 0;
    switch (column.ExternalType) {
    case extInteger:
        return integerValue(column, currentRow_);
    case extFloat:
        value = std::trunc(floatValue(column, currentRow_));
        break;
    case extString: {
        const QString text = rawText(column, currentRow_);
        bool ok = false;
        const int parsed = text.trimmed().toInt(&ok);
        if (!ok)
            throw EQueryError(QStringLiteral("'%1' is not a valid integer value").arg(text));
        return parsed;
    }
    case extDate:
        value = std::trunc(dateValue(column, currentRow_));
        break;
    default:
        RaiseConversion(column, texts::ToInteger);
    }
    // A value outside the 32-bit range has no integer form.
    if (!(value >= INT_MIN && value <= INT_MAX))
        RaiseConversion(column, texts::ToInteger);
    return static_cast<int>(value);
}

double TOracleQuery::ColumnAsFloat(int index) const
{
    const TFieldData &column = CurrentColumn(index);
    if (column.IsNull(currentRow_))
        return 0;
    switch (column.ExternalType) {
    case extInteger:
        return integerValue(column, currentRow_);
    case extFloat:
        return floatValue(column, currentRow_);
    case extString: {
        const QString text = rawText(column, currentRow_);
        bool ok = false;
        const double value = parseFloatText(text, &ok);
        if (!ok)
            throw EQueryError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
        return value;
    }
    case extDate:
        return dateValue(column, currentRow_);
    default:
        RaiseConversion(column, texts::ToFloat);
    }
}

TDateTime TOracleQuery::ColumnAsDateTime(int index) const
{
    const TFieldData &column = CurrentColumn(index);
    if (column.IsNull(currentRow_))
        return 0;
    switch (column.ExternalType) {
    case extInteger:
        return integerValue(column, currentRow_);
    case extFloat:
        return floatValue(column, currentRow_);
    case extString: {
        const QString text = rawText(column, currentRow_).trimmed();
        const platform::OperatorLocale locale = platform::OperatorLocale::system();
        QDateTime parsed = locale.locale().toDateTime(text, locale.shortDateFormat() + QLatin1Char(' ') +
                                                                locale.longTimeFormat());
        if (!parsed.isValid())
            parsed = QDateTime(locale.locale().toDate(text, locale.shortDateFormat()), QTime(0, 0));
        if (!parsed.isValid())
            throw EQueryError(QStringLiteral("'%1' is not a valid date").arg(text));
        return QDateTimeToDateTime(parsed);
    }
    case extDate:
        return dateValue(column, currentRow_);
    default:
        RaiseConversion(column, texts::ToDate);
    }
}

QByteArray TOracleQuery::ColumnAsBytes(int index) const
{
    const TFieldData &column = CurrentColumn(index);
    if (column.IsNull(currentRow_))
        return {};
    if (column.IsLong())
        return column.LongValue();
    switch (column.ExternalType) {
    case extClob:
        if (column.LobInline())
            return rawText(column, currentRow_).toUtf8();
        return ReadLob(column, currentRow_);
    case extBlob:
        if (column.LobInline())
            return QByteArray(column.Value(currentRow_),
                              std::min<int>(column.Length(currentRow_), column.BufferSize));
        return ReadLob(column, currentRow_);
    case extBfile:
        return BfileName(column, currentRow_).toUtf8();
    default:
        return ColumnAsText(index).toUtf8();
    }
}

[[noreturn]] void TOracleQuery::RaiseLobError() const
{
    EOracleError failure = EOracleError::FromErrorHandle(error1_);
    if (failure.ErrorNumber() != 0)
        throw failure;
    throw EOracleError(OCI_ERROR, QString::fromUtf8(texts::CallFailedWithoutRecord).arg(OCI_ERROR));
}

// The whole value of a CLOB or BLOB through its locator. A CLOB is read in
// the client's character set (UTF-8), where a character takes up to four
// bytes; the client hands the value over in pieces when it is larger than
// one buffer.
QByteArray TOracleQuery::ReadLob(const TFieldData &column, int row) const
{
    constexpr ub4 LargestPiece = 1 << 20;
    constexpr qint64 LargestValue = std::numeric_limits<int>::max() / 2;
    OCILobLocator *locator = column.Locator(row);
    OCISvcCtx *service = session_->SvcCtx();
    ub4 length = 0;
    if (oci::OCILobGetLength(service, error1_, locator, &length) != OCI_SUCCESS)
        RaiseLobError();
    if (length == 0)
        return {};
    const bool characters = column.ExternalType == extClob;
    const qint64 bytes = characters ? qint64(length) * 4 : qint64(length);
    if (bytes > LargestValue)
        throw EQueryError(QString::fromUtf8(texts::LobTooLarge).arg(column.Name).arg(length));
    const ub4 pieceSize = static_cast<ub4>(std::min<qint64>(bytes, LargestPiece));
    const ub1 form = characters ? static_cast<ub1>(column.CharsetForm) : SQLCS_IMPLICIT;
    std::vector<char> piece(pieceSize);
    QByteArray value;
    value.reserve(static_cast<qsizetype>(std::min<qint64>(bytes, 16 * qint64(LargestPiece))));
    ub4 amount = length;
    for (;;) {
        const sword status = oci::OCILobRead(service, error1_, locator, &amount, 1, piece.data(), pieceSize,
                                             nullptr, nullptr, 0, form);
        if (status != OCI_SUCCESS && status != OCI_NEED_DATA)
            RaiseLobError();
        value.append(piece.data(), static_cast<qsizetype>(std::min(amount, pieceSize)));
        // Polling goes on while the client says more data follows and hands some over.
        if (status == OCI_SUCCESS || amount == 0)
            break;
    }
    return value;
}

// A BFILE's value is the directory and file it names; the file itself is
// not opened, so a missing file does not end a listing.
QString TOracleQuery::BfileName(const TFieldData &column, int row) const
{
    OraText directory[256] = {};
    OraText file[4096] = {};
    ub2 directoryLength = sizeof directory - 1;
    ub2 fileLength = sizeof file - 1;
    if (oci::OCILobFileGetName(session_->EnvHandle(), error1_, column.Locator(row), directory,
                               &directoryLength, file, &fileLength) != OCI_SUCCESS)
        RaiseLobError();
    const auto text = [](const OraText *bytes, ub2 length, std::size_t size) {
        return QString::fromUtf8(reinterpret_cast<const char *>(bytes),
                                 static_cast<qsizetype>(std::min<std::size_t>(length, size - 1)));
    };
    return QStringLiteral("BFILENAME('%1', '%2')")
        .arg(text(directory, directoryLength, sizeof directory), text(file, fileLength, sizeof file));
}

QVariant TOracleQuery::ColumnAsVariant(int index) const
{
    const TFieldData &column = CurrentColumn(index);
    if (column.IsNull(currentRow_)) {
        if (session_ && session_->NullValue == nvNull)
            return QVariant::fromValue(nullptr);
        return {};
    }
    switch (column.ExternalType) {
    case extInteger:
        return integerValue(column, currentRow_);
    case extFloat:
        return floatValue(column, currentRow_);
    case extString:
        return ColumnAsText(index);
    case extDate:
        return DateTimeToQDateTime(dateValue(column, currentRow_));
    case extLong: {
        const QString text = QString::fromUtf8(column.LongValue());
        return session_ && session_->Preferences().ConvertCRLF ? ConvertCRLF(text) : text;
    }
    case extLongRaw:
        return column.LongValue();
    case extClob:
    case extBfile:
        return ColumnAsText(index);
    case extBlob:
        return ColumnAsBytes(index);
    default:
        return {};
    }
}

} // namespace rowpour::oracle
