// The OCI8 statement entry points: prepare, execute, describe, define, fetch.

#include "devdb/oci/Api.h"
#include "devdb/oci/Statement.h"

namespace devdb::oci
{
namespace
{

Session &sessionOf(SvcCtx &svc)
{
    if (!svc.server || !svc.server->attached)
        throw clientError(kNotConnected);
    if (!svc.session || !svc.session->active())
        throw clientError(kNotLoggedOn);
    return *svc.session;
}

bool supportedDefineType(ub2 type)
{
    switch (type) {
    case SQLT_CHR:
    case SQLT_INT:
    case SQLT_FLT:
    case SQLT_STR:
    case SQLT_LNG:
    case SQLT_DAT:
    case SQLT_BIN:
    case SQLT_LBI:
    case SQLT_UIN:
    case SQLT_AFC:
    case SQLT_BFLOAT:
    case SQLT_BDOUBLE:
    case SQLT_IBFLOAT:
    case SQLT_IBDOUBLE:
    case SQLT_CLOB:
    case SQLT_BLOB:
    case SQLT_BFILEE:
        return true;
    default:
        return false;
    }
}

sword finish(ErrorState &error, const CallResult &result)
{
    if (result.record)
        error.set(*result.record);
    return result.status;
}

} // namespace
} // namespace devdb::oci

using namespace devdb::oci;

OCI8_API sword OCIStmtPrepare(OCIStmt *stmtp, OCIError *errhp, const OraText *stmt, ub4 stmt_len, ub4, ub4)
{
    auto *error = beginCall(errhp);
    auto *s = handleCast<Stmt>(stmtp, OCI_HTYPE_STMT);
    if (!error || !s)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        s->prepare(stmt ? std::string_view(reinterpret_cast<const char *>(stmt), stmt_len)
                        : std::string_view());
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCIStmtExecute(OCISvcCtx *svchp, OCIStmt *stmtp, OCIError *errhp, ub4 iters, ub4,
                              const OCISnapshot *, OCISnapshot *, ub4 mode)
{
    auto *error = beginCall(errhp);
    auto *svc = handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    auto *s = handleCast<Stmt>(stmtp, OCI_HTYPE_STMT);
    if (!error || !svc || !s)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] { return finish(*error, s->execute(sessionOf(*svc), iters, mode)); });
}

OCI8_API sword OCIStmtFetch(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, ub4)
{
    auto *error = beginCall(errhp);
    auto *s = handleCast<Stmt>(stmtp, OCI_HTYPE_STMT);
    if (!error || !s)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        if (orientation != OCI_FETCH_NEXT && orientation != OCI_DEFAULT)
            throw clientError(kUnimplemented);
        return finish(*error, s->fetch(nrows));
    });
}

OCI8_API sword OCIParamGet(const void *hndlp, ub4 htype, OCIError *errhp, void **parmdpp, ub4 pos)
{
    auto *error = beginCall(errhp);
    if (!error || !parmdpp)
        return OCI_INVALID_HANDLE;
    if (htype != OCI_HTYPE_STMT)
        return guarded(error, []() -> sword { throw clientError(kUnimplemented); });
    auto *s = handleCast<Stmt>(hndlp, OCI_HTYPE_STMT);
    if (!s)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        *parmdpp = static_cast<Handle *>(s->paramAt(pos));
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCIDefineByPos(OCIStmt *stmtp, OCIDefine **defnp, OCIError *errhp, ub4 position, void *valuep,
                              sb4 value_sz, ub2 dty, void *indp, ub2 *rlenp, ub2 *rcodep, ub4 mode)
{
    auto *error = beginCall(errhp);
    auto *s = handleCast<Stmt>(stmtp, OCI_HTYPE_STMT);
    if (!error || !s || !defnp)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        if (position == 0)
            throw clientError(kNotInSelectList);
        if (!supportedDefineType(dty))
            throw clientError(kUnimplemented);
        // A define of a position replaces the earlier one of that position,
        // whatever the handle slot the program passes in holds.
        Define *d = s->defineAt(position);
        d->value = valuep;
        d->valueSize = value_sz;
        d->type = dty;
        d->indicators = indp;
        d->lengths = rlenp;
        d->returnCodes = rcodep;
        d->mode = mode;
        d->callback = nullptr;
        d->callbackContext = nullptr;
        d->valueSkip = d->indicatorSkip = d->lengthSkip = d->returnCodeSkip = 0;
        *defnp = opaque<OCIDefine>(d);
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCIDefineDynamic(OCIDefine *defnp, OCIError *errhp, void *octxp, OCICallbackDefine ocbfp)
{
    auto *error = beginCall(errhp);
    auto *d = handleCast<Define>(defnp, OCI_HTYPE_DEFINE);
    if (!error || !d)
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(apiMutex());
    d->callbackContext = octxp;
    d->callback = ocbfp;
    return OCI_SUCCESS;
}

OCI8_API sword OCIDefineArrayOfStruct(OCIDefine *defnp, OCIError *errhp, ub4 pvskip, ub4 indskip, ub4 rlskip,
                                      ub4 rcskip)
{
    auto *error = beginCall(errhp);
    auto *d = handleCast<Define>(defnp, OCI_HTYPE_DEFINE);
    if (!error || !d)
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(apiMutex());
    d->valueSkip = pvskip;
    d->indicatorSkip = indskip;
    d->lengthSkip = rlskip;
    d->returnCodeSkip = rcskip;
    return OCI_SUCCESS;
}
