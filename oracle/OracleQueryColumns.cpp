// TOracleQuery: reading the columns of the current row.
#include "oracle/OracleQuery.h"

#include "oracle/OracleCI.h"
#include "oracle/OracleTexts.h"
#include "platform/OperatorLocale.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>

namespace rowpour::oracle
{

using namespace oci;

namespace
{

QString fieldDoesNotExist(const QString &what)
{
    return QString::fromUtf8(texts::FieldDoesNotExistPrefix) + what +
           QString::fromUtf8(texts::FieldDoesNotExistSuffix);
}

} // namespace

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
