#pragma once
// A test client of the development client library, written the way any
// program uses an Oracle client: dlopen, dlsym and the published prototypes,
// declared here on their own so that the library's declarations are checked
// against them.

#include <dlfcn.h>

#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace ocitest
{

using ub1 = unsigned char;
using sb1 = signed char;
using ub2 = unsigned short;
using sb2 = short;
using ub4 = unsigned int;
using sb4 = int;
using sword = int;
using OraText = unsigned char;

// The cursor/logon data area of a 64-bit client.
struct CdaDef {
    sb2 v2_rc;
    ub2 ft;
    ub4 rpc;
    ub2 peo;
    ub1 fc;
    ub1 rcs1;
    ub2 rc;
    ub1 wrn;
    ub1 rcs2;
    sword rcs3;
    ub1 rid[16];
    sword ose;
    ub1 chk;
    void *rcsp;
    ub1 rcs9[32];
};
static_assert(sizeof(CdaDef) == 88);
static_assert(offsetof(CdaDef, rc) == 12 && offsetof(CdaDef, rpc) == 4 && offsetof(CdaDef, peo) == 8);

constexpr sword OCI_SUCCESS = 0, OCI_SUCCESS_WITH_INFO = 1, OCI_NO_DATA = 100, OCI_ERROR = -1,
                OCI_INVALID_HANDLE = -2, OCI_CONTINUE = -24200;
constexpr ub4 HTYPE_ENV = 1, HTYPE_ERROR = 2, HTYPE_SVCCTX = 3, HTYPE_STMT = 4, HTYPE_SERVER = 8,
              HTYPE_SESSION = 9, DTYPE_PARAM = 53, DTYPE_ROWID = 54;
constexpr ub4 ATTR_SERVER = 6, ATTR_SESSION = 7, ATTR_ROW_COUNT = 9, ATTR_SQLFNCODE = 10,
              ATTR_PREFETCH_ROWS = 11, ATTR_PREFETCH_MEMORY = 13, ATTR_PARAM_COUNT = 18, ATTR_USERNAME = 22,
              ATTR_PASSWORD = 23, ATTR_STMT_TYPE = 24, ATTR_PARSE_ERROR_OFFSET = 129, ATTR_ROWS_FETCHED = 197;
constexpr ub4 ATTR_DATA_SIZE = 1, ATTR_DATA_TYPE = 2, ATTR_NAME = 4, ATTR_PRECISION = 5, ATTR_SCALE = 6,
              ATTR_IS_NULL = 7, ATTR_TYPE_NAME = 8, ATTR_SCHEMA_NAME = 9, ATTR_CHARSET_ID = 31,
              ATTR_CHARSET_FORM = 32, ATTR_NCHARSET_ID = 262, ATTR_CHAR_USED = 285, ATTR_CHAR_SIZE = 286;
constexpr ub4 CRED_RDBMS = 1, CRED_EXT = 2, SYSDBA = 2, SYSOPER = 4, DYNAMIC_FETCH = 2,
              COMMIT_ON_SUCCESS = 0x20, DESCRIBE_ONLY = 0x10, BATCH_ERRORS = 0x80;
constexpr ub4 HTYPE_BIND = 5, ATTR_CHARSET_FORM_BIND = 32, ATTR_NUM_DML_ERRORS = 73, ATTR_DML_ROW_OFFSET = 74,
              ATTR_BIND_COUNT = 190;
constexpr ub2 SQLT_CHR = 1, SQLT_NUM = 2, SQLT_INT = 3, SQLT_FLT = 4, SQLT_STR = 5, SQLT_VNU = 6,
              SQLT_VCS = 9, SQLT_DAT = 12, SQLT_BFLOAT = 21, SQLT_BDOUBLE = 22, SQLT_BIN = 23, SQLT_UIN = 68,
              SQLT_AFC = 96, SQLT_AVC = 97, SQLT_ODT = 156;
constexpr ub2 FETCH_NEXT = 2;
constexpr ub1 FIRST_PIECE = 1, NEXT_PIECE = 2;

using DefineCallback = sb4 (*)(void *, void *, ub4, void **, ub4 **, ub1 *, void **, ub2 **);

// The entry points of one loaded library file.
struct Library {
    explicit Library(const std::string &path);
    ~Library();
    bool has(const char *name) const { return handle && dlsym(handle, name) != nullptr; }

    void *handle = nullptr;
    sword (*OCIEnvCreate)(void **, ub4, void *, void *, void *, void *, size_t, void **) = nullptr;
    sword (*OCIEnvInit)(void **, ub4, size_t, void **) = nullptr;
    sword (*OCIEnvNlsCreate)(void **, ub4, void *, void *, void *, void *, size_t, void **, ub2,
                             ub2) = nullptr;
    ub2 (*OCINlsCharSetNameToId)(void *, const OraText *) = nullptr;
    sword (*OCILobGetLength)(void *, void *, void *, ub4 *) = nullptr;
    sword (*OCILobGetLength2)(void *, void *, void *, unsigned long long *) = nullptr;
    sword (*OCILobRead)(void *, void *, void *, ub4 *, ub4, void *, ub4, void *, void *, ub2, ub1) = nullptr;
    sword (*OCILobRead2)(void *, void *, void *, unsigned long long *, unsigned long long *,
                         unsigned long long, void *, unsigned long long, ub1, void *, void *, ub2,
                         ub1) = nullptr;
    sword (*OCILobCharSetForm)(void *, void *, const void *, ub1 *) = nullptr;
    sword (*OCILobLocatorIsInit)(void *, void *, const void *, int *) = nullptr;
    sword (*OCILobFileGetName)(void *, void *, const void *, OraText *, ub2 *, OraText *, ub2 *) = nullptr;
    sword (*OCILobFileOpen)(void *, void *, void *, ub1) = nullptr;
    sword (*OCILogon2)(void *, void *, void **, const OraText *, ub4, const OraText *, ub4, const OraText *,
                       ub4, ub4) = nullptr;
    sword (*OCINlsCharSetIdToName)(void *, OraText *, size_t, ub2) = nullptr;
    sword (*OCIHandleAlloc)(const void *, void **, ub4, size_t, void **) = nullptr;
    sword (*OCIHandleFree)(void *, ub4) = nullptr;
    sword (*OCIDescriptorAlloc)(const void *, void **, ub4, size_t, void **) = nullptr;
    sword (*OCIDescriptorFree)(void *, ub4) = nullptr;
    sword (*OCIServerAttach)(void *, void *, const OraText *, sb4, ub4) = nullptr;
    sword (*OCIServerDetach)(void *, void *, ub4) = nullptr;
    sword (*OCISessionBegin)(void *, void *, void *, ub4, ub4) = nullptr;
    sword (*OCISessionEnd)(void *, void *, void *, ub4) = nullptr;
    sword (*OCILogon)(void *, void *, void **, const OraText *, ub4, const OraText *, ub4, const OraText *,
                      ub4) = nullptr;
    sword (*OCILogoff)(void *, void *) = nullptr;
    sword (*OCIPasswordChange)(void *, void *, const OraText *, ub4, const OraText *, ub4, const OraText *,
                               ub4, ub4) = nullptr;
    sword (*OCIServerVersion)(void *, void *, OraText *, ub4, ub1) = nullptr;
    sword (*OCIAttrSet)(void *, ub4, void *, ub4, ub4, void *) = nullptr;
    sword (*OCIAttrGet)(const void *, ub4, void *, ub4 *, ub4, void *) = nullptr;
    sword (*OCIErrorGet)(void *, ub4, OraText *, sb4 *, OraText *, ub4, ub4) = nullptr;
    sword (*OCIStmtPrepare)(void *, void *, const OraText *, ub4, ub4, ub4) = nullptr;
    sword (*OCIStmtExecute)(void *, void *, void *, ub4, ub4, const void *, void *, ub4) = nullptr;
    sword (*OCIStmtFetch)(void *, void *, ub4, ub2, ub4) = nullptr;
    sword (*OCIParamGet)(const void *, ub4, void *, void **, ub4) = nullptr;
    sword (*OCIDefineByPos)(void *, void **, void *, ub4, void *, sb4, ub2, void *, ub2 *, ub2 *,
                            ub4) = nullptr;
    sword (*OCIDefineDynamic)(void *, void *, void *, DefineCallback) = nullptr;
    sword (*OCITransCommit)(void *, void *, ub4) = nullptr;
    sword (*OCITransRollback)(void *, void *, ub4) = nullptr;
    sword (*OCISvcCtxToLda)(void *, void *, CdaDef *) = nullptr;
    sword (*OCILdaToSvcCtx)(void **, void *, CdaDef *) = nullptr;
    sword (*OCIBindByName)(void *, void **, void *, const OraText *, sb4, void *, sb4, ub2, void *, ub2 *,
                           ub2 *, ub4, ub4 *, ub4) = nullptr;
    sword (*OCIBindByPos)(void *, void **, void *, ub4, void *, sb4, ub2, void *, ub2 *, ub2 *, ub4, ub4 *,
                          ub4) = nullptr;
    sword (*OCIBindArrayOfStruct)(void *, void *, ub4, ub4, ub4, ub4) = nullptr;
    sword (*OCIStmtFetch2)(void *, void *, ub4, ub2, sb4, ub4) = nullptr;
    sword (*OCIPing)(void *, void *, ub4) = nullptr;
    sword (*olog)(CdaDef *, ub1 *, const OraText *, sword, const OraText *, sword, const OraText *, sword,
                  ub4) = nullptr;
    sword (*orlon)(CdaDef *, ub1 *, const OraText *, sword, const OraText *, sword, sword) = nullptr;
    sword (*ologof)(CdaDef *) = nullptr;
    sword (*oopen)(CdaDef *, CdaDef *, OraText *, sword, sword, OraText *, sword) = nullptr;
    sword (*oclose)(CdaDef *) = nullptr;
    sword (*oparse)(CdaDef *, const OraText *, sb4, sword, ub4) = nullptr;
    sword (*odescr)(CdaDef *, sword, sb4 *, sb2 *, sb1 *, sb4 *, sb4 *, sb2 *, sb2 *, sb2 *) = nullptr;
    sword (*odefin)(CdaDef *, sword, ub1 *, sword, sword, sword, sb2 *, OraText *, sword, sword, ub2 *,
                    ub2 *) = nullptr;
    sword (*oexec)(CdaDef *) = nullptr;
    sword (*oexn)(CdaDef *, sword, sword) = nullptr;
    sword (*oexfet)(CdaDef *, ub4, sword, sword) = nullptr;
    sword (*ofen)(CdaDef *, sword) = nullptr;
    sword (*oflng)(CdaDef *, sword, ub1 *, sb4, sword, ub4 *, sb4) = nullptr;
    sword (*oerhms)(CdaDef *, sb2, OraText *, sword) = nullptr;
    sword (*ocom)(CdaDef *) = nullptr;
    sword (*orol)(CdaDef *) = nullptr;
    sword (*ocon)(CdaDef *) = nullptr;
    sword (*ocof)(CdaDef *) = nullptr;
};

// The client library of the build's own Oracle home, loaded once.
Library &buildLibrary();
std::string buildHome();

// A fresh Oracle home in a temporary directory with one database, DB
// (TNS_ADMIN points at it while the object lives).
class TempHome
{
public:
    explicit TempHome(const std::string &version = {}, const std::string &characterSet = {});
    std::string path() const { return dir_.path().toStdString(); }
    // Runs statements through rowpour-devdb sql; returns its exit code, output in *out.
    int sql(const std::string &account, const std::string &statements, std::string *out = nullptr,
            const std::string &alias = "DB") const;
    // Runs the tool with arguments; returns its exit code.
    static int tool(const std::vector<std::string> &args, const std::string &input = {},
                    std::string *out = nullptr);

private:
    QTemporaryDir dir_;
};

// Sets environment variables (an empty value unsets one) and restores them.
class ScopedEnvironment
{
public:
    ScopedEnvironment(std::initializer_list<std::pair<const char *, std::string>> values);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

struct ErrorInfo {
    int code = 0;
    std::string text;
};

// One OCI8 connection with the usual handles.
class Connection
{
public:
    explicit Connection(Library &lib = buildLibrary());
    ~Connection();

    // Attach and begin; returns the status of the failing or last call.
    sword logOn(const std::string &user, const std::string &password, const std::string &database = "DB",
                ub4 mode = 0, ub4 credentials = CRED_RDBMS);
    sword logOff();
    ErrorInfo error() const;
    // Prepares and executes (non-select: one iteration); returns the status.
    sword execute(const std::string &sql, ub4 mode = 0);
    // Runs a select, all columns fetched as text; NULL as "<null>".
    std::vector<std::vector<std::string>> query(const std::string &sql);

    Library &lib;
    void *env = nullptr, *err = nullptr, *server = nullptr, *svc = nullptr, *session = nullptr,
         *stmt = nullptr;
};

} // namespace ocitest
