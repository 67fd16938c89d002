// The OCI7 entry points: logon and cursor data areas. Each logon data area is
// backed by a service context (its own, or the program's after
// OCISvcCtxToLda), each cursor data area by a statement; the data areas
// themselves carry only what a program reads: rc, ft, rpc, peo, fc, wrn.

#include "devdb/engine/Charset.h"
#include "devdb/oci/Api.h"
#include "devdb/oci/Statement.h"
#include "devdb/oci/Values.h"

#include <cstring>
#include <map>

namespace devdb::oci
{
namespace
{

// OCI function codes a data area's fc field names.
enum FunctionCode : ub1 {
    kFcExec = 4,
    kFcDefine = 8,
    kFcFetch = 12,
    kFcOpen = 14,
    kFcClose = 16,
    kFcParse = 54,
    kFcExecFetch = 56,
    kFcFetchLong = 58,
    kFcDescribe = 60,
    kFcBind = 62,
};

constexpr ub1 kWarningAny = 0x01;
constexpr ub1 kWarningTruncated = 0x02;

struct Logon {
    std::unique_ptr<Env> ownedEnv; // olog/orlon made everything; ologof frees it
    SvcCtx *svc = nullptr;
    bool autoCommit = false;
};

struct Cursor {
    Logon *logon = nullptr;
    std::unique_ptr<Stmt> stmt;
};

std::unordered_map<const cda_def *, std::unique_ptr<Logon>> &logons()
{
    static std::unordered_map<const cda_def *, std::unique_ptr<Logon>> map;
    return map;
}

std::unordered_map<const cda_def *, std::unique_ptr<Cursor>> &cursors()
{
    static std::unordered_map<const cda_def *, std::unique_ptr<Cursor>> map;
    return map;
}

// The latest text of each error number, so oerhms can give the full message
// (with its column and constraint names) for a return code.
std::map<int, std::string> &lastTexts()
{
    static std::map<int, std::string> texts;
    return texts;
}

void setCode(cda_def *area, int code, ub1 functionCode)
{
    area->rc = static_cast<ub2>(code);
    area->v2_rc = code == 0 ? 0 : code == kNoDataFound ? 4 : code == kTruncated ? 3 : -1;
    area->fc = functionCode;
}

// Runs a call on a data area: its error number goes to rc; 0 is returned on success.
template <class F> sword onArea(cda_def *area, ub1 functionCode, F &&body)
{
    if (!area)
        return -1;
    std::lock_guard lock(apiMutex());
    area->wrn = 0;
    try {
        body();
        setCode(area, 0, functionCode);
        return 0;
    } catch (const OraError &e) {
        lastTexts()[e.code] = e.text;
        setCode(area, e.code, functionCode);
        if (e.parseOffset > 0)
            area->peo = static_cast<ub2>(e.parseOffset);
        return e.warning ? 0 : -1;
    } catch (const std::exception &e) {
        setCode(area, kInternal, functionCode);
        return -1;
    }
}

// The client character set messages for a logon data area are given in.
int messageCharset(const cda_def *lda)
{
    auto it = logons().find(lda);
    if (it != logons().end() && it->second->svc)
        return it->second->svc->env->client.charsetId;
    try {
        return readClientEnvironment().charsetId;
    } catch (const OraError &) {
        return devdb::charset::US7ASCII;
    }
}

std::string text(const OraText *p, sword length)
{
    if (!p)
        return {};
    const char *c = reinterpret_cast<const char *>(p);
    return length < 0 ? std::string(c) : std::string(c, static_cast<std::size_t>(length));
}

Logon &logonOf(const cda_def *lda)
{
    auto it = logons().find(lda);
    if (it == logons().end())
        throw clientError(kNotLoggedOn);
    return *it->second;
}

Cursor &cursorOf(const cda_def *cda)
{
    auto it = cursors().find(cda);
    if (it == cursors().end())
        throw clientError(kInvalidCursor);
    return *it->second;
}

Session &sessionOf(Logon &logon)
{
    SvcCtx *svc = logon.svc;
    if (!svc || !svc->server || !svc->server->attached)
        throw clientError(kNotConnected);
    if (!svc->session || !svc->session->active())
        throw clientError(kNotLoggedOn);
    return *svc->session;
}

void closeCursorsOf(const Logon *logon)
{
    for (auto it = cursors().begin(); it != cursors().end();)
        it = it->second->logon == logon ? cursors().erase(it) : std::next(it);
}

// "user/password@database": the parts an OCI7 logon text is made of.
struct LogonText {
    std::string user, password, database;
};

LogonText splitLogonText(const std::string &uid, const std::string &password, const std::string &connect)
{
    LogonText t{uid, password, connect};
    if (t.password.empty()) {
        auto slash = t.user.find('/');
        if (slash != std::string::npos) {
            t.password = t.user.substr(slash + 1);
            t.user.resize(slash);
        }
    }
    std::string &withDatabase = t.user.find('@') != std::string::npos ? t.user : t.password;
    auto at = withDatabase.find('@');
    if (at != std::string::npos) {
        if (t.database.empty())
            t.database = withDatabase.substr(at + 1);
        withDatabase.resize(at);
    }
    return t;
}

void logOn(cda_def *lda, const LogonText &t)
{
    logons().erase(lda);
    auto logon = std::make_unique<Logon>();
    logon->ownedEnv = std::make_unique<Env>(OCI_DEFAULT);
    Env *env = logon->ownedEnv.get();
    env->client = readClientEnvironment();
    auto *server = env->adopt(std::make_unique<Server>(env));
    auto *session = env->adopt(std::make_unique<Session>(env));
    auto *svc = env->adopt(std::make_unique<SvcCtx>(env));
    svc->server = server;
    svc->session = session;
    svc->inV8Mode = false;
    session->userName = t.user;
    session->password = t.password;
    attachServer(*server, t.database);
    bool external = t.user.empty() && t.password.empty();
    logon->svc = svc;
    try {
        beginSession(*svc, *session, external ? OCI_CRED_EXT : OCI_CRED_RDBMS, OCI_DEFAULT);
    } catch (const OraError &e) {
        if (e.warning)
            logons()[lda] = std::move(logon);
        throw;
    }
    logons()[lda] = std::move(logon);
}

void describeColumn(const devdb::ColumnDesc &c, const std::string &name, sb4 *dbsize, sb2 *dbtype, sb1 *cbuf,
                    sb4 *cbufl, sb4 *dsize, sb2 *prec, sb2 *scale, sb2 *nullok)
{
    if (dbsize)
        *dbsize = c.dataSize;
    if (dbtype)
        *dbtype = static_cast<sb2>(c.type);
    if (cbufl) {
        std::size_t n = std::min<std::size_t>(name.size(), *cbufl > 0 ? static_cast<std::size_t>(*cbufl) : 0);
        if (cbuf && n > 0)
            std::memcpy(cbuf, name.data(), n);
        *cbufl = static_cast<sb4>(n);
    }
    if (dsize) {
        int display = c.dataSize;
        if (c.type == devdb::OraType::Number)
            display = c.precision > 0 ? c.precision + 2 : 40;
        else if (c.type == devdb::OraType::Raw)
            display = 2 * c.dataSize;
        *dsize = display;
    }
    if (prec)
        *prec = static_cast<sb2>(c.precision);
    if (scale)
        *scale = static_cast<sb2>(c.scale);
    if (nullok)
        *nullok = c.nullable ? 1 : 0;
}

const devdb::Session *engineOf(const Stmt &stmt)
{
    return stmt.cursorSession ? stmt.cursorSession->engine.get() : nullptr;
}

// A fetch that truncated a value is a warning: the call succeeds (the rows
// are fetched, a LONG goes on with oflng) with the warning flags set and
// ORA-01406 in rc, the V2 code +3.
void applyResult(cda_def *cda, Stmt &stmt, const CallResult &result)
{
    cda->rpc = static_cast<ub4>(stmt.rowCount);
    if (result.status == OCI_NO_DATA)
        throw clientError(kNoDataFound);
    if (result.status == OCI_SUCCESS_WITH_INFO) {
        cda->wrn |= kWarningAny | kWarningTruncated;
        OraError truncated = clientError(kTruncated);
        truncated.warning = true;
        throw truncated;
    }
}

void execute(cda_def *cda, ub4 iterations)
{
    Cursor &c = cursorOf(cda);
    Session &session = sessionOf(*c.logon);
    Stmt &stmt = *c.stmt;
    CallResult result = stmt.execute(session, stmt.isSelect() ? 0 : iterations, 0, OCI_DEFAULT);
    cda->ft = stmt.kind.functionCode;
    applyResult(cda, stmt, result);
    if (c.logon->autoCommit && !stmt.isSelect())
        session.engine->commit();
}

} // namespace
} // namespace devdb::oci

using namespace devdb::oci;
using devdb::OraError;

OCI7_API sword orlon(cda_def *lda, ub1 *, OraText *uid, sword uidl, OraText *pswd, sword pswdl, sword)
{
    return onArea(lda, 0, [&] { logOn(lda, splitLogonText(text(uid, uidl), text(pswd, pswdl), {})); });
}

OCI7_API sword olog(cda_def *lda, ub1 *, OraText *uid, sword uidl, OraText *pswd, sword pswdl, OraText *conn,
                    sword connl, ub4)
{
    return onArea(lda, 0,
                  [&] { logOn(lda, splitLogonText(text(uid, uidl), text(pswd, pswdl), text(conn, connl))); });
}

OCI7_API sword ologof(cda_def *lda)
{
    return onArea(lda, 0, [&] {
        auto it = logons().find(lda);
        if (it == logons().end())
            throw clientError(kNotLoggedOn);
        std::unique_ptr<Logon> logon = std::move(it->second);
        logons().erase(it);
        closeCursorsOf(logon.get());
        SvcCtx *svc = logon->svc;
        std::optional<OraError> failure;
        if (svc && svc->session && svc->session->active()) {
            try {
                endSession(*svc->session);
            } catch (const OraError &e) {
                failure = e;
            }
        }
        if (svc && svc->server)
            svc->server->detach();
        if (failure)
            throw *failure;
    });
}

OCI7_API sword opinit(ub4)
{
    return 0;
}

OCI7_API sword oerhms(cda_def *lda, sb2 rcode, OraText *buf, sword bufsiz)
{
    if (!buf || bufsiz <= 0)
        return 0;
    std::lock_guard lock(apiMutex());
    int code = static_cast<ub2>(rcode);
    auto it = lastTexts().find(code);
    std::string message = devdb::encodeText(
        formatMessage(code, it != lastTexts().end() ? it->second : messageText(code)), messageCharset(lda));
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(bufsiz) - 1, message.size());
    std::memcpy(buf, message.data(), n);
    buf[n] = '\0';
    return static_cast<sword>(n);
}

OCI7_API sword oopen(cda_def *cursor, cda_def *lda, OraText *, sword, sword, OraText *, sword)
{
    return onArea(cursor, kFcOpen, [&] {
        Logon &logon = logonOf(lda);
        auto c = std::make_unique<Cursor>();
        c->logon = &logon;
        c->stmt = std::make_unique<Stmt>(logon.svc->env);
        c->stmt->prefetchRows = 0; // the cursor data area calls fetch what they ask for, no more
        cursor->rpc = 0;
        cursor->ft = 0;
        cursor->peo = 0;
        cursors()[cursor] = std::move(c);
    });
}

OCI7_API sword oclose(cda_def *cursor)
{
    return onArea(cursor, kFcClose, [&] {
        if (!cursors().erase(cursor))
            throw clientError(kInvalidCursor);
    });
}

OCI7_API sword oparse(cda_def *cursor, OraText *sqlstm, sb4 sqllen, sword defflg, ub4)
{
    return onArea(cursor, kFcParse, [&] {
        Cursor &c = cursorOf(cursor);
        cursor->peo = 0;
        cursor->rpc = 0;
        c.stmt->prepare(text(sqlstm, sqllen));
        cursor->ft = c.stmt->kind.functionCode;
        // A deferred parse reaches the server with the describe or the execute.
        if (!defflg)
            c.stmt->describe(sessionOf(*c.logon));
    });
}

OCI7_API_DROPPABLE sword odescr(cda_def *cursor, sword pos, sb4 *dbsize, sb2 *dbtype, sb1 *cbuf, sb4 *cbufl,
                                sb4 *dsize, sb2 *prec, sb2 *scale, sb2 *nullok)
{
    return onArea(cursor, kFcDescribe, [&] {
        Cursor &c = cursorOf(cursor);
        if (!c.stmt->described)
            c.stmt->describe(sessionOf(*c.logon));
        if (pos < 1 || static_cast<std::size_t>(pos) > c.stmt->columns.size())
            throw clientError(kNotInSelectList);
        const devdb::ColumnDesc &column = c.stmt->columns[pos - 1];
        describeColumn(column, devdb::encodeText(column.name, c.stmt->env->client.charsetId), dbsize, dbtype,
                       cbuf, cbufl, dsize, prec, scale, nullok);
    });
}

OCI7_API sword odefin(cda_def *cursor, sword pos, ub1 *buf, sword bufl, sword ftype, sword, sb2 *indp,
                      OraText *, sword, sword, ub2 *rlen, ub2 *rcode)
{
    return onArea(cursor, kFcDefine, [&] {
        Cursor &c = cursorOf(cursor);
        if (pos < 1)
            throw clientError(kNotInSelectList);
        Define *d = c.stmt->defineAt(static_cast<ub4>(pos));
        d->value = buf;
        d->valueSize = bufl;
        d->type = static_cast<ub2>(ftype);
        d->indicators = indp;
        d->lengths = rlen;
        d->returnCodes = rcode;
        d->mode = OCI_DEFAULT;
    });
}

OCI7_API sword oexec(cda_def *cursor)
{
    return onArea(cursor, kFcExec, [&] { execute(cursor, 1); });
}

OCI7_API sword oexn(cda_def *cursor, sword iters, sword)
{
    return onArea(cursor, kFcExec, [&] { execute(cursor, static_cast<ub4>(std::max(iters, 0))); });
}

OCI7_API sword oexfet(cda_def *cursor, ub4 nrows, sword cancel, sword)
{
    return onArea(cursor, kFcExecFetch, [&] {
        Cursor &c = cursorOf(cursor);
        Stmt &stmt = *c.stmt;
        // The execution and the first rows travel in one round trip.
        CallResult result = stmt.execute(sessionOf(*c.logon), stmt.isSelect() ? nrows : 0, 0, OCI_DEFAULT);
        if (stmt.isSelect() && nrows == 0)
            result = stmt.fetch(0);
        cursor->ft = stmt.kind.functionCode;
        if (cancel)
            stmt.endReached = true;
        applyResult(cursor, stmt, result);
    });
}

OCI7_API sword ofen(cda_def *cursor, sword nrows)
{
    return onArea(cursor, kFcFetch, [&] {
        Cursor &c = cursorOf(cursor);
        CallResult result = c.stmt->fetch(static_cast<ub4>(std::max(nrows, 1)));
        applyResult(cursor, *c.stmt, result);
    });
}

OCI7_API sword oflng(cda_def *cursor, sword pos, ub1 *buf, sb4 bufl, sword dtype, ub4 *retl, sb4 offset)
{
    return onArea(cursor, kFcFetchLong, [&] {
        Cursor &c = cursorOf(cursor);
        const devdb::Value *value = c.stmt->lastRowValue(static_cast<ub4>(pos));
        if (!value)
            throw clientError(c.stmt->rowValid ? kNotInSelectList : kFetchOutOfSequence);
        std::string bytes =
            value->kind == devdb::Value::Kind::Null
                ? std::string()
                : valueAsBytes(*value, static_cast<ub2>(dtype), engineOf(*c.stmt),
                               c.stmt->columns[static_cast<std::size_t>(pos) - 1].type,
                               c.stmt->clientCharsetOf(c.stmt->columns[static_cast<std::size_t>(pos) - 1]));
        std::size_t start =
            std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(std::max(offset, 0)));
        std::size_t n =
            std::min<std::size_t>(bytes.size() - start, static_cast<std::size_t>(std::max(bufl, 0)));
        if (n > 0)
            std::memcpy(buf, bytes.data() + start, n);
        if (retl)
            *retl = static_cast<ub4>(n);
    });
}

OCI7_API sword ocom(cda_def *lda)
{
    return onArea(lda, 0, [&] {
        Session &session = sessionOf(logonOf(lda));
        session.roundTrip();
        session.engine->commit();
    });
}

OCI7_API sword orol(cda_def *lda)
{
    return onArea(lda, 0, [&] {
        Session &session = sessionOf(logonOf(lda));
        session.roundTrip();
        session.engine->rollback();
    });
}

OCI7_API sword ocon(cda_def *lda)
{
    return onArea(lda, 0, [&] { logonOf(lda).autoCommit = true; });
}

OCI7_API sword ocof(cda_def *lda)
{
    return onArea(lda, 0, [&] { logonOf(lda).autoCommit = false; });
}

OCI7_API sword obreak(cda_def *lda)
{
    return onArea(lda, 0, [&] { logonOf(lda); });
}

OCI7_API sword obndra(cda_def *cursor, OraText *, sword, ub1 *, sword, sword, sword, sb2 *, ub2 *, ub2 *, ub4,
                      ub4 *, OraText *, sword, sword)
{
    return onArea(cursor, kFcBind, [] { throw clientError(kUnimplemented); });
}

OCI7_API sword odessp(cda_def *lda, OraText *, size_t, ub1 *, size_t, ub1 *, size_t, ub2 *, ub2 *, ub2 *,
                      OraText **, ub2 *, ub2 *, ub1 *, ub1 *, ub4 *, sb2 *, sb2 *, ub1 *, ub4 *, ub4 *)
{
    return onArea(lda, 0, [] { throw clientError(kUnimplemented); });
}

OCI8_API sword OCISvcCtxToLda(OCISvcCtx *svchp, OCIError *errhp, Lda_Def *ldap)
{
    auto *error = beginCall(errhp);
    auto *svc = handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    if (!error || !svc || !ldap)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        if (!svc->session || !svc->session->active())
            throw clientError(kServiceNotInitialized);
        auto logon = std::make_unique<Logon>();
        logon->svc = svc;
        svc->inV8Mode = false;
        logons()[ldap] = std::move(logon);
        setCode(ldap, 0, 0);
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCILdaToSvcCtx(OCISvcCtx **svchpp, OCIError *errhp, Lda_Def *ldap)
{
    auto *error = beginCall(errhp);
    if (!error || !svchpp || !ldap)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        Logon &logon = logonOf(ldap);
        SvcCtx *svc = logon.svc;
        svc->inV8Mode = true;
        *svchpp = opaque<OCISvcCtx>(svc);
        // A logon data area made from a service context goes away with the conversion back.
        if (!logon.ownedEnv) {
            closeCursorsOf(&logon);
            logons().erase(ldap);
        }
        return OCI_SUCCESS;
    });
}
