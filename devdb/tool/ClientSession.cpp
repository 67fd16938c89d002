#include "devdb/tool/ClientSession.h"

#include "devdb/oci/OciAbi.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

using namespace devdb::oci;

namespace rowpour_devdb
{
namespace
{

std::string hex(const char *bytes, std::size_t size)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

} // namespace

struct ClientSession::Impl {
    void *library = nullptr;
    sword (*envCreate)(OCIEnv **, ub4, void *, OCIMallocFn, OCIReallocFn, OCIFreeFn, size_t, void **);
    sword (*handleAlloc)(const void *, void **, ub4, size_t, void **);
    sword (*handleFree)(void *, ub4);
    sword (*serverAttach)(OCIServer *, OCIError *, const OraText *, sb4, ub4);
    sword (*serverDetach)(OCIServer *, OCIError *, ub4);
    sword (*attrSet)(void *, ub4, void *, ub4, ub4, OCIError *);
    sword (*attrGet)(const void *, ub4, void *, ub4 *, ub4, OCIError *);
    sword (*sessionBegin)(OCISvcCtx *, OCIError *, OCISession *, ub4, ub4);
    sword (*sessionEnd)(OCISvcCtx *, OCIError *, OCISession *, ub4);
    sword (*errorGet)(void *, ub4, OraText *, sb4 *, OraText *, ub4, ub4);
    sword (*stmtPrepare)(OCIStmt *, OCIError *, const OraText *, ub4, ub4, ub4);
    sword (*stmtExecute)(OCISvcCtx *, OCIStmt *, OCIError *, ub4, ub4, const OCISnapshot *, OCISnapshot *,
                         ub4);
    sword (*stmtFetch)(OCIStmt *, OCIError *, ub4, ub2, ub4);
    sword (*defineByPos)(OCIStmt *, OCIDefine **, OCIError *, ub4, void *, sb4, ub2, void *, ub2 *, ub2 *,
                         ub4);
    sword (*paramGet)(const void *, ub4, OCIError *, void **, ub4);

    OCIEnv *env = nullptr;
    OCIError *error = nullptr;
    OCIServer *server = nullptr;
    OCISvcCtx *svc = nullptr;
    OCISession *session = nullptr;
    bool attached = false;
    bool begun = false;

    template <class F> void bind(F &slot, const char *name)
    {
        slot = reinterpret_cast<F>(dlsym(library, name));
        if (!slot)
            throw std::runtime_error(std::string("client library lacks ") + name);
    }

    std::string message()
    {
        char text[4096] = {0};
        sb4 code = 0;
        errorGet(error, 1, nullptr, &code, reinterpret_cast<OraText *>(text), sizeof text, OCI_HTYPE_ERROR);
        return text;
    }

    sword check(sword status)
    {
        if (status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO && status != OCI_NO_DATA)
            throw std::runtime_error(message());
        return status;
    }
};

ClientSession::ClientSession(const std::string &libraryPath) : impl_(std::make_unique<Impl>())
{
    auto &d = *impl_;
    d.library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!d.library)
        throw std::runtime_error(std::string("cannot load ") + libraryPath + ": " + dlerror());
    d.bind(d.envCreate, "OCIEnvCreate");
    d.bind(d.handleAlloc, "OCIHandleAlloc");
    d.bind(d.handleFree, "OCIHandleFree");
    d.bind(d.serverAttach, "OCIServerAttach");
    d.bind(d.serverDetach, "OCIServerDetach");
    d.bind(d.attrSet, "OCIAttrSet");
    d.bind(d.attrGet, "OCIAttrGet");
    d.bind(d.sessionBegin, "OCISessionBegin");
    d.bind(d.sessionEnd, "OCISessionEnd");
    d.bind(d.errorGet, "OCIErrorGet");
    d.bind(d.stmtPrepare, "OCIStmtPrepare");
    d.bind(d.stmtExecute, "OCIStmtExecute");
    d.bind(d.stmtFetch, "OCIStmtFetch");
    d.bind(d.defineByPos, "OCIDefineByPos");
    d.bind(d.paramGet, "OCIParamGet");
    if (d.envCreate(&d.env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr) != OCI_SUCCESS)
        throw std::runtime_error("OCIEnvCreate failed");
    d.handleAlloc(d.env, reinterpret_cast<void **>(&d.error), OCI_HTYPE_ERROR, 0, nullptr);
    d.handleAlloc(d.env, reinterpret_cast<void **>(&d.server), OCI_HTYPE_SERVER, 0, nullptr);
    d.handleAlloc(d.env, reinterpret_cast<void **>(&d.svc), OCI_HTYPE_SVCCTX, 0, nullptr);
    d.handleAlloc(d.env, reinterpret_cast<void **>(&d.session), OCI_HTYPE_SESSION, 0, nullptr);
}

ClientSession::~ClientSession()
{
    auto &d = *impl_;
    if (d.env)
        d.handleFree(d.env, OCI_HTYPE_ENV);
    // The library stays loaded: unloading a C++ library at exit gains nothing.
}

std::string ClientSession::logOn(const std::string &account, const std::string &database)
{
    auto &d = *impl_;
    std::string credentials = account;
    ub4 mode = OCI_DEFAULT;
    std::string upperAccount = credentials;
    std::transform(upperAccount.begin(), upperAccount.end(), upperAccount.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    if (auto as = upperAccount.find(" AS "); as != std::string::npos) {
        std::string privilege = upperAccount.substr(as + 4);
        mode = privilege.find("SYSDBA") != std::string::npos    ? OCI_SYSDBA
               : privilege.find("SYSOPER") != std::string::npos ? OCI_SYSOPER
                                                                : OCI_DEFAULT;
        credentials.resize(as);
    }
    auto slash = credentials.find('/');
    std::string user = credentials.substr(0, slash);
    std::string password = slash == std::string::npos ? std::string() : credentials.substr(slash + 1);
    d.check(d.serverAttach(d.server, d.error, reinterpret_cast<const OraText *>(database.data()),
                           static_cast<sb4>(database.size()), OCI_DEFAULT));
    d.attached = true;
    d.check(d.attrSet(d.svc, OCI_HTYPE_SVCCTX, d.server, 0, OCI_ATTR_SERVER, d.error));
    d.check(d.attrSet(d.svc, OCI_HTYPE_SVCCTX, d.session, 0, OCI_ATTR_SESSION, d.error));
    bool external = user.empty() && password.empty();
    if (!external) {
        d.check(d.attrSet(d.session, OCI_HTYPE_SESSION, user.data(), static_cast<ub4>(user.size()),
                          OCI_ATTR_USERNAME, d.error));
        d.check(d.attrSet(d.session, OCI_HTYPE_SESSION, password.data(), static_cast<ub4>(password.size()),
                          OCI_ATTR_PASSWORD, d.error));
    }
    sword status =
        d.check(d.sessionBegin(d.svc, d.error, d.session, external ? OCI_CRED_EXT : OCI_CRED_RDBMS, mode));
    d.begun = true;
    return status == OCI_SUCCESS_WITH_INFO ? d.message() : std::string();
}

std::vector<std::vector<std::string>> ClientSession::run(const std::string &sql)
{
    auto &d = *impl_;
    OCIStmt *stmt = nullptr;
    d.handleAlloc(d.env, reinterpret_cast<void **>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    struct Free {
        Impl &d;
        OCIStmt *stmt;
        ~Free() { d.handleFree(stmt, OCI_HTYPE_STMT); }
    } free{d, stmt};
    d.check(d.stmtPrepare(stmt, d.error, reinterpret_cast<const OraText *>(sql.data()),
                          static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT));
    ub2 type = 0;
    d.check(d.attrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, d.error));
    d.check(d.stmtExecute(d.svc, stmt, d.error, type == OCI_STMT_SELECT ? 0 : 1, 0, nullptr, nullptr,
                          OCI_DEFAULT));
    std::vector<std::vector<std::string>> rows;
    if (type != OCI_STMT_SELECT)
        return rows;
    ub4 count = 0;
    d.check(d.attrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, d.error));
    constexpr sb4 width = 4001;
    std::vector<std::vector<char>> buffers(count, std::vector<char>(width));
    std::vector<sb2> indicators(count);
    std::vector<ub2> lengths(count);
    // Every column as text, a BLOB as its bytes in hex; what has no text form is shown by its kind.
    std::vector<std::string> shownAs(count);
    std::vector<bool> binary(count);
    for (ub4 i = 0; i < count; ++i) {
        void *param = nullptr;
        d.check(d.paramGet(stmt, OCI_HTYPE_STMT, d.error, &param, i + 1));
        ub2 dataType = 0;
        OraText *typeName = nullptr;
        ub4 typeNameLength = 0;
        d.check(d.attrGet(param, OCI_DTYPE_PARAM, &dataType, nullptr, OCI_ATTR_DATA_TYPE, d.error));
        d.check(d.attrGet(param, OCI_DTYPE_PARAM, &typeName, &typeNameLength, OCI_ATTR_TYPE_NAME, d.error));
        std::string type(reinterpret_cast<const char *>(typeName), typeNameLength);
        if (dataType == SQLT_BFILEE || dataType == SQLT_REF || (dataType == SQLT_NTY && type != "XMLTYPE")) {
            shownAs[i] = dataType == SQLT_BFILEE ? "<BFILE>"
                         : dataType == SQLT_REF  ? "<REF " + type + ">"
                                                 : "<" + type + ">";
            continue;
        }
        binary[i] = dataType == SQLT_BLOB;
        OCIDefine *define = nullptr;
        d.check(d.defineByPos(stmt, &define, d.error, i + 1, buffers[i].data(), width,
                              binary[i] ? SQLT_BIN : SQLT_STR, &indicators[i], &lengths[i], nullptr,
                              OCI_DEFAULT));
    }
    while (d.check(d.stmtFetch(stmt, d.error, 1, OCI_FETCH_NEXT, OCI_DEFAULT)) != OCI_NO_DATA) {
        std::vector<std::string> row;
        for (ub4 i = 0; i < count; ++i) {
            if (!shownAs[i].empty())
                row.push_back(shownAs[i]);
            else if (indicators[i] == -1)
                row.emplace_back();
            else if (binary[i])
                row.push_back(hex(buffers[i].data(), lengths[i]));
            else
                row.emplace_back(buffers[i].data());
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void ClientSession::logOff()
{
    auto &d = *impl_;
    if (d.begun) {
        d.begun = false;
        d.check(d.sessionEnd(d.svc, d.error, d.session, OCI_DEFAULT));
    }
    if (d.attached) {
        d.attached = false;
        d.check(d.serverDetach(d.server, d.error, OCI_DEFAULT));
    }
}

} // namespace rowpour_devdb
