// The LOB entry points a program reads fetched locators with: lengths, reads
// in one piece, in polled pieces or through a callback, character set of a
// CLOB, and the name of a BFILE. BFILE contents cannot be read: the database
// has no directory objects, so opening one fails as Oracle fails for a
// directory that does not exist.

#include "devdb/engine/Charset.h"
#include "devdb/oci/Api.h"

#include <cstring>

namespace devdb::oci
{
namespace
{

LobLocator *locatorOf(const void *p)
{
    if (auto *lob = handleCast<LobLocator>(p, OCI_DTYPE_LOB))
        return lob;
    return handleCast<LobLocator>(p, OCI_DTYPE_FILE);
}

LobLocator &initialized(LobLocator &lob)
{
    if (!lob.initialized)
        throw clientError(kInvalidLobLocator);
    return lob;
}

bool isCharacterLob(const LobLocator &lob)
{
    return lob.type == devdb::OraType::Clob;
}

// The client character set a CLOB is read in: the one asked for, else the
// environment's (its national one for an NCLOB).
int readCharset(const LobLocator &lob, ub2 csid, ub1 csfrm)
{
    if (csid != 0)
        return csid;
    const ClientEnvironment &client = lob.env->client;
    return (csfrm == SQLCS_NCHAR || lob.charsetForm == 2) ? client.ncharsetId : client.charsetId;
}

// The unit a read counts: characters of a CLOB, bytes of a BLOB. The whole
// value as a list of such units, each in the bytes the client receives.
std::vector<std::string> unitsOf(const LobLocator &lob, int charset)
{
    std::vector<std::string> units;
    if (!isCharacterLob(lob)) {
        units.reserve(lob.data.size());
        for (char c : lob.data)
            units.emplace_back(1, c);
        return units;
    }
    std::string_view text = lob.data;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t next = devdb::characterOffset(text.substr(at), 1) + at;
        units.push_back(devdb::encodeText(text.substr(at, next - at), charset));
        at = next;
    }
    return units;
}

struct ReadResult {
    sword status = OCI_SUCCESS;
    ub8 units = 0; // characters or bytes read
    ub8 bytes = 0; // bytes put into the buffer
};

// One read into buffer: units [first, end) of the value, as many as fit.
// When not all fit, the read goes on at the next call (OCI_NEED_DATA).
ReadResult readUnits(LobLocator &lob, const std::vector<std::string> &units, std::size_t first,
                     std::size_t end, void *buffer, ub8 size)
{
    ReadResult r;
    auto *out = static_cast<char *>(buffer);
    std::size_t i = first;
    for (; i < end && r.bytes + units[i].size() <= size; ++i) {
        std::memcpy(out + r.bytes, units[i].data(), units[i].size());
        r.bytes += units[i].size();
        ++r.units;
    }
    lob.polling = i < end;
    lob.pollNext = i;
    lob.pollEnd = end;
    r.status = lob.polling ? OCI_NEED_DATA : OCI_SUCCESS;
    return r;
}

// A read request: offset counts from 1; an amount of 0 reads to the end.
ReadResult read(LobLocator &lob, ub8 offset, ub8 amount, ub8 byteAmount, void *buffer, ub8 size, ub2 csid,
                ub1 csfrm, bool continuing)
{
    if (lob.type == devdb::OraType::Bfile)
        throw clientError(kFileNotOpen);
    std::vector<std::string> units = unitsOf(lob, readCharset(lob, csid, csfrm));
    if (continuing && lob.polling)
        return readUnits(lob, units, lob.pollNext, lob.pollEnd, buffer, size);
    if (offset == 0)
        offset = 1;
    if (offset > units.size())
        return ReadResult{OCI_NO_DATA, 0, 0};
    std::size_t first = static_cast<std::size_t>(offset - 1);
    std::size_t end = units.size();
    if (amount != 0) {
        end = std::min<std::size_t>(end, first + static_cast<std::size_t>(amount));
    } else if (byteAmount != 0) {
        // A CLOB read by bytes takes the whole characters that fit.
        std::size_t bytes = 0;
        end = first;
        while (end < units.size() && bytes + units[end].size() <= byteAmount)
            bytes += units[end++].size();
    }
    return readUnits(lob, units, first, end, buffer, size);
}

bool varyingWidth(int charset)
{
    const devdb::Charset *c = devdb::findCharset(charset);
    return c && c->maxBytesPerChar > 1;
}

} // namespace
} // namespace devdb::oci

using namespace devdb::oci;

OCI8_API sword OCILobGetLength(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *lenp)
{
    auto *error = beginCall(errhp);
    auto *lob = locatorOf(locp);
    if (!error || !handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX) || !lob || !lenp)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        LobLocator &l = initialized(*lob);
        if (l.type == devdb::OraType::Bfile)
            throw clientError(kNoSuchDirectory);
        // CLOB lengths count UTF-16 code units, as Oracle keeps them.
        *lenp = static_cast<ub4>(isCharacterLob(l) ? devdb::utf16Length(l.data) : l.data.size());
        return OCI_SUCCESS;
    });
}

OCI81_API sword OCILobGetLength2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub8 *lenp)
{
    ub4 length = 0;
    sword status = OCILobGetLength(svchp, errhp, locp, lenp ? &length : nullptr);
    if (status == OCI_SUCCESS)
        *lenp = length;
    return status;
}

OCI8_API sword OCILobRead(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amtp, ub4 offset,
                          void *bufp, ub4 bufl, void *ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm)
{
    auto *error = beginCall(errhp);
    auto *lob = locatorOf(locp);
    if (!error || !handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX) || !lob || !amtp || !bufp)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&]() -> sword {
        LobLocator &l = initialized(*lob);
        bool continuing = l.polling;
        ReadResult r = read(l, offset, *amtp, 0, bufp, bufl, csid, csfrm, continuing);
        // A callback takes every piece in turn; the call then ends as one read.
        while (cbfp && r.status == OCI_NEED_DATA) {
            if (cbfp(ctxp, bufp, static_cast<ub4>(r.bytes), continuing ? OCI_NEXT_PIECE : OCI_FIRST_PIECE) !=
                OCI_CONTINUE)
                throw clientError(kCallbackError);
            continuing = true;
            r = read(l, offset, *amtp, 0, bufp, bufl, csid, csfrm, true);
        }
        if (cbfp && r.status == OCI_SUCCESS &&
            cbfp(ctxp, bufp, static_cast<ub4>(r.bytes), continuing ? OCI_LAST_PIECE : OCI_ONE_PIECE) !=
                OCI_CONTINUE)
            throw clientError(kCallbackError);
        // The amount comes back in bytes for a CLOB read in a varying-width set, else in its own unit.
        bool inBytes = !isCharacterLob(l) || varyingWidth(readCharset(l, csid, csfrm));
        *amtp = static_cast<ub4>(inBytes ? r.bytes : r.units);
        return r.status;
    });
}

OCI81_API sword OCILobRead2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub8 *byte_amtp,
                            ub8 *char_amtp, ub8 offset, void *bufp, ub8 bufl, ub1 piece, void *ctxp,
                            OCICallbackLobRead2 cbfp, ub2 csid, ub1 csfrm)
{
    auto *error = beginCall(errhp);
    auto *lob = locatorOf(locp);
    if (!error || !handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX) || !lob || !byte_amtp || !bufp)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&]() -> sword {
        LobLocator &l = initialized(*lob);
        bool character = isCharacterLob(l);
        ub8 chars = character && char_amtp ? *char_amtp : 0;
        ub8 bytes = chars == 0 ? *byte_amtp : 0;
        bool continuing = piece == OCI_NEXT_PIECE && l.polling;
        // A BLOB counts bytes: its byte amount is its amount.
        ReadResult r = character ? read(l, offset, chars, bytes, bufp, bufl, csid, csfrm, continuing)
                                 : read(l, offset, bytes, 0, bufp, bufl, csid, csfrm, continuing);
        while (cbfp && r.status == OCI_NEED_DATA) {
            if (cbfp(ctxp, bufp, r.bytes, continuing ? OCI_NEXT_PIECE : OCI_FIRST_PIECE, nullptr, nullptr) !=
                OCI_CONTINUE)
                throw clientError(kCallbackError);
            continuing = true;
            r = read(l, offset, 0, 0, bufp, bufl, csid, csfrm, true);
        }
        if (cbfp && r.status == OCI_SUCCESS &&
            cbfp(ctxp, bufp, r.bytes, continuing ? OCI_LAST_PIECE : OCI_ONE_PIECE, nullptr, nullptr) !=
                OCI_CONTINUE)
            throw clientError(kCallbackError);
        *byte_amtp = r.bytes;
        if (char_amtp)
            *char_amtp = character ? r.units : 0;
        return r.status;
    });
}

OCI8_API sword OCILobCharSetForm(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, ub1 *csfrm)
{
    auto *error = beginCall(errhp);
    auto *lob = locatorOf(locp);
    if (!error || !handleCast<Env>(envhp, OCI_HTYPE_ENV) || !lob || !csfrm)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        *csfrm = static_cast<ub1>(initialized(*lob).charsetForm);
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCILobCharSetId(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, ub2 *csid)
{
    auto *error = beginCall(errhp);
    auto *lob = locatorOf(locp);
    if (!error || !handleCast<Env>(envhp, OCI_HTYPE_ENV) || !lob || !csid)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        const LobLocator &l = initialized(*lob);
        *csid = static_cast<ub2>(l.charsetForm == 2   ? devdb::charset::AL16UTF16
                                 : l.charsetForm == 1 ? l.databaseCharset
                                                      : 0);
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCILobLocatorIsInit(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp,
                                   boolean *is_initialized)
{
    auto *error = beginCall(errhp);
    auto *lob = locatorOf(locp);
    if (!error || !handleCast<Env>(envhp, OCI_HTYPE_ENV) || !lob || !is_initialized)
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(apiMutex());
    *is_initialized = lob->initialized ? 1 : 0;
    return OCI_SUCCESS;
}

OCI8_API sword OCILobIsEqual(OCIEnv *envhp, const OCILobLocator *x, const OCILobLocator *y, boolean *is_equal)
{
    auto *a = locatorOf(x), *b = locatorOf(y);
    if (!handleCast<Env>(envhp, OCI_HTYPE_ENV) || !a || !b || !is_equal)
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(apiMutex());
    *is_equal = a == b ? 1 : 0;
    return OCI_SUCCESS;
}

OCI8_API sword OCILobFileGetName(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *filep,
                                 OraText *dir_alias, ub2 *d_length, OraText *filename, ub2 *f_length)
{
    auto *error = beginCall(errhp);
    auto *lob = locatorOf(filep);
    if (!error || !handleCast<Env>(envhp, OCI_HTYPE_ENV) || !lob || !d_length || !f_length)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        const LobLocator &l = initialized(*lob);
        if (l.type != devdb::OraType::Bfile)
            throw clientError(kInvalidLobLocator);
        const int charset = l.env->client.charsetId;
        // The buffers' sizes come in the length arguments; the names' lengths go back in them.
        auto copy = [&](const std::string &name, OraText *buffer, ub2 *length) {
            std::string text = devdb::encodeText(name, charset);
            if (buffer)
                std::memcpy(buffer, text.data(), std::min<std::size_t>(text.size(), *length));
            *length = static_cast<ub2>(text.size());
        };
        copy(l.directory, dir_alias, d_length);
        copy(l.fileName, filename, f_length);
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCILobFileExists(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, boolean *flag)
{
    auto *error = beginCall(errhp);
    auto *lob = locatorOf(filep);
    if (!error || !handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX) || !lob || !flag)
        return OCI_INVALID_HANDLE;
    return guarded(error, []() -> sword { throw clientError(kNoSuchDirectory); });
}

OCI8_API sword OCILobFileOpen(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, ub1)
{
    auto *error = beginCall(errhp);
    auto *lob = locatorOf(filep);
    if (!error || !handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX) || !lob)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&]() -> sword {
        initialized(*lob);
        throw clientError(kNoSuchDirectory);
    });
}

OCI8_API sword OCILobFileIsOpen(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, boolean *flag)
{
    auto *error = beginCall(errhp);
    auto *lob = locatorOf(filep);
    if (!error || !handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX) || !lob || !flag)
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(apiMutex());
    *flag = 0;
    return OCI_SUCCESS;
}

OCI8_API sword OCILobFileClose(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep)
{
    auto *error = beginCall(errhp);
    auto *lob = locatorOf(filep);
    if (!error || !handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX) || !lob)
        return OCI_INVALID_HANDLE;
    return guarded(error, []() -> sword { throw clientError(kFileNotOpen); });
}
