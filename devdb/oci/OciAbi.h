#pragma once
// The C side of the development client library: Oracle Call Interface types,
// constants and data-area layouts for 64-bit Linux, declared here on their own
// (the program's binding declares its own copy, so the two check each other).

#include <cstddef>
#include <cstdint>

extern "C" {

typedef unsigned char ub1;
typedef signed char sb1;
typedef unsigned short ub2;
typedef signed short sb2;
typedef unsigned int ub4;
typedef signed int sb4;
typedef unsigned long long ub8;
typedef signed long long sb8;
typedef int sword;
typedef unsigned int uword;
typedef unsigned char OraText;
typedef int boolean;

struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIStmt;
struct OCIServer;
struct OCISession;
struct OCIDefine;
struct OCIBind;
struct OCIParam;
struct OCISnapshot;
struct OCILobLocator;

typedef sb4 (*OCICallbackDefine)(void *octxp, OCIDefine *defnp, ub4 iter, void **bufpp, ub4 **alenp,
                                 ub1 *piecep, void **indp, ub2 **rcodep);
typedef sb4 (*OCICallbackLobRead)(void *ctxp, const void *bufp, ub4 len, ub1 piece);
typedef sb4 (*OCICallbackLobRead2)(void *ctxp, const void *bufp, ub8 len, ub1 piece, void **changed_bufpp,
                                   ub8 *changed_lenp);
typedef void *(*OCIMallocFn)(void *ctxp, size_t size);
typedef void *(*OCIReallocFn)(void *ctxp, void *memptr, size_t newsize);
typedef void (*OCIFreeFn)(void *ctxp, void *memptr);

// The logon and cursor data area (struct cda_def) with the 64-bit server sizes.
struct cda_def {
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
    struct {
        struct {
            ub4 rcs4;
            ub2 rcs5;
            ub1 rcs6;
        } rd;
        ub4 rcs7;
        ub2 rcs8;
    } rid;
    sword ose;
    ub1 chk;
    void *rcsp;
    ub1 rcs9[88 - 56];
};
typedef struct cda_def Cda_Def;
typedef struct cda_def Lda_Def;
}

static_assert(sizeof(cda_def) == 88, "cursor data area must be 88 bytes on 64-bit Linux");
static_assert(offsetof(cda_def, rc) == 12 && offsetof(cda_def, peo) == 8 && offsetof(cda_def, rcsp) == 48,
              "cursor data area layout");

namespace devdb::oci
{

constexpr std::size_t kHostDataAreaSize = 512;

// Return codes.
constexpr sword OCI_SUCCESS = 0;
constexpr sword OCI_SUCCESS_WITH_INFO = 1;
constexpr sword OCI_NEED_DATA = 99;
constexpr sword OCI_NO_DATA = 100;
constexpr sword OCI_ERROR = -1;
constexpr sword OCI_INVALID_HANDLE = -2;
constexpr sword OCI_CONTINUE = -24200;

// Handle and descriptor types.
constexpr ub4 OCI_HTYPE_ENV = 1;
constexpr ub4 OCI_HTYPE_ERROR = 2;
constexpr ub4 OCI_HTYPE_SVCCTX = 3;
constexpr ub4 OCI_HTYPE_STMT = 4;
constexpr ub4 OCI_HTYPE_BIND = 5;
constexpr ub4 OCI_HTYPE_DEFINE = 6;
constexpr ub4 OCI_HTYPE_DESCRIBE = 7;
constexpr ub4 OCI_HTYPE_SERVER = 8;
constexpr ub4 OCI_HTYPE_SESSION = 9;
constexpr ub4 OCI_HTYPE_TRANS = 10;
constexpr ub4 OCI_DTYPE_LOB = 50;
constexpr ub4 OCI_DTYPE_SNAP = 51;
constexpr ub4 OCI_DTYPE_PARAM = 53;
constexpr ub4 OCI_DTYPE_ROWID = 54;
constexpr ub4 OCI_DTYPE_FILE = 56;

// Attributes.
constexpr ub4 OCI_ATTR_ENV = 5;
constexpr ub4 OCI_ATTR_SERVER = 6;
constexpr ub4 OCI_ATTR_SESSION = 7;
constexpr ub4 OCI_ATTR_TRANS = 8;
constexpr ub4 OCI_ATTR_ROW_COUNT = 9;
constexpr ub4 OCI_ATTR_MAXDATA_SIZE = 33;
constexpr ub4 OCI_ATTR_NUM_DML_ERRORS = 73;
constexpr ub4 OCI_ATTR_DML_ROW_OFFSET = 74;
constexpr ub4 OCI_ATTR_BIND_COUNT = 190;
constexpr ub4 OCI_ATTR_SQLFNCODE = 10;
constexpr ub4 OCI_ATTR_PREFETCH_ROWS = 11;
constexpr ub4 OCI_ATTR_PREFETCH_MEMORY = 13;
constexpr ub4 OCI_ATTR_PARAM_COUNT = 18;
constexpr ub4 OCI_ATTR_USERNAME = 22;
constexpr ub4 OCI_ATTR_PASSWORD = 23;
constexpr ub4 OCI_ATTR_STMT_TYPE = 24;
constexpr ub4 OCI_ATTR_CHARSET_ID = 31;
constexpr ub4 OCI_ATTR_CHARSET_FORM = 32;
constexpr ub4 OCI_ATTR_IN_V8_MODE = 44;
constexpr ub4 OCI_ATTR_PARSE_ERROR_OFFSET = 129;
constexpr ub4 OCI_ATTR_SERVER_STATUS = 143;
constexpr ub4 OCI_ATTR_STATEMENT = 144;
constexpr ub4 OCI_ATTR_STMTCACHESIZE = 176;
constexpr ub4 OCI_ATTR_ROWS_FETCHED = 197;
constexpr ub4 OCI_ATTR_NCHARSET_ID = 262;
constexpr ub4 OCI_ATTR_CLIENT_IDENTIFIER = 278;
constexpr ub4 OCI_ATTR_CHAR_USED = 285;
constexpr ub4 OCI_ATTR_CHAR_SIZE = 286;
constexpr ub4 OCI_ATTR_MODULE = 366;
constexpr ub4 OCI_ATTR_ACTION = 367;
constexpr ub4 OCI_ATTR_UB8_ROW_COUNT = 457;
// On a parameter descriptor.
constexpr ub4 OCI_ATTR_DATA_SIZE = 1;
constexpr ub4 OCI_ATTR_DATA_TYPE = 2;
constexpr ub4 OCI_ATTR_DISP_SIZE = 3;
constexpr ub4 OCI_ATTR_NAME = 4;
constexpr ub4 OCI_ATTR_PRECISION = 5;
constexpr ub4 OCI_ATTR_SCALE = 6;
constexpr ub4 OCI_ATTR_IS_NULL = 7;
constexpr ub4 OCI_ATTR_TYPE_NAME = 8;
constexpr ub4 OCI_ATTR_SCHEMA_NAME = 9;

// Modes.
constexpr ub4 OCI_DEFAULT = 0;
constexpr ub4 OCI_DESCRIBE_ONLY = 0x10;
constexpr ub4 OCI_COMMIT_ON_SUCCESS = 0x20;
constexpr ub4 OCI_BATCH_ERRORS = 0x80;
constexpr ub4 OCI_DATA_AT_EXEC = 2;
constexpr ub4 OCI_PARSE_ONLY = 0x100;
constexpr ub4 OCI_DYNAMIC_FETCH = 2;
constexpr ub4 OCI_CRED_RDBMS = 1;
constexpr ub4 OCI_CRED_EXT = 2;
constexpr ub4 OCI_SYSDBA = 0x2;
constexpr ub4 OCI_SYSOPER = 0x4;
constexpr ub4 OCI_AUTH = 0x8;
constexpr ub2 OCI_FETCH_CURRENT = 0x1;
constexpr ub2 OCI_FETCH_NEXT = 0x2;
constexpr ub1 OCI_ONE_PIECE = 0;
constexpr ub1 OCI_FIRST_PIECE = 1;
constexpr ub1 OCI_NEXT_PIECE = 2;
constexpr ub1 OCI_LAST_PIECE = 3;
constexpr ub4 OCI_NTV_SYNTAX = 1;

// External data types.
constexpr ub2 SQLT_CHR = 1;
constexpr ub2 SQLT_NUM = 2;
constexpr ub2 SQLT_INT = 3;
constexpr ub2 SQLT_FLT = 4;
constexpr ub2 SQLT_STR = 5;
constexpr ub2 SQLT_VNU = 6;
constexpr ub2 SQLT_LNG = 8;
constexpr ub2 SQLT_VCS = 9;
constexpr ub2 SQLT_DAT = 12;
constexpr ub2 SQLT_BIN = 23;
constexpr ub2 SQLT_LBI = 24;
constexpr ub2 SQLT_UIN = 68;
constexpr ub2 SQLT_LVC = 94;
constexpr ub2 SQLT_LVB = 95;
constexpr ub2 SQLT_AFC = 96;
constexpr ub2 SQLT_AVC = 97;
constexpr ub2 SQLT_BFLOAT = 21;
constexpr ub2 SQLT_BDOUBLE = 22;
constexpr ub2 SQLT_IBFLOAT = 100;
constexpr ub2 SQLT_IBDOUBLE = 101;
constexpr ub2 SQLT_RDD = 104;
constexpr ub2 SQLT_NTY = 108;
constexpr ub2 SQLT_REF = 110;
constexpr ub2 SQLT_CLOB = 112;
constexpr ub2 SQLT_BLOB = 113;
constexpr ub2 SQLT_BFILEE = 114;
constexpr ub2 SQLT_ODT = 156;
constexpr ub2 SQLT_TIMESTAMP = 187;
constexpr ub2 SQLT_TIMESTAMP_TZ = 188;
constexpr ub2 SQLT_INTERVAL_YM = 189;
constexpr ub2 SQLT_INTERVAL_DS = 190;
constexpr ub2 SQLT_TIMESTAMP_LTZ = 232;
constexpr ub1 SQLCS_IMPLICIT = 1;
constexpr ub1 SQLCS_NCHAR = 2;

// Statement types.
constexpr ub2 OCI_STMT_UNKNOWN = 0;
constexpr ub2 OCI_STMT_SELECT = 1;

constexpr ub2 kAL32UTF8 = 873;

} // namespace devdb::oci

// Export control: each group of entry points is visible only in the library
// variants that carry it (see CMakeLists.txt).
#define DEVDB_VISIBLE __attribute__((visibility("default")))
#define DEVDB_HIDDEN __attribute__((visibility("hidden")))

#if DEVDB_WITH_OCI7
#define OCI7_API extern "C" DEVDB_VISIBLE
#else
#define OCI7_API extern "C" DEVDB_HIDDEN
#endif

#if DEVDB_WITH_OCI8
#define OCI8_API extern "C" DEVDB_VISIBLE
#else
#define OCI8_API extern "C" DEVDB_HIDDEN
#endif

#if DEVDB_WITH_OCI81
#define OCI81_API extern "C" DEVDB_VISIBLE
#else
#define OCI81_API extern "C" DEVDB_HIDDEN
#endif

// The incomplete variant drops one name from each of the OCI7 and OCI8 groups.
#if DEVDB_DROP_ONE_EACH
#define OCI7_API_DROPPABLE extern "C" DEVDB_HIDDEN
#define OCI8_API_DROPPABLE extern "C" DEVDB_HIDDEN
#else
#define OCI7_API_DROPPABLE OCI7_API
#define OCI8_API_DROPPABLE OCI8_API
#endif
