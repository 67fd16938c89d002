// The OCI8 statement entry points: prepare, bind, execute, describe, define, fetch.

#include "devdb/oci/Api.h"
#include "devdb/oci/Binds.h"
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

// The rows that failed in batch error mode stay with the error handle until
// its next execution; the element that ended an execution without it is the
// handle's row offset.
OCI8_API sword OCIStmtExecute(OCISvcCtx *svchp, OCIStmt *stmtp, OCIError *errhp, ub4 iters, ub4 rowoff,
                              const OCISnapshot *, OCISnapshot *, ub4 mode)
{
    auto *error = beginCall(errhp);
    auto *svc = handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    auto *s = handleCast<Stmt>(stmtp, OCI_HTYPE_STMT);
    if (!error || !svc || !s)
        return OCI_INVALID_HANDLE;
    auto *errorHandle = handleCast<ErrorHandle>(errhp, OCI_HTYPE_ERROR);
    error->rowErrors.clear();
    errorHandle->dmlRowOffset = 0;
    sword status = guarded(error, [&] {
        CallResult result = s->execute(sessionOf(*svc), iters, rowoff, mode);
        error->rowErrors = std::move(result.rowErrors);
        return finish(*error, result);
    });
    if (status == OCI_ERROR)
        errorHandle->dmlRowOffset = s->failedRow;
    return status;
}

namespace devdb::oci
{
namespace
{

sword fetchNext(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation)
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

// One failed row of the last array execution on errhp, as an error handle of
// its own: the program's handle when it passes one in, else a new one.
sword rowErrorHandle(const void *hndlp, OCIError *errhp, void **parmdpp, ub4 pos)
{
    auto *source = handleCast<ErrorHandle>(hndlp, OCI_HTYPE_ERROR);
    if (!source)
        return OCI_INVALID_HANDLE;
    // The program often reads the rows through the very handle that holds them.
    ErrorState *error = errhp == hndlp ? &source->error : beginCall(errhp);
    if (!error)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        if (pos >= source->error.rowErrors.size())
            throw clientError(kNoDescriptor);
        auto *target = handleCast<ErrorHandle>(*parmdpp, OCI_HTYPE_ERROR);
        if (!target || target == source)
            target = source->env->adopt(std::make_unique<ErrorHandle>(source->env));
        const RowError &row = source->error.rowErrors[pos];
        target->error.set(row.error);
        target->dmlRowOffset = row.row;
        *parmdpp = static_cast<Handle *>(target);
        return OCI_SUCCESS;
    });
}

// OCIBindByPos and OCIBindByName: the program's buffers for a placeholder.
sword bindPlaceholder(OCIStmt *stmtp, OCIBind **bindpp, OCIError *errhp, ub4 position, std::string_view name,
                      void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep, ub4 mode)
{
    auto *error = beginCall(errhp);
    auto *s = handleCast<Stmt>(stmtp, OCI_HTYPE_STMT);
    if (!error || !s || !bindpp)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        if (!s->prepared)
            throw clientError(kNotPrepared);
        if (mode != OCI_DEFAULT || !supportedBindType(dty))
            throw clientError(kUnimplemented);
        Bind *b = s->bindAt(handleCast<Bind>(*bindpp, OCI_HTYPE_BIND), position, name);
        b->value = valuep;
        b->valueSize = value_sz;
        b->type = dty;
        b->indicators = indp;
        b->lengths = alenp;
        b->returnCodes = rcodep;
        b->valueSkip = b->indicatorSkip = b->lengthSkip = b->returnCodeSkip = 0;
        b->charsetForm = SQLCS_IMPLICIT;
        *bindpp = opaque<OCIBind>(b);
        return OCI_SUCCESS;
    });
}

} // namespace
} // namespace devdb::oci

OCI8_API sword OCIStmtFetch(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, ub4)
{
    return fetchNext(stmtp, errhp, nrows, orientation);
}

// Scrolling is not served: only the next rows.
OCI81_API sword OCIStmtFetch2(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, sb4, ub4)
{
    return fetchNext(stmtp, errhp, nrows, orientation);
}

OCI8_API sword OCIBindByPos(OCIStmt *stmtp, OCIBind **bindpp, OCIError *errhp, ub4 position, void *valuep,
                            sb4 value_sz, ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep, ub4, ub4 *, ub4 mode)
{
    if (position == 0) {
        auto *error = beginCall(errhp);
        if (!error)
            return OCI_INVALID_HANDLE;
        return guarded(error, []() -> sword { throw clientError(kIllegalVariable); });
    }
    return bindPlaceholder(stmtp, bindpp, errhp, position, {}, valuep, value_sz, dty, indp, alenp, rcodep,
                           mode);
}

OCI8_API sword OCIBindByName(OCIStmt *stmtp, OCIBind **bindpp, OCIError *errhp, const OraText *placeholder,
                             sb4 placeh_len, void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *alenp,
                             ub2 *rcodep, ub4, ub4 *, ub4 mode)
{
    auto *text = reinterpret_cast<const char *>(placeholder);
    std::string_view name = !text            ? std::string_view()
                            : placeh_len < 0 ? std::string_view(text)
                                             : std::string_view(text, placeh_len);
    if (name.empty() || name == ":") {
        auto *error = beginCall(errhp);
        if (!error)
            return OCI_INVALID_HANDLE;
        return guarded(error, []() -> sword { throw clientError(kIllegalVariable); });
    }
    return bindPlaceholder(stmtp, bindpp, errhp, 0, name, valuep, value_sz, dty, indp, alenp, rcodep, mode);
}

OCI8_API sword OCIBindArrayOfStruct(OCIBind *bindp, OCIError *errhp, ub4 pvskip, ub4 indskip, ub4 alskip,
                                    ub4 rcskip)
{
    auto *error = beginCall(errhp);
    auto *b = handleCast<Bind>(bindp, OCI_HTYPE_BIND);
    if (!error || !b)
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(apiMutex());
    b->valueSkip = pvskip;
    b->indicatorSkip = indskip;
    b->lengthSkip = alskip;
    b->returnCodeSkip = rcskip;
    return OCI_SUCCESS;
}

OCI8_API sword OCIParamGet(const void *hndlp, ub4 htype, OCIError *errhp, void **parmdpp, ub4 pos)
{
    if (!parmdpp)
        return OCI_INVALID_HANDLE;
    if (htype == OCI_HTYPE_ERROR) {
        std::lock_guard lock(apiMutex());
        return rowErrorHandle(hndlp, errhp, parmdpp, pos);
    }
    auto *error = beginCall(errhp);
    if (!error)
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
