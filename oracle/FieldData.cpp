#include "oracle/FieldData.h"

#include "oracle/Oracle.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleTexts.h"

#include <algorithm>

namespace rowpour::oracle
{

using namespace oci;

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

} // namespace rowpour::oracle
