#include "oracle/OracleData.h"

#include "oracle/DesktopServices.h"

#include <algorithm>
#include <cstring>

namespace rowpour::oracle
{

namespace
{

constexpr int RecordHeaderSize = 4; // the record id
constexpr int LargeValueSlotSize = 4;

// The codes that mark the select's row-id column.
bool isRowIdColumnType(int internalType)
{
    return internalType == oci::SQLT_RID || internalType == oci::SQLT_RDD;
}

int dataSizeOf(TFieldType type, int textSlot)
{
    switch (type) {
    case ftString:
        return textSlot;
    case ftSmallint:
        return 2;
    case ftInteger:
        return 4;
    case ftFloat:
    case ftDateTime:
        return 8;
    case ftMemo:
    case ftBlob:
        return LargeValueSlotSize;
    }
    return 0;
}

// The size a text field shows: the characters of a character column, the
// characters of the text form of any other column. The record keeps room
// for the bytes the client's character set needs.
int TextFieldSize(const TFieldData &column)
{
    const bool character = column.InternalType == oci::SQLT_CHR || column.InternalType == oci::SQLT_AFC;
    if (character && column.CharSize > 0)
        return column.CharSize;
    if (character)
        return column.DataSize;
    return column.BufferSize - 1;
}

// Length of text without its trailing blanks and control characters.
qsizetype trimmedLength(const char *text, qsizetype length)
{
    while (length > 0 && static_cast<unsigned char>(text[length - 1]) < 33)
        --length;
    return length;
}

// Longest prefix of UTF-8 text that fits `room` bytes without splitting a character.
qsizetype fittingLength(const char *text, qsizetype length, qsizetype room)
{
    if (length <= room)
        return length;
    qsizetype n = room;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

template <class T> T readSlot(const unsigned char *slot)
{
    T value;
    std::memcpy(&value, slot + 1, sizeof value);
    return value;
}

template <class T> void writeSlot(unsigned char *slot, T value)
{
    std::memcpy(slot + 1, &value, sizeof value);
}

} // namespace

// ---------------------------------------------------------------------------
// TField

const unsigned char *TField::Slot() const
{
    const unsigned char *record = dataSet_->CurrentRecord();
    return record ? record + offset_ : nullptr;
}

bool TField::IsNull() const
{
    const unsigned char *slot = Slot();
    return !slot || slot[0] != 0;
}

QString TField::AsString() const
{
    if (IsNull())
        return {};
    const unsigned char *slot = Slot();
    switch (type_) {
    case ftString:
        return QString::fromUtf8(reinterpret_cast<const char *>(slot + 1));
    case ftSmallint:
        return QString::number(readSlot<qint16>(slot));
    case ftInteger:
        return QString::number(readSlot<qint32>(slot));
    case ftFloat:
        return FloatToText(readSlot<double>(slot));
    case ftDateTime:
        return DateTimeToText(readSlot<double>(slot));
    case ftMemo:
        return QString::fromUtf8(dataSet_->largeValues_[readSlot<quint32>(slot)]);
    case ftBlob:
        return QString::fromLatin1(dataSet_->largeValues_[readSlot<quint32>(slot)]);
    }
    return {};
}

int TField::AsInteger() const
{
    if (IsNull())
        return 0;
    const unsigned char *slot = Slot();
    switch (type_) {
    case ftSmallint:
        return readSlot<qint16>(slot);
    case ftInteger:
        return readSlot<qint32>(slot);
    case ftFloat:
    case ftDateTime:
        return static_cast<int>(std::clamp(readSlot<double>(slot), -2147483648.0, 2147483647.0));
    default:
        return AsString().trimmed().toInt();
    }
}

double TField::AsFloat() const
{
    if (IsNull())
        return 0;
    const unsigned char *slot = Slot();
    switch (type_) {
    case ftSmallint:
    case ftInteger:
        return AsInteger();
    case ftFloat:
    case ftDateTime:
        return readSlot<double>(slot);
    default:
        return AsString().trimmed().toDouble();
    }
}

TDateTime TField::AsDateTime() const
{
    return AsFloat();
}

QByteArray TField::AsBytes() const
{
    if (IsNull())
        return {};
    if (type_ == ftMemo || type_ == ftBlob)
        return dataSet_->largeValues_[readSlot<quint32>(Slot())];
    return AsString().toUtf8();
}

// ---------------------------------------------------------------------------
// TOracleDataSet: session

TOracleDataSet::TOracleDataSet()
{
    query_.Name = QStringLiteral("MainQuery");
}

TOracleDataSet::~TOracleDataSet()
{
    if (Session())
        Session()->UnregisterResultSet(this);
    Close();
}

void TOracleDataSet::SetSession(TOracleSession *session)
{
    if (session == Session())
        return;
    Close();
    if (Session())
        Session()->UnregisterResultSet(this);
    query_.SetSession(session);
    if (session)
        session->RegisterResultSet(this);
}

void TOracleDataSet::SessionLoggingOff()
{
    Close();
    shownColumnMessages_.clear();
}

void TOracleDataSet::ShowColumnMessageOnce(const QString &message)
{
    if (shownColumnMessages_.contains(message))
        return;
    shownColumnMessages_.append(message);
    InstalledDesktopServices()->showMessageBox(message);
}

void TOracleDataSet::SessionDestroyed()
{
    Close();
}

// ---------------------------------------------------------------------------
// TOracleDataSet: open and close

void TOracleDataSet::SetActive(bool value)
{
    if (value)
        Open();
    else
        Close();
}

void TOracleDataSet::Open()
{
    if (active_)
        return;
    try {
        fields_.clear();
        if (BeforeQuery)
            BeforeQuery(*this);
        query_.Execute();
        CreateFields();
        LayOutRecords();
        nextRecordId_ = 0;
        bool first = true;
        while (FetchRecord(first)) {
            first = false;
            if (!QueryAllRecords)
                break;
        }
        if (AfterQuery)
            AfterQuery(*this);
        active_ = true;
        position_ = records_.empty() ? -1 : 0;
        eof_ = records_.empty();
    } catch (...) {
        active_ = true;
        Close();
        throw;
    }
}

void TOracleDataSet::Close()
{
    if (!active_ && fields_.empty() && records_.empty())
        return;
    FreeRecords();
    fields_.clear();
    recordSize_ = 0;
    position_ = -1;
    nextRecordId_ = 0;
    eof_ = true;
    active_ = false;
}

void TOracleDataSet::FreeRecords()
{
    records_.clear();
    blocks_.clear();
    largeValues_.clear();
}

int TOracleDataSet::RowIdColumn() const
{
    const int named = query_.ColumnIndex(QStringLiteral("ROWID"));
    if (named >= 0)
        return named;
    for (int i = 0; i < query_.ColumnCount(); ++i)
        if (isRowIdColumnType(query_.ColumnInternalType(i)))
            return i;
    return -1;
}

QString TOracleDataSet::UniqueFieldName(const QString &columnName) const
{
    const auto exists = [&](const QString &name) {
        return std::any_of(fields_.begin(), fields_.end(),
                           [&](const auto &f) { return f->name_.compare(name, Qt::CaseInsensitive) == 0; });
    };
    QString name = columnName;
    for (int suffix = 1; exists(name); ++suffix)
        name = columnName + QLatin1Char('_') + QString::number(suffix);
    return name;
}

void TOracleDataSet::CreateFields()
{
    const int rowIdColumn = RowIdColumn();
    const TSessionPreferences &preferences = Session()->Preferences();
    int fieldNo = 0;
    for (int i = 0; i < query_.ColumnCount(); ++i) {
        if (i == rowIdColumn)
            continue;
        const TFieldData &column = query_.Column(i);
        auto field = std::make_unique<TField>();
        field->dataSet_ = this;
        field->columnIndex_ = i;
        switch (column.ExternalType) {
        case extInteger: {
            const int limit = preferences.SmallIntPrecision == 0 ? 4 : preferences.SmallIntPrecision;
            field->type_ = column.Precision > limit ? ftInteger : ftSmallint;
            break;
        }
        case extFloat:
            field->type_ = ftFloat;
            break;
        case extDate:
            field->type_ = ftDateTime;
            break;
        case extLong:
        case extClob:
            field->type_ = ftMemo;
            break;
        case extLongRaw:
        case extBlob:
        case extBfile:
            field->type_ = ftBlob;
            break;
        case extObject:
            ShowColumnMessageOnce(column.Name + QString::fromUtf8(texts::ObjectsNotSupported));
            continue;
        case extRef:
            ShowColumnMessageOnce(column.Name + QString::fromUtf8(texts::ReferencesNotSupported));
            continue;
        case extCursor:
            ShowColumnMessageOnce(column.Name + QString::fromUtf8(texts::SubQueriesNotSupported));
            continue;
        default: {
            field->size_ = std::max(TextFieldSize(column), 1);
            field->textBytes_ = std::max(column.BufferSize - 1, 1);
            const int maxString = preferences.MaxStringFieldSize;
            field->type_ = maxString != 0 && maxString < field->size_ ? ftMemo : ftString;
            break;
        }
        }
        field->name_ = UniqueFieldName(column.Name);
        field->required_ = RequiredFields && !column.Nullable;
        field->fieldNo_ = ++fieldNo;
        fields_.push_back(std::move(field));
    }
}

void TOracleDataSet::LayOutRecords()
{
    // Line-break conversion can double a text; its slot holds the longest converted form.
    const bool convert = Session()->Preferences().ConvertCRLF;
    int offset = RecordHeaderSize;
    for (auto &field : fields_) {
        const int textSlot = (convert ? 2 * field->textBytes_ : field->textBytes_) + 1;
        field->offset_ = offset;
        field->dataSize_ = dataSizeOf(field->type_, textSlot);
        offset += 1 + field->dataSize_;
    }
    recordSize_ = offset;
    FreeRecords();
}

unsigned char *TOracleDataSet::NewRecord()
{
    if (blocks_.empty() || blocks_.back().used == blocks_.back().capacity) {
        Block block;
        block.capacity = std::max(static_cast<int>(records_.size()) / 2, ReadBuffer() + 1);
        block.data.reset(new unsigned char[static_cast<std::size_t>(block.capacity) * recordSize_]);
        blocks_.push_back(std::move(block));
    }
    Block &block = blocks_.back();
    unsigned char *record = block.data.get() + static_cast<std::size_t>(block.used) * recordSize_;
    ++block.used;
    return record;
}

bool TOracleDataSet::FetchRecord(bool first)
{
    if (!first)
        query_.Next();
    if (query_.Eof())
        return false;
    unsigned char *record = NewRecord();
    for (const auto &field : fields_)
        StoreField(*field, record + field->offset_);
    const qint32 id = ++nextRecordId_;
    std::memcpy(record, &id, sizeof id);
    records_.push_back(record);
    return true;
}

void TOracleDataSet::StoreField(const TField &field, unsigned char *slot)
{
    const int column = field.columnIndex_;
    if (query_.ColumnIsNull(column)) {
        slot[0] = 1;
        return;
    }
    slot[0] = 0;
    const int type = query_.ColumnType(column);
    if (!ReadLobValues && (type == extClob || type == extBlob || type == extBfile)) {
        slot[0] = 1;
        return;
    }
    switch (type) {
    case extInteger:
        if (field.type_ == ftSmallint)
            writeSlot<qint16>(slot, static_cast<qint16>(query_.ColumnAsInteger(column)));
        else
            writeSlot<qint32>(slot, query_.ColumnAsInteger(column));
        return;
    case extFloat:
        writeSlot<double>(slot, query_.ColumnAsFloat(column));
        return;
    case extString:
        StoreText(field, slot);
        return;
    case extLong:
    case extClob: {
        const QVariant value = query_.ColumnAsVariant(column);
        if (!value.isValid() || value.isNull())
            slot[0] = 1;
        else
            StoreLarge(slot, value.toString().toUtf8());
        return;
    }
    case extDate:
        writeSlot<double>(slot, query_.ColumnAsDateTime(column));
        return;
    case extLongRaw:
    case extBlob:
    case extBfile:
        StoreLarge(slot, query_.ColumnAsBytes(column));
        return;
    default:
        throw EDatabaseError(QString::fromUtf8(texts::UnexpectedDatatype) + field.name_);
    }
}

void TOracleDataSet::StoreText(const TField &field, unsigned char *slot)
{
    const int column = field.columnIndex_;
    const TFieldData &data = query_.Column(column);
    const char *raw = data.Value(query_.CurrentRow());
    qsizetype length = static_cast<qsizetype>(::strnlen(raw, static_cast<size_t>(data.BufferSize)));
    const TSessionPreferences &preferences = Session()->Preferences();
    QByteArray converted;
    // Only a text with line breaks needs the converted copy.
    if (preferences.ConvertCRLF && (std::memchr(raw, '\n', length) || std::memchr(raw, '\r', length))) {
        converted = query_.ColumnAsText(column).toUtf8();
        raw = converted.constData();
        length = converted.size();
    }
    if (preferences.TrimStringFields)
        length = trimmedLength(raw, length);
    if (field.type_ == ftMemo) {
        if (length == 0)
            slot[0] = 1;
        else
            StoreLarge(slot, QByteArray(raw, length));
        return;
    }
    const qsizetype stored = fittingLength(raw, length, field.dataSize_ - 1);
    std::memcpy(slot + 1, raw, static_cast<std::size_t>(stored));
    slot[1 + stored] = 0;
}

void TOracleDataSet::StoreLarge(unsigned char *slot, QByteArray value)
{
    writeSlot<quint32>(slot, static_cast<quint32>(largeValues_.size()));
    largeValues_.push_back(std::move(value));
}

// ---------------------------------------------------------------------------
// TOracleDataSet: records and fields

int TOracleDataSet::RecordCount() const
{
    if (!active_)
        throw EDatabaseError(QString::fromUtf8(texts::ClosedDataset));
    return static_cast<int>(records_.size());
}

TField *TOracleDataSet::FindField(const QString &name)
{
    for (auto &field : fields_)
        if (field->name_.compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    return nullptr;
}

TField &TOracleDataSet::FieldByName(const QString &name)
{
    TField *field = FindField(name);
    if (!field)
        throw EDatabaseError(QString::fromUtf8(texts::FieldNotFound).arg(name));
    return *field;
}

const unsigned char *TOracleDataSet::CurrentRecord() const
{
    if (position_ < 0 || position_ >= static_cast<int>(records_.size()))
        return nullptr;
    return records_[position_];
}

void TOracleDataSet::First()
{
    if (!active_)
        throw EDatabaseError(QString::fromUtf8(texts::ClosedDataset));
    position_ = records_.empty() ? -1 : 0;
    eof_ = records_.empty();
}

void TOracleDataSet::Next()
{
    if (!active_)
        throw EDatabaseError(QString::fromUtf8(texts::ClosedDataset));
    if (eof_)
        return;
    if (position_ + 1 < static_cast<int>(records_.size())) {
        ++position_;
        return;
    }
    if (!QueryAllRecords && !query_.Eof() && FetchRecord(false)) {
        ++position_;
        return;
    }
    eof_ = true;
}

} // namespace rowpour::oracle
