// The OCI8 entry points: environment, handles and descriptors, attributes,
// server attach, sessions, transactions and error records.

#include "devdb/engine/Charset.h"
#include "devdb/oci/Api.h"
#include "devdb/oci/Statement.h"
#include "devdb/oci/TnsNames.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace devdb::oci
{

constexpr int kAlreadyAttached = 24309;
constexpr int kNoListener = 12541;

std::recursive_mutex &apiMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

ErrorState *beginCall(OCIError *errhp)
{
    auto *err = handleCast<ErrorHandle>(errhp, OCI_HTYPE_ERROR);
    if (!err)
        return nullptr;
    err->error.clear();
    return &err->error;
}

void Session::end(bool commit)
{
    for (auto *holder : std::vector<CursorHolder *>(cursors.begin(), cursors.end()))
        holder->dropCursor();
    cursors.clear();
    if (server) {
        server->sessions.erase(this);
        server = nullptr;
    }
    auto session = std::move(engine);
    auto ending = std::move(statistics);
    try {
        if (session && commit)
            session->end();
    } catch (...) {
        finishSessionStatistics(ending);
        throw;
    }
    finishSessionStatistics(ending);
}

void Server::detach()
{
    for (auto *session : std::vector<Session *>(sessions.begin(), sessions.end()))
        session->end(false);
    sessions.clear();
    attached = false;
}

Env::~Env()
{
    // Statements first (their cursors belong to sessions), servers last.
    static const ub4 order[] = {OCI_HTYPE_STMT, OCI_DTYPE_ROWID, OCI_HTYPE_SVCCTX, OCI_HTYPE_SESSION,
                                OCI_HTYPE_SERVER};
    for (ub4 type : order)
        for (auto it = children.begin(); it != children.end();)
            it = it->first->type == type ? children.erase(it) : std::next(it);
    children.clear();
}

void Env::release(Handle *h)
{
    if (h->type == OCI_HTYPE_SESSION || h->type == OCI_HTYPE_SERVER)
        for (auto &[child, owned] : children)
            if (auto *svc = handleCast<SvcCtx>(child, OCI_HTYPE_SVCCTX)) {
                if (svc->session == h)
                    svc->session = nullptr;
                if (svc->server == h)
                    svc->server = nullptr;
            }
    children.erase(h);
}

void attachServer(Server &server, const std::string &connectIdentifier)
{
    if (server.attached)
        throw clientError(kAlreadyAttached, "already attached to a server");
    std::string path = resolveConnectIdentifier(connectIdentifier);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw clientError(kNoListener, "TNS:no listener");
    auto canonical = std::filesystem::weakly_canonical(path, ec);
    server.databasePath = ec ? path : canonical.string();
    server.attached = true;
}

void beginSession(SvcCtx &svc, Session &session, ub4 credentials, ub4 mode)
{
    if (!svc.server)
        throw clientError(kServiceNotInitialized);
    if (!svc.server->attached)
        throw clientError(kNotConnected);
    if (session.active())
        throw clientError(kAlreadyAuthenticated);
    auto privilege = (mode & OCI_SYSDBA)    ? devdb::Privilege::SysDba
                     : (mode & OCI_SYSOPER) ? devdb::Privilege::SysOper
                                            : devdb::Privilege::Normal;
    bool external = credentials == OCI_CRED_EXT;
    std::optional<OraError> warning;
    const int charset = svc.env->client.charsetId;
    session.engine =
        devdb::logon(svc.server->databasePath, external ? "" : devdb::decodeText(session.userName, charset),
                     external ? "" : devdb::decodeText(session.password, charset),
                     external ? devdb::Credentials::External : devdb::Credentials::Rdbms, privilege, &warning,
                     svc.env->client.nls);
    // The logon is the session's first round trip.
    session.statistics = startSessionStatistics();
    session.roundTrip();
    session.server = svc.server;
    svc.server->versionText = session.engine->serverVersion();
    svc.server->sessions.insert(&session);
    svc.session = &session;
    if (warning) {
        warning->warning = true;
        throw *warning;
    }
}

void endSession(Session &session)
{
    if (!session.active())
        throw clientError(kNotLoggedOn);
    session.roundTrip();
    session.end(true);
}

namespace
{

Session &activeSession(SvcCtx &svc)
{
    if (!svc.server || !svc.server->attached)
        throw clientError(kNotConnected);
    if (!svc.session || !svc.session->active())
        throw clientError(kNotLoggedOn);
    return *svc.session;
}

void allocateUserMemory(Handle &h, size_t size, void **usrmempp)
{
    if (size == 0 || !usrmempp)
        return;
    h.userMemory = std::make_unique<char[]>(size);
    *usrmempp = h.userMemory.get();
}

std::string text(const OraText *p, sb4 length)
{
    if (!p)
        return {};
    const char *c = reinterpret_cast<const char *>(p);
    return length < 0 ? std::string(c) : std::string(c, static_cast<std::size_t>(length));
}

template <class T> void put(void *attributep, ub4 *sizep, T value)
{
    if (attributep)
        std::memcpy(attributep, &value, sizeof value);
    if (sizep)
        *sizep = sizeof value;
}

void putText(void *attributep, ub4 *sizep, const std::string &value)
{
    if (attributep)
        *static_cast<const OraText **>(attributep) = reinterpret_cast<const OraText *>(value.c_str());
    if (sizep)
        *sizep = static_cast<ub4>(value.size());
}

template <class T> T readAttribute(const void *attributep, ub4 size)
{
    T value{};
    if (attributep)
        std::memcpy(&value, attributep, size && size < sizeof value ? size : sizeof value);
    return value;
}

std::string attributeText(const void *attributep, ub4 size)
{
    return attributep ? std::string(static_cast<const char *>(attributep), size) : std::string();
}

// Creates the environment and reads the client's NLS environment into it. An
// NLS environment the client cannot use fails the call, but the handle is
// still made, so that OCIErrorGet on it gives the reason (ORA-12705).
sword createEnv(OCIEnv **envp, ub4 mode, size_t xtramem_sz, void **usrmempp, ub2 charset = 0,
                ub2 ncharset = 0)
{
    std::lock_guard lock(apiMutex());
    auto owned = std::make_unique<Env>(mode);
    allocateUserMemory(*owned, xtramem_sz, usrmempp);
    Env *env = owned.release();
    *envp = opaque<OCIEnv>(env);
    try {
        env->client = readClientEnvironment();
        // Character set ids given by the program replace those of NLS_LANG and NLS_NCHAR.
        for (auto [id, target] :
             {std::pair{charset, &env->client.charsetId}, {ncharset, &env->client.ncharsetId}}) {
            if (id == 0)
                continue;
            if (!devdb::findCharset(id) || id == devdb::charset::AL16UTF16)
                throw clientError(kInvalidNlsEnvironment);
            *target = id;
        }
    } catch (const OraError &e) {
        env->error.set(e);
        return OCI_ERROR;
    }
    return OCI_SUCCESS;
}

bool isFreeDescriptorType(ub4 type)
{
    switch (type) {
    case OCI_DTYPE_LOB:
    case OCI_DTYPE_SNAP:
    case OCI_DTYPE_ROWID:
    case 56: // FILE
    case 62: // INTERVAL_YM
    case 63: // INTERVAL_DS
    case 65: // DATE
    case 66: // TIME
    case 67: // TIME_TZ
    case 68: // TIMESTAMP
    case 69: // TIMESTAMP_TZ
    case 70: // TIMESTAMP_LTZ
        return true;
    default:
        return false;
    }
}

// A select-list describe reports datetime, interval and rowid columns under
// their external codes; the others under their internal ones.
ub2 describedType(devdb::OraType type)
{
    using devdb::OraType;
    switch (type) {
    case OraType::Timestamp:
        return SQLT_TIMESTAMP;
    case OraType::TimestampTz:
        return SQLT_TIMESTAMP_TZ;
    case OraType::TimestampLtz:
        return SQLT_TIMESTAMP_LTZ;
    case OraType::IntervalYm:
        return SQLT_INTERVAL_YM;
    case OraType::IntervalDs:
        return SQLT_INTERVAL_DS;
    case OraType::Rowid:
    case OraType::Urowid:
        return SQLT_RDD;
    default:
        return static_cast<ub2>(type);
    }
}

sword paramAttribute(Param &param, void *attributep, ub4 *sizep, ub4 attrtype)
{
    const auto &c = param.column;
    switch (attrtype) {
    case OCI_ATTR_DATA_TYPE:
        put<ub2>(attributep, sizep, describedType(c.type));
        break;
    case OCI_ATTR_DATA_SIZE:
        put<ub2>(attributep, sizep, static_cast<ub2>(c.dataSize));
        break;
    case OCI_ATTR_DISP_SIZE:
        put<ub2>(attributep, sizep, static_cast<ub2>(c.dataSize));
        break;
    case OCI_ATTR_NAME:
        putText(attributep, sizep, param.clientName);
        break;
    case OCI_ATTR_PRECISION:
        put<sb2>(attributep, sizep, static_cast<sb2>(c.precision));
        break;
    case OCI_ATTR_SCALE:
        put<sb1>(attributep, sizep, static_cast<sb1>(c.scale));
        break;
    case OCI_ATTR_IS_NULL:
        put<ub1>(attributep, sizep, c.nullable ? 1 : 0);
        break;
    case OCI_ATTR_CHAR_USED:
        put<ub1>(attributep, sizep, c.charUsed ? 1 : 0);
        break;
    case OCI_ATTR_CHAR_SIZE:
        put<ub2>(attributep, sizep, static_cast<ub2>(c.charLength));
        break;
    case OCI_ATTR_CHARSET_FORM:
        put<ub1>(attributep, sizep, static_cast<ub1>(c.charsetForm));
        break;
    case OCI_ATTR_CHARSET_ID:
        put<ub2>(attributep, sizep,
                 static_cast<ub2>(c.charsetForm == 2   ? devdb::charset::AL16UTF16
                                  : c.charsetForm == 1 ? param.stmt->databaseCharset()
                                                       : 0));
        break;
    case OCI_ATTR_TYPE_NAME:
        putText(attributep, sizep, param.clientTypeName);
        break;
    case OCI_ATTR_SCHEMA_NAME:
        putText(attributep, sizep, param.clientSchemaName);
        break;
    default:
        throw clientError(kIllegalAttribute);
    }
    return OCI_SUCCESS;
}

sword stmtAttribute(Stmt &stmt, void *attributep, ub4 *sizep, ub4 attrtype)
{
    switch (attrtype) {
    case OCI_ATTR_STMT_TYPE:
        put<ub2>(attributep, sizep, stmt.kind.statementType);
        break;
    case OCI_ATTR_SQLFNCODE:
        put<ub2>(attributep, sizep, stmt.kind.functionCode);
        break;
    case OCI_ATTR_ROW_COUNT:
        put<ub4>(attributep, sizep, static_cast<ub4>(stmt.rowCount));
        break;
    case OCI_ATTR_UB8_ROW_COUNT:
        put<ub8>(attributep, sizep, stmt.rowCount);
        break;
    case OCI_ATTR_ROWS_FETCHED:
        put<ub4>(attributep, sizep, stmt.rowsFetched);
        break;
#if !DEVDB_WITH_OCI81
    // Programs written for clients without the Oracle 8.1 calls ask for the
    // parse error offset under the number before it.
    case OCI_ATTR_PARSE_ERROR_OFFSET - 1:
#endif
    case OCI_ATTR_PARSE_ERROR_OFFSET:
        put<ub2>(attributep, sizep, stmt.parseErrorOffset);
        break;
    case OCI_ATTR_PREFETCH_ROWS:
        put<ub4>(attributep, sizep, stmt.prefetchRows);
        break;
    case OCI_ATTR_PREFETCH_MEMORY:
        put<ub4>(attributep, sizep, stmt.prefetchMemory);
        break;
    case OCI_ATTR_STATEMENT:
        putText(attributep, sizep, stmt.clientText);
        break;
    case OCI_ATTR_ENV:
        put<OCIEnv *>(attributep, sizep, opaque<OCIEnv>(stmt.env));
        break;
    case OCI_ATTR_PARAM_COUNT:
        if (!stmt.described)
            throw clientError(kNotExecuted);
        put<ub4>(attributep, sizep, static_cast<ub4>(stmt.columns.size()));
        break;
    case OCI_ATTR_NUM_DML_ERRORS:
        put<ub4>(attributep, sizep, stmt.dmlErrors);
        break;
    case OCI_ATTR_BIND_COUNT:
        put<ub4>(attributep, sizep, static_cast<ub4>(stmt.placeholders.size()));
        break;
    default:
        throw clientError(kIllegalAttribute);
    }
    return OCI_SUCCESS;
}

} // namespace

} // namespace devdb::oci

using namespace devdb::oci;
using devdb::OraError;

OCI81_API sword OCIEnvCreate(OCIEnv **envp, ub4 mode, void *, OCIMallocFn, OCIReallocFn, OCIFreeFn,
                             size_t xtramem_sz, void **usrmempp)
{
    if (!envp)
        return OCI_INVALID_HANDLE;
    return createEnv(envp, mode, xtramem_sz, usrmempp);
}

OCI81_API sword OCIEnvNlsCreate(OCIEnv **envp, ub4 mode, void *, OCIMallocFn, OCIReallocFn, OCIFreeFn,
                                size_t xtramem_sz, void **usrmempp, ub2 charset, ub2 ncharset)
{
    if (!envp)
        return OCI_INVALID_HANDLE;
    return createEnv(envp, mode, xtramem_sz, usrmempp, charset, ncharset);
}

OCI8_API sword OCIEnvInit(OCIEnv **envp, ub4 mode, size_t xtramem_sz, void **usrmempp)
{
    if (!envp)
        return OCI_INVALID_HANDLE;
    return createEnv(envp, mode, xtramem_sz, usrmempp);
}

OCI8_API sword OCIInitialize(ub4, void *, OCIMallocFn, OCIReallocFn, OCIFreeFn)
{
    return OCI_SUCCESS;
}

OCI8_API sword OCIHandleAlloc(const void *parenth, void **hndlpp, const ub4 type, const size_t xtramem_sz,
                              void **usrmempp)
{
    auto *env = handleCast<Env>(parenth, OCI_HTYPE_ENV);
    if (!env || !hndlpp)
        return OCI_INVALID_HANDLE;
    return guarded(&env->error, [&]() -> sword {
        std::unique_ptr<Handle> h;
        switch (type) {
        case OCI_HTYPE_ERROR:
            h = std::make_unique<ErrorHandle>(env);
            break;
        case OCI_HTYPE_SVCCTX:
            h = std::make_unique<SvcCtx>(env);
            break;
        case OCI_HTYPE_STMT:
            h = std::make_unique<Stmt>(env);
            break;
        case OCI_HTYPE_SERVER:
            h = std::make_unique<Server>(env);
            break;
        case OCI_HTYPE_SESSION:
            h = std::make_unique<Session>(env);
            break;
        case OCI_HTYPE_DESCRIBE:
        case OCI_HTYPE_TRANS:
            h = std::make_unique<Descriptor>(type, env);
            break;
        default:
            return OCI_INVALID_HANDLE;
        }
        allocateUserMemory(*h, xtramem_sz, usrmempp);
        *hndlpp = h.get();
        env->adopt(std::move(h));
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCIHandleFree(void *hndlp, const ub4 type)
{
    auto *h = handleCast<Handle>(hndlp, type);
    if (!h || type == OCI_HTYPE_DEFINE || type == OCI_HTYPE_BIND)
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(apiMutex());
    if (type == OCI_HTYPE_ENV) {
        delete static_cast<Env *>(h);
        return OCI_SUCCESS;
    }
    if (!h->env->children.count(h))
        return OCI_INVALID_HANDLE;
    h->env->release(h);
    return OCI_SUCCESS;
}

OCI8_API sword OCIDescriptorAlloc(const void *parenth, void **descpp, const ub4 type, const size_t xtramem_sz,
                                  void **usrmempp)
{
    auto *env = handleCast<Env>(parenth, OCI_HTYPE_ENV);
    if (!env || !descpp || !isFreeDescriptorType(type))
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(apiMutex());
    std::unique_ptr<Descriptor> d = type == OCI_DTYPE_LOB || type == OCI_DTYPE_FILE
                                        ? std::make_unique<LobLocator>(type, env)
                                        : std::make_unique<Descriptor>(type, env);
    allocateUserMemory(*d, xtramem_sz, usrmempp);
    *descpp = d.get();
    env->adopt(std::move(d));
    return OCI_SUCCESS;
}

OCI8_API sword OCIDescriptorFree(void *descp, const ub4 type)
{
    std::lock_guard lock(apiMutex());
    if (type == OCI_DTYPE_PARAM) {
        auto *param = handleCast<Param>(descp, OCI_DTYPE_PARAM);
        return param && param->stmt->freeParam(param) ? OCI_SUCCESS : OCI_INVALID_HANDLE;
    }
    auto *d = handleCast<Descriptor>(descp, type);
    if (!d || !isFreeDescriptorType(type) || !d->env->children.count(d))
        return OCI_INVALID_HANDLE;
    d->env->release(d);
    return OCI_SUCCESS;
}

OCI8_API sword OCIServerAttach(OCIServer *srvhp, OCIError *errhp, const OraText *dblink, sb4 dblink_len, ub4)
{
    auto *error = beginCall(errhp);
    auto *server = handleCast<Server>(srvhp, OCI_HTYPE_SERVER);
    if (!error || !server)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        attachServer(*server, text(dblink, dblink ? std::max(dblink_len, 0) : 0));
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCIServerDetach(OCIServer *srvhp, OCIError *errhp, ub4)
{
    auto *error = beginCall(errhp);
    auto *server = handleCast<Server>(srvhp, OCI_HTYPE_SERVER);
    if (!error || !server)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        if (!server->attached)
            throw clientError(kNotConnected);
        server->detach();
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCISessionBegin(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 credt, ub4 mode)
{
    auto *error = beginCall(errhp);
    auto *svc = handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    auto *session = handleCast<Session>(usrhp, OCI_HTYPE_SESSION);
    if (!error || !svc || !session)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        beginSession(*svc, *session, credt, mode);
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCISessionEnd(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4)
{
    auto *error = beginCall(errhp);
    auto *svc = handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    if (!error || !svc)
        return OCI_INVALID_HANDLE;
    Session *session = usrhp ? handleCast<Session>(usrhp, OCI_HTYPE_SESSION) : svc->session;
    if (usrhp && !session)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        if (!session)
            throw clientError(kNotLoggedOn);
        endSession(*session);
        return OCI_SUCCESS;
    });
}

namespace devdb::oci
{
namespace
{

// OCILogon and OCILogon2: a server, a session and a service context made in
// one call. A logon that succeeds with a warning keeps them.
sword logOnSimply(OCIEnv *envhp, OCIError *errhp, OCISvcCtx **svchp, const OraText *username, ub4 uname_len,
                  const OraText *password, ub4 passwd_len, const OraText *dbname, ub4 dbname_len)
{
    auto *error = beginCall(errhp);
    auto *env = handleCast<Env>(envhp, OCI_HTYPE_ENV);
    if (!error || !env || !svchp)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        auto *server = env->adopt(std::make_unique<Server>(env));
        auto *session = env->adopt(std::make_unique<Session>(env));
        auto *svc = env->adopt(std::make_unique<SvcCtx>(env));
        svc->createdByLogon = true;
        svc->server = server;
        svc->session = session;
        session->userName = text(username, static_cast<sb4>(uname_len));
        session->password = text(password, static_cast<sb4>(passwd_len));
        try {
            attachServer(*server, text(dbname, static_cast<sb4>(dbname_len)));
            beginSession(*svc, *session, OCI_CRED_RDBMS, OCI_DEFAULT);
        } catch (const OraError &e) {
            if (e.warning) {
                *svchp = opaque<OCISvcCtx>(svc);
                throw;
            }
            env->release(svc);
            env->release(session);
            env->release(server);
            throw;
        }
        *svchp = opaque<OCISvcCtx>(svc);
        return OCI_SUCCESS;
    });
}

} // namespace
} // namespace devdb::oci

OCI8_API sword OCILogon(OCIEnv *envhp, OCIError *errhp, OCISvcCtx **svchp, const OraText *username,
                        ub4 uname_len, const OraText *password, ub4 passwd_len, const OraText *dbname,
                        ub4 dbname_len)
{
    return logOnSimply(envhp, errhp, svchp, username, uname_len, password, passwd_len, dbname, dbname_len);
}

// The mode (statement caching, session pools) changes nothing here.
OCI81_API sword OCILogon2(OCIEnv *envhp, OCIError *errhp, OCISvcCtx **svchp, const OraText *username,
                          ub4 uname_len, const OraText *password, ub4 passwd_len, const OraText *dbname,
                          ub4 dbname_len, ub4)
{
    return logOnSimply(envhp, errhp, svchp, username, uname_len, password, passwd_len, dbname, dbname_len);
}

OCI8_API sword OCILogoff(OCISvcCtx *svchp, OCIError *errhp)
{
    auto *error = beginCall(errhp);
    auto *svc = handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    if (!error || !svc)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        Env *env = svc->env;
        Session *session = svc->session;
        Server *server = svc->server;
        std::optional<OraError> failure;
        try {
            if (session && session->active())
                endSession(*session);
        } catch (const OraError &e) {
            failure = e;
        }
        if (server)
            server->detach();
        if (svc->createdByLogon) {
            env->release(svc);
            if (session)
                env->release(session);
            if (server)
                env->release(server);
        }
        if (failure)
            throw *failure;
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCIPasswordChange(OCISvcCtx *svchp, OCIError *errhp, const OraText *user_name, ub4 usernm_len,
                                 const OraText *opasswd, ub4 opasswd_len, const OraText *npasswd,
                                 ub4 npasswd_len, ub4 mode)
{
    auto *error = beginCall(errhp);
    auto *svc = handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    if (!error || !svc)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        // The session handle keeps names as the program gave them; the server reads them decoded.
        const int charset = svc->env->client.charsetId;
        std::string givenUser = text(user_name, static_cast<sb4>(usernm_len));
        std::string givenPassword = text(npasswd, static_cast<sb4>(npasswd_len));
        std::string user = devdb::decodeText(givenUser, charset);
        std::string oldPassword = devdb::decodeText(text(opasswd, static_cast<sb4>(opasswd_len)), charset);
        std::string newPassword = devdb::decodeText(givenPassword, charset);
        if (svc->session && svc->session->active()) {
            svc->session->roundTrip();
            svc->session->engine->changePassword(user, oldPassword, newPassword);
            svc->session->password = givenPassword;
            return OCI_SUCCESS;
        }
        if (!svc->server || !svc->server->attached)
            throw clientError(kServiceNotInitialized);
        devdb::changePassword(svc->server->databasePath, user, oldPassword, newPassword);
        // OCI_AUTH leaves the account logged on with the new password.
        if ((mode & OCI_AUTH) && svc->session) {
            svc->session->userName = givenUser;
            svc->session->password = givenPassword;
            beginSession(*svc, *svc->session, OCI_CRED_RDBMS, mode & ~OCI_AUTH);
        }
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCITransCommit(OCISvcCtx *svchp, OCIError *errhp, ub4)
{
    auto *error = beginCall(errhp);
    auto *svc = handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    if (!error || !svc)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        Session &session = activeSession(*svc);
        session.roundTrip();
        session.engine->commit();
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCITransRollback(OCISvcCtx *svchp, OCIError *errhp, ub4)
{
    auto *error = beginCall(errhp);
    auto *svc = handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    if (!error || !svc)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        Session &session = activeSession(*svc);
        session.roundTrip();
        session.engine->rollback();
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCIErrorGet(void *hndlp, ub4 recordno, OraText *, sb4 *errcodep, OraText *bufp, ub4 bufsiz,
                           ub4 type)
{
    std::lock_guard lock(apiMutex());
    const ErrorState *state = nullptr;
    if (type == OCI_HTYPE_ERROR) {
        if (auto *err = handleCast<ErrorHandle>(hndlp, OCI_HTYPE_ERROR))
            state = &err->error;
    } else if (type == OCI_HTYPE_ENV) {
        if (auto *env = handleCast<Env>(hndlp, OCI_HTYPE_ENV))
            state = &env->error;
    }
    if (!state)
        return OCI_INVALID_HANDLE;
    const auto &record = state->record();
    if (recordno != 1 || !record)
        return OCI_NO_DATA;
    if (errcodep)
        *errcodep = record->code;
    if (bufp && bufsiz > 0) {
        auto *handle = static_cast<Handle *>(hndlp);
        std::string message = devdb::encodeText(record->message, handle->env->client.charsetId);
        std::size_t n = std::min<std::size_t>(bufsiz - 1, message.size());
        std::memcpy(bufp, message.data(), n);
        bufp[n] = '\0';
    }
    return OCI_SUCCESS;
}

OCI8_API_DROPPABLE sword OCIServerVersion(void *hndlp, OCIError *errhp, OraText *bufp, ub4 bufsz,
                                          ub1 hndltype)
{
    auto *error = beginCall(errhp);
    if (!error)
        return OCI_INVALID_HANDLE;
    Server *server = nullptr;
    Session *session = nullptr;
    if (hndltype == OCI_HTYPE_SERVER) {
        server = handleCast<Server>(hndlp, OCI_HTYPE_SERVER);
        if (!server)
            return OCI_INVALID_HANDLE;
    } else if (hndltype == OCI_HTYPE_SVCCTX) {
        auto *svc = handleCast<SvcCtx>(hndlp, OCI_HTYPE_SVCCTX);
        if (!svc)
            return OCI_INVALID_HANDLE;
        server = svc->server;
        session = svc->session;
    } else {
        return OCI_INVALID_HANDLE;
    }
    return guarded(error, [&] {
        if (!server || !server->attached)
            throw clientError(kNotConnected);
        if (server->versionText.empty())
            throw clientError(kNotLoggedOn);
        // The banner comes from the server: a round trip of the session asking, or of one on the server.
        if (!session || !session->active())
            session = server->sessions.empty() ? nullptr : *server->sessions.begin();
        if (session && session->active())
            session->roundTrip();
        const std::string version = devdb::encodeText(server->versionText, server->env->client.charsetId);
        if (bufp && bufsz > 0) {
            std::size_t n = std::min<std::size_t>(bufsz - 1, version.size());
            std::memcpy(bufp, version.data(), n);
            bufp[n] = '\0';
        }
        return OCI_SUCCESS;
    });
}

OCI8_API sword OCIAttrGet(const void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 *sizep, ub4 attrtype,
                          OCIError *errhp)
{
    // Reading a row error's offset through the handle itself keeps its message.
    auto *self = trghndltyp == OCI_HTYPE_ERROR && errhp == trgthndlp
                     ? handleCast<ErrorHandle>(errhp, OCI_HTYPE_ERROR)
                     : nullptr;
    auto *error = self ? &self->error : beginCall(errhp);
    auto *target = static_cast<Handle *>(const_cast<void *>(trgthndlp));
    if (trghndltyp == OCI_HTYPE_DESCRIBE)
        trghndltyp = OCI_DTYPE_PARAM; // a select-list parameter read as a describe handle
    if (!handleCast<Handle>(target, trghndltyp))
        return OCI_INVALID_HANDLE;
    return guarded(error, [&]() -> sword {
        switch (trghndltyp) {
        case OCI_DTYPE_PARAM:
            return paramAttribute(*static_cast<Param *>(target), attributep, sizep, attrtype);
        case OCI_HTYPE_STMT:
            return stmtAttribute(*static_cast<Stmt *>(target), attributep, sizep, attrtype);
        case OCI_HTYPE_SVCCTX: {
            auto *svc = static_cast<SvcCtx *>(target);
            switch (attrtype) {
            case OCI_ATTR_SERVER:
                put<OCIServer *>(attributep, sizep, opaque<OCIServer>(svc->server));
                break;
            case OCI_ATTR_SESSION:
                put<OCISession *>(attributep, sizep, opaque<OCISession>(svc->session));
                break;
            case OCI_ATTR_ENV:
                put<OCIEnv *>(attributep, sizep, opaque<OCIEnv>(svc->env));
                break;
            case OCI_ATTR_IN_V8_MODE:
                put<ub1>(attributep, sizep, svc->inV8Mode ? 1 : 0);
                break;
            default:
                throw clientError(kIllegalAttribute);
            }
            return OCI_SUCCESS;
        }
        case OCI_HTYPE_SESSION: {
            auto *session = static_cast<Session *>(target);
            switch (attrtype) {
            case OCI_ATTR_USERNAME:
                putText(attributep, sizep, session->userName);
                break;
            case OCI_ATTR_PASSWORD:
                putText(attributep, sizep, session->password);
                break;
            default:
                throw clientError(kIllegalAttribute);
            }
            return OCI_SUCCESS;
        }
        case OCI_HTYPE_SERVER: {
            auto *server = static_cast<Server *>(target);
            switch (attrtype) {
            case OCI_ATTR_SERVER_STATUS:
                put<ub4>(attributep, sizep, server->attached ? 1 : 0);
                break;
            case OCI_ATTR_ENV:
                put<OCIEnv *>(attributep, sizep, opaque<OCIEnv>(server->env));
                break;
            default:
                throw clientError(kIllegalAttribute);
            }
            return OCI_SUCCESS;
        }
        case OCI_HTYPE_ERROR:
            if (attrtype != OCI_ATTR_DML_ROW_OFFSET)
                throw clientError(kIllegalAttribute);
            put<ub4>(attributep, sizep, static_cast<ErrorHandle *>(target)->dmlRowOffset);
            return OCI_SUCCESS;
        case OCI_HTYPE_ENV:
            switch (attrtype) {
            case OCI_ATTR_CHARSET_ID:
                put<ub2>(attributep, sizep, static_cast<ub2>(static_cast<Env *>(target)->client.charsetId));
                break;
            case OCI_ATTR_NCHARSET_ID:
                put<ub2>(attributep, sizep, static_cast<ub2>(static_cast<Env *>(target)->client.ncharsetId));
                break;
            default:
                throw clientError(kIllegalAttribute);
            }
            return OCI_SUCCESS;
        default:
            throw clientError(kIllegalAttribute);
        }
    });
}

OCI8_API sword OCIAttrSet(void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 size, ub4 attrtype,
                          OCIError *errhp)
{
    auto *error = beginCall(errhp);
    auto *target = handleCast<Handle>(trgthndlp, trghndltyp);
    if (!target)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&]() -> sword {
        switch (trghndltyp) {
        case OCI_HTYPE_SVCCTX: {
            auto *svc = static_cast<SvcCtx *>(target);
            switch (attrtype) {
            case OCI_ATTR_SERVER:
                if (attributep && !handleCast<Server>(attributep, OCI_HTYPE_SERVER))
                    return OCI_INVALID_HANDLE;
                svc->server = static_cast<Server *>(static_cast<Handle *>(attributep));
                return OCI_SUCCESS;
            case OCI_ATTR_SESSION:
                if (attributep && !handleCast<Session>(attributep, OCI_HTYPE_SESSION))
                    return OCI_INVALID_HANDLE;
                svc->session = static_cast<Session *>(static_cast<Handle *>(attributep));
                return OCI_SUCCESS;
            case OCI_ATTR_TRANS:
            case OCI_ATTR_STMTCACHESIZE:
                return OCI_SUCCESS;
            }
            break;
        }
        case OCI_HTYPE_SESSION: {
            auto *session = static_cast<Session *>(target);
            switch (attrtype) {
            case OCI_ATTR_USERNAME:
                session->userName = attributeText(attributep, size);
                return OCI_SUCCESS;
            case OCI_ATTR_PASSWORD:
                session->password = attributeText(attributep, size);
                return OCI_SUCCESS;
            case OCI_ATTR_CLIENT_IDENTIFIER:
            case OCI_ATTR_MODULE:
            case OCI_ATTR_ACTION:
                return OCI_SUCCESS;
            }
            break;
        }
        case OCI_HTYPE_BIND: {
            auto *bind = static_cast<Bind *>(target);
            switch (attrtype) {
            case OCI_ATTR_CHARSET_FORM:
                bind->charsetForm = readAttribute<ub1>(attributep, size);
                return OCI_SUCCESS;
            case OCI_ATTR_MAXDATA_SIZE:
                return OCI_SUCCESS; // only a size hint for the server
            }
            break;
        }
        case OCI_HTYPE_STMT: {
            auto *stmt = static_cast<Stmt *>(target);
            switch (attrtype) {
            case OCI_ATTR_PREFETCH_ROWS:
                stmt->prefetchRows = readAttribute<ub4>(attributep, size);
                return OCI_SUCCESS;
            case OCI_ATTR_PREFETCH_MEMORY:
                stmt->prefetchMemory = readAttribute<ub4>(attributep, size);
                return OCI_SUCCESS;
            }
            break;
        }
        default:
            break;
        }
        throw clientError(kIllegalAttribute);
    });
}

OCI81_API ub2 OCINlsCharSetNameToId(void *envhp, const OraText *name)
{
    if (!handleCast<Env>(envhp, OCI_HTYPE_ENV) || !name)
        return 0;
    const devdb::Charset *c = devdb::findCharset(reinterpret_cast<const char *>(name));
    return c ? static_cast<ub2>(c->id) : 0;
}

OCI81_API sword OCINlsCharSetIdToName(void *envhp, OraText *buf, size_t buflen, ub2 id)
{
    if (!handleCast<Env>(envhp, OCI_HTYPE_ENV) || !buf)
        return OCI_INVALID_HANDLE;
    const devdb::Charset *c = devdb::findCharset(id);
    if (!c || std::strlen(c->name) >= buflen)
        return OCI_ERROR;
    std::memcpy(buf, c->name, std::strlen(c->name) + 1);
    return OCI_SUCCESS;
}

OCI8_API sword OCIBreak(void *hndlp, OCIError *errhp)
{
    auto *error = beginCall(errhp);
    if (!error ||
        !(handleCast<SvcCtx>(hndlp, OCI_HTYPE_SVCCTX) || handleCast<Server>(hndlp, OCI_HTYPE_SERVER)))
        return OCI_INVALID_HANDLE;
    return OCI_SUCCESS;
}

OCI81_API sword OCIPing(OCISvcCtx *svchp, OCIError *errhp, ub4)
{
    auto *error = beginCall(errhp);
    auto *svc = handleCast<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    if (!error || !svc)
        return OCI_INVALID_HANDLE;
    return guarded(error, [&] {
        activeSession(*svc).roundTrip();
        return OCI_SUCCESS;
    });
}

// Two entry points of the error extension group; programs bind them but this
// library has no use for them.
OCI8_API sword ociepgoe()
{
    return OCI_ERROR;
}
OCI8_API sword ociepmsg()
{
    return OCI_ERROR;
}
