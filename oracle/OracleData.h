#pragma once
// TOracleDataSet: one select turned into an in-memory list of records whose
// values are read through named fields. Read-only; the records live in
// blocks that grow with the record count.

#include "oracle/OracleTexts.h"
#include "oracle/OracleTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace rowpour::oracle
{

class EDatabaseError : public std::runtime_error
{
public:
    explicit EDatabaseError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

enum TFieldType { ftString, ftSmallint, ftInteger, ftFloat, ftDateTime, ftMemo, ftBlob };

class TOracleDataSet;

// A field of an open result set; its values are those of the current record.
// Fields exist from open to close.
class TField
{
public:
    QString FieldName() const { return name_; }
    TFieldType DataType() const { return type_; }
    // Text fields: the characters of the column.
    int Size() const { return size_; }
    bool Required() const { return required_; }
    int FieldNo() const { return fieldNo_; }
    // The column of the statement the field reads.
    int ColumnIndex() const { return columnIndex_; }

    bool IsNull() const;
    // Text of the value: text fields trimmed, integers as digits, floats with
    // 15 significant digits, date-times as short date (+ long time); NULL is empty.
    QString AsString() const;
    int AsInteger() const;
    double AsFloat() const;
    TDateTime AsDateTime() const;
    QByteArray AsBytes() const;

private:
    friend class TOracleDataSet;
    const unsigned char *Slot() const;

    TOracleDataSet *dataSet_ = nullptr;
    QString name_;
    TFieldType type_ = ftString;
    int size_ = 0;
    int textBytes_ = 0; // bytes of text a text field holds
    bool required_ = false;
    int fieldNo_ = 0;
    int columnIndex_ = 0;
    int offset_ = 0;   // of the slot (null byte, then data) in the record
    int dataSize_ = 0; // data bytes of the slot
};

class TOracleDataSet : private ISessionClient
{
public:
    using DataSetEvent = std::function<void(TOracleDataSet &)>;

    TOracleDataSet();
    ~TOracleDataSet();
    TOracleDataSet(const TOracleDataSet &) = delete;
    TOracleDataSet &operator=(const TOracleDataSet &) = delete;

    // The statement the set runs; its text, read buffer, Optimize and session are the set's.
    TOracleQuery &MainQuery() { return query_; }
    QStringList &SQL() { return query_.SQL(); }
    void SetSQL(const QStringList &lines) { query_.SetSQL(lines); }
    int ReadBuffer() const { return query_.ReadBuffer(); }
    void SetReadBuffer(int rows) { query_.SetReadBuffer(rows); }
    bool Optimize() const { return query_.Optimize; }
    void SetOptimize(bool value) { query_.Optimize = value; }
    TOracleSession *Session() const { return query_.Session(); }
    // Closes the set and moves MainQuery to the session.
    void SetSession(TOracleSession *session);

    bool QueryAllRecords = true;
    bool RequiredFields = true; // a NOT NULL column gives a required field
    // Whether the records hold the contents of LOB columns. Off, those fields
    // are NULL: a set that is only counted need not read them.
    bool ReadLobValues = true;
    DataSetEvent BeforeQuery;
    DataSetEvent AfterQuery;

    bool Active() const { return active_; }
    void SetActive(bool value);
    void Open();
    void Close();

    // Records fetched; on a closed set raises "Cannot perform this operation on a closed dataset".
    int RecordCount() const;
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField &Fields(int index) { return *fields_.at(index); }
    TField *FindField(const QString &name);
    // Case-insensitive; raises "Field '<name>' not found".
    TField &FieldByName(const QString &name);

    void First();
    void Next();
    bool Eof() const { return eof_; }
    // 0-based index of the current record; -1 before the first.
    int RecNo() const { return position_; }

private:
    friend class TField;
    struct Block {
        std::unique_ptr<unsigned char[]> data;
        int capacity = 0;
        int used = 0;
    };

    void SessionLoggingOff() override;
    void SessionDestroyed() override;

    void CreateFields();
    int RowIdColumn() const;
    QString UniqueFieldName(const QString &columnName) const;
    void LayOutRecords();
    bool FetchRecord(bool first);
    unsigned char *NewRecord();
    void StoreField(const TField &field, unsigned char *slot);
    void StoreText(const TField &field, unsigned char *slot);
    void StoreLarge(unsigned char *slot, QByteArray value);
    void FreeRecords();
    const unsigned char *CurrentRecord() const;
    void ShowColumnMessageOnce(const QString &message);

    TOracleQuery query_;
    bool active_ = false;
    bool eof_ = true;
    int position_ = -1;
    std::vector<std::unique_ptr<TField>> fields_;
    int recordSize_ = 0;
    std::vector<Block> blocks_;
    std::vector<unsigned char *> records_;
    std::vector<QByteArray> largeValues_; // memo and binary values; slots hold indexes
    int nextRecordId_ = 0;
    // The messages about columns the set cannot hold that were shown since
    // the session logged on: each is shown once, not at every open.
    QStringList shownColumnMessages_;
};

} // namespace rowpour::oracle
