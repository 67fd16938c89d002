#pragma once
// One select-list column with the buffers of a batch of fetched rows.

#include "oracle/DefineRule.h"
#include "oracle/OciApi.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <memory>
#include <vector>

namespace rowpour::oracle
{

class TOracleQuery;

// One piece of a LONG or LONG RAW value fetched piecewise.
struct TLongPiece {
    explicit TLongPiece(oci::ub4 size) : data(new char[size]), size(size) {}
    std::unique_ptr<char[]> data;
    oci::ub4 size;
    oci::ub4 length = 0; // filled by the client library
};

// One select-list column: what the server describes, how it is defined, and
// the buffers of one batch of rows.
class TFieldData
{
public:
    TFieldData() = default;
    ~TFieldData();
    TFieldData(const TFieldData &) = delete;
    TFieldData &operator=(const TFieldData &) = delete;

    int DataSize = 0;
    int InternalType = 0;
    QString Name;
    int CharSize = 0;
    int CharsetForm = oci::SQLCS_IMPLICIT;
    int Precision = 0;
    int Scale = 0;
    bool Nullable = true;
    int ExternalType = extString;
    int DefineType = extString; // the type code the define call gets
    int BufferSize = 0;
    int Rows = 0;

    // Allocates the value, indicator, length and return-code arrays for `rows` rows.
    void AllocateBuffers(int rows);
    // One LOB or BFILE locator per row, made under `env` (handle-based call set).
    void AllocateLocators(oci::OCIEnv *env);
    // Forgets the locators without freeing them: their environment is gone.
    void AbandonLocators();
    bool IsLob() const
    {
        return ExternalType == extClob || ExternalType == extBlob || ExternalType == extBfile;
    }
    // A LOB fetched in the row itself (OCI7) rather than through a locator.
    bool LobInline() const { return IsLob() && DefineType != ExternalType; }
    oci::OCILobLocator *Locator(int row) const { return locators_[static_cast<std::size_t>(row)]; }
    oci::ub2 ReturnCode(int row) const { return returnCodes_[static_cast<std::size_t>(row)]; }
    bool IsNull(int row) const { return indicators_[row] == -1; }
    const char *Value(int row) const { return buffer_.get() + static_cast<std::size_t>(row) * BufferSize; }
    oci::ub2 Length(int row) const { return lengths_[row]; }

    // LONG and LONG RAW: the whole value of the current row.
    bool IsLong() const { return ExternalType == extLong || ExternalType == extLongRaw; }
    QByteArray LongValue() const;
    void ResetLong();
    const std::deque<TLongPiece> &LongPieces() const { return pieces_; }

private:
    friend class TOracleQuery;
    TLongPiece &AddPiece();

    void FreeLocators();

    std::unique_ptr<char[]> buffer_;
    std::vector<oci::sb2> indicators_;
    std::vector<oci::ub2> lengths_;
    std::vector<oci::ub2> returnCodes_;
    std::vector<oci::OCILobLocator *> locators_;
    unsigned locatorGeneration_ = 0;
    std::deque<TLongPiece> pieces_; // OCI8: pieces of the current row
    QByteArray oci7Long_;           // OCI7: the value read with oflng
    oci::OCIDefine *define_ = nullptr;
    oci::ub2 returnCode_ = 0;
};

} // namespace rowpour::oracle
