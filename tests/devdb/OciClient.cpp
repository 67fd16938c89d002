#include "OciClient.h"

#include "HomeTemplate.h"

#include <QByteArray>
#include <QProcess>

#include <cstdlib>
#include <stdexcept>

namespace ocitest
{

namespace
{

template <class F> void bind(void *handle, F &slot, const char *name)
{
    slot = reinterpret_cast<F>(dlsym(handle, name));
}

} // namespace

Library::Library(const std::string &path)
{
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        throw std::runtime_error(dlerror());
#define BIND(name) bind(handle, name, #name)
    BIND(OCIEnvCreate);
    BIND(OCIEnvInit);
    BIND(OCIEnvNlsCreate);
    BIND(OCINlsCharSetNameToId);
    BIND(OCINlsCharSetIdToName);
    BIND(OCILobGetLength);
    BIND(OCILobGetLength2);
    BIND(OCILobRead);
    BIND(OCILobRead2);
    BIND(OCILobCharSetForm);
    BIND(OCILobLocatorIsInit);
    BIND(OCILobFileGetName);
    BIND(OCILobFileOpen);
    BIND(OCILogon2);
    BIND(OCIHandleAlloc);
    BIND(OCIHandleFree);
    BIND(OCIDescriptorAlloc);
    BIND(OCIDescriptorFree);
    BIND(OCIServerAttach);
    BIND(OCIServerDetach);
    BIND(OCISessionBegin);
    BIND(OCISessionEnd);
    BIND(OCILogon);
    BIND(OCILogoff);
    BIND(OCIPasswordChange);
    BIND(OCIServerVersion);
    BIND(OCIAttrSet);
    BIND(OCIAttrGet);
    BIND(OCIErrorGet);
    BIND(OCIStmtPrepare);
    BIND(OCIStmtExecute);
    BIND(OCIStmtFetch);
    BIND(OCIParamGet);
    BIND(OCIDefineByPos);
    BIND(OCIDefineDynamic);
    BIND(OCITransCommit);
    BIND(OCITransRollback);
    BIND(OCISvcCtxToLda);
    BIND(OCILdaToSvcCtx);
    BIND(OCIBindByName);
    BIND(OCIBindByPos);
    BIND(OCIBindArrayOfStruct);
    BIND(OCIStmtFetch2);
    BIND(OCIPing);
    BIND(olog);
    BIND(orlon);
    BIND(ologof);
    BIND(oopen);
    BIND(oclose);
    BIND(oparse);
    BIND(odescr);
    BIND(odefin);
    BIND(oexec);
    BIND(oexn);
    BIND(oexfet);
    BIND(ofen);
    BIND(oflng);
    BIND(oerhms);
    BIND(ocom);
    BIND(orol);
    BIND(ocon);
    BIND(ocof);
#undef BIND
}

Library::~Library() = default; // stays loaded: the process may still hold its handles

std::string buildHome()
{
    const char *build = std::getenv("ROWPOUR_BUILD_DIR");
    return build ? std::string(build) + "/devdb/home" : std::string(DEVDB_BUILD_HOME);
}

Library &buildLibrary()
{
    static Library library(buildHome() + "/lib/libclntsh.so");
    return library;
}

int TempHome::tool(const std::vector<std::string> &args, const std::string &input, std::string *out)
{
    QProcess process;
    QStringList list;
    for (const auto &a : args)
        list << QString::fromStdString(a);
    process.start(QString::fromStdString(buildHome() + "/bin/rowpour-devdb"), list);
    process.write(QByteArray::fromStdString(input));
    process.closeWriteChannel();
    process.waitForFinished(60000);
    if (out)
        *out = process.readAllStandardOutput().toStdString() + process.readAllStandardError().toStdString();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

TempHome::TempHome(const std::string &version, const std::string &characterSet)
{
    const QString key = QString::fromStdString(version + '\n' + characterSet);
    rowpour::testing::copyHomeTemplate(key, dir_.path(), [&](const QString &home) {
        if (tool({"home", home.toStdString()}) != 0)
            throw std::runtime_error("rowpour-devdb home failed");
        std::vector<std::string> args{"database", home.toStdString(), "DB"};
        if (!version.empty()) {
            args.push_back("--version");
            args.push_back(version);
        }
        if (!characterSet.empty()) {
            args.push_back("--charset");
            args.push_back(characterSet);
        }
        if (tool(args) != 0)
            throw std::runtime_error("rowpour-devdb database failed");
    });
    setenv("TNS_ADMIN", (path() + "/network/admin").c_str(), 1);
}

int TempHome::sql(const std::string &account, const std::string &statements, std::string *out,
                  const std::string &alias) const
{
    return tool({"sql", path(), alias, account}, statements, out);
}

ScopedEnvironment::ScopedEnvironment(std::initializer_list<std::pair<const char *, std::string>> values)
{
    for (const auto &[name, value] : values) {
        const char *old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value.empty())
            unsetenv(name);
        else
            setenv(name, value.c_str(), 1);
    }
}

ScopedEnvironment::~ScopedEnvironment()
{
    for (const auto &[name, value] : saved_) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
}

Connection::Connection(Library &library) : lib(library)
{
    if (lib.OCIEnvCreate)
        lib.OCIEnvCreate(&env, 0, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    else
        lib.OCIEnvInit(&env, 8, 0, nullptr);
    lib.OCIHandleAlloc(env, &err, HTYPE_ERROR, 0, nullptr);
    lib.OCIHandleAlloc(env, &server, HTYPE_SERVER, 0, nullptr);
    lib.OCIHandleAlloc(env, &svc, HTYPE_SVCCTX, 0, nullptr);
    lib.OCIHandleAlloc(env, &session, HTYPE_SESSION, 0, nullptr);
    lib.OCIHandleAlloc(env, &stmt, HTYPE_STMT, 0, nullptr);
}

Connection::~Connection()
{
    if (env)
        lib.OCIHandleFree(env, HTYPE_ENV);
}

sword Connection::logOn(const std::string &user, const std::string &password, const std::string &database,
                        ub4 mode, ub4 credentials)
{
    sword rc = lib.OCIServerAttach(server, err, reinterpret_cast<const OraText *>(database.data()),
                                   static_cast<sb4>(database.size()), 0);
    if (rc != OCI_SUCCESS)
        return rc;
    lib.OCIAttrSet(svc, HTYPE_SVCCTX, server, 0, ATTR_SERVER, err);
    lib.OCIAttrSet(svc, HTYPE_SVCCTX, session, 0, ATTR_SESSION, err);
    lib.OCIAttrSet(session, HTYPE_SESSION, const_cast<char *>(user.data()), static_cast<ub4>(user.size()),
                   ATTR_USERNAME, err);
    lib.OCIAttrSet(session, HTYPE_SESSION, const_cast<char *>(password.data()),
                   static_cast<ub4>(password.size()), ATTR_PASSWORD, err);
    return lib.OCISessionBegin(svc, err, session, credentials, mode);
}

sword Connection::logOff()
{
    sword rc = lib.OCISessionEnd(svc, err, session, 0);
    lib.OCIServerDetach(server, err, 0);
    return rc;
}

ErrorInfo Connection::error() const
{
    ErrorInfo info;
    char text[4096] = {0};
    lib.OCIErrorGet(err, 1, nullptr, &info.code, reinterpret_cast<OraText *>(text), sizeof text, HTYPE_ERROR);
    info.text = text;
    return info;
}

sword Connection::execute(const std::string &sql, ub4 mode)
{
    sword rc = lib.OCIStmtPrepare(stmt, err, reinterpret_cast<const OraText *>(sql.data()),
                                  static_cast<ub4>(sql.size()), 1, 0);
    if (rc != OCI_SUCCESS)
        return rc;
    ub2 type = 0;
    lib.OCIAttrGet(stmt, HTYPE_STMT, &type, nullptr, ATTR_STMT_TYPE, err);
    return lib.OCIStmtExecute(svc, stmt, err, type == 1 ? 0 : 1, 0, nullptr, nullptr, mode);
}

std::vector<std::vector<std::string>> Connection::query(const std::string &sql)
{
    // A fresh statement handle: the defines of an earlier query stay with the old one.
    lib.OCIHandleFree(stmt, HTYPE_STMT);
    lib.OCIHandleAlloc(env, &stmt, HTYPE_STMT, 0, nullptr);
    std::vector<std::vector<std::string>> rows;
    if (execute(sql) != OCI_SUCCESS)
        throw std::runtime_error(error().text);
    ub4 count = 0;
    lib.OCIAttrGet(stmt, HTYPE_STMT, &count, nullptr, ATTR_PARAM_COUNT, err);
    std::vector<std::vector<char>> buffers(count, std::vector<char>(4001));
    std::vector<sb2> indicators(count);
    for (ub4 i = 0; i < count; ++i) {
        void *define = nullptr;
        lib.OCIDefineByPos(stmt, &define, err, i + 1, buffers[i].data(), 4001, 5, &indicators[i], nullptr,
                           nullptr, 0);
    }
    for (;;) {
        sword rc = lib.OCIStmtFetch(stmt, err, 1, FETCH_NEXT, 0);
        if (rc == OCI_NO_DATA)
            break;
        if (rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO)
            throw std::runtime_error(error().text);
        std::vector<std::string> row;
        for (ub4 i = 0; i < count; ++i)
            row.emplace_back(indicators[i] == -1 ? "<null>" : buffers[i].data());
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace ocitest
