#include "oracle/DefineRule.h"

#include "oracle/OciApi.h"

#include <QtGlobal>

#include <algorithm>
#include <climits>

namespace rowpour::oracle
{

using namespace oci;

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

} // namespace rowpour::oracle
