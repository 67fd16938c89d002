#pragma once
// The C interface of the Oracle client library (OCI), declared once for the
// whole Oracle access layer: scalar types, opaque handles, the OCI7 data
// areas, the constants this program uses, one function-pointer type per
// entry point, and the entry-point groups in their binding order.
//
// Nothing here is linked: the library is loaded at run time and every entry
// point is looked up by name (OracleCI). Sizes follow 64-bit Linux (LP64).

#include <cstddef>
#include <cstdint>

namespace rowpour::oracle::oci
{

// Scalar types.
using ub1 = unsigned char;
using sb1 = signed char;
using ub2 = unsigned short;
using sb2 = signed short;
using ub4 = unsigned int;
using sb4 = signed int;
using ub8 = unsigned long long;
using sb8 = signed long long;
using uword = unsigned int;
using sword = signed int;
using OraText = unsigned char;
using OCIInd = sb2;

static_assert(sizeof(ub4) == 4 && sizeof(sword) == 4 && sizeof(ub8) == 8);

// Opaque handles and descriptors.
struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIStmt;
struct OCIBind;
struct OCIDefine;
struct OCIDescribe;
struct OCIServer;
struct OCISession;
struct OCIParam;
struct OCISnapshot;
struct OCILobLocator;

// The OCI7 logon and cursor data area (struct cda_def). 88 bytes on 64-bit
// Linux, where Oracle's own builds define SS_64BIT_SERVER.
struct cda_def {
    sb2 v2_rc; // V2 return code
    ub2 ft;    // SQL function type
    ub4 rpc;   // rows processed count
    ub2 peo;   // parse error offset
    ub1 fc;    // OCI function code
    ub1 rcs1;
    ub2 rc;  // V7 return code: the Oracle error number
    ub1 wrn; // warning flags
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
using Cda_Def = cda_def;
using Lda_Def = cda_def;

constexpr std::size_t CDA_SIZE = 88;
constexpr std::size_t HDA_SIZE = 512;
static_assert(sizeof(cda_def) == CDA_SIZE, "the OCI7 data area must be 88 bytes");
static_assert(offsetof(cda_def, rc) == 12 && offsetof(cda_def, rcsp) == 48);

// Host data area of an OCI7 logon; 8-byte aligned.
struct alignas(8) HostDataArea {
    ub1 bytes[HDA_SIZE];
};

// Return codes.
constexpr sword OCI_SUCCESS = 0;
constexpr sword OCI_SUCCESS_WITH_INFO = 1;
constexpr sword OCI_NEED_DATA = 99;
constexpr sword OCI_NO_DATA = 100;
constexpr sword OCI_ERROR = -1;
constexpr sword OCI_INVALID_HANDLE = -2;
constexpr sword OCI_STILL_EXECUTING = -3123;
constexpr sword OCI_CONTINUE = -24200;

// Handle types.
constexpr ub4 OCI_HTYPE_ENV = 1;
constexpr ub4 OCI_HTYPE_ERROR = 2;
constexpr ub4 OCI_HTYPE_SVCCTX = 3;
constexpr ub4 OCI_HTYPE_STMT = 4;
constexpr ub4 OCI_HTYPE_BIND = 5;
constexpr ub4 OCI_HTYPE_DEFINE = 6;
constexpr ub4 OCI_HTYPE_DESCRIBE = 7;
constexpr ub4 OCI_HTYPE_SERVER = 8;
constexpr ub4 OCI_HTYPE_SESSION = 9;

// Descriptor types.
constexpr ub4 OCI_DTYPE_LOB = 50;
constexpr ub4 OCI_DTYPE_RSET = 52;
constexpr ub4 OCI_DTYPE_PARAM = 53;
constexpr ub4 OCI_DTYPE_ROWID = 54;
constexpr ub4 OCI_DTYPE_FILE = 56;

// Handle attributes.
constexpr ub4 OCI_ATTR_SERVER = 6;
constexpr ub4 OCI_ATTR_SESSION = 7;
constexpr ub4 OCI_ATTR_ROW_COUNT = 9;
constexpr ub4 OCI_ATTR_SQLFNCODE = 10;
constexpr ub4 OCI_ATTR_PREFETCH_ROWS = 11;
constexpr ub4 OCI_ATTR_PREFETCH_MEMORY = 13;
constexpr ub4 OCI_ATTR_PARAM_COUNT = 18;
constexpr ub4 OCI_ATTR_USERNAME = 22;
constexpr ub4 OCI_ATTR_PASSWORD = 23;
constexpr ub4 OCI_ATTR_STMT_TYPE = 24;
constexpr ub4 OCI_ATTR_CHARSET_ID = 31;
constexpr ub4 OCI_ATTR_IN_V8_MODE = 44;
constexpr ub4 OCI_ATTR_PARSE_ERROR_OFFSET = 129;
constexpr ub4 OCI_ATTR_ENV_CHARSET_ID = 31;   // on the environment handle
constexpr ub4 OCI_ATTR_ENV_NCHARSET_ID = 262; // on the environment handle

// Parameter-descriptor attributes.
constexpr ub4 OCI_ATTR_DATA_SIZE = 1;
constexpr ub4 OCI_ATTR_DATA_TYPE = 2;
constexpr ub4 OCI_ATTR_DISP_SIZE = 3;
constexpr ub4 OCI_ATTR_NAME = 4;
constexpr ub4 OCI_ATTR_PRECISION = 5;
constexpr ub4 OCI_ATTR_SCALE = 6;
constexpr ub4 OCI_ATTR_IS_NULL = 7;
constexpr ub4 OCI_ATTR_TYPE_NAME = 8;
constexpr ub4 OCI_ATTR_SCHEMA_NAME = 9;
constexpr ub4 OCI_ATTR_CHARSET_FORM = 32;
constexpr ub4 OCI_ATTR_CHAR_SIZE = 286;
// Array DML with batch errors: the failures of a statement handle, and the
// failed row of one error record.
constexpr ub4 OCI_ATTR_NUM_DML_ERRORS = 73;
constexpr ub4 OCI_ATTR_DML_ROW_OFFSET = 74;

// Character sets and forms.
constexpr ub2 OCI_AL32UTF8_ID = 873;
constexpr ub1 SQLCS_IMPLICIT = 1;
constexpr ub1 SQLCS_NCHAR = 2;

// LOB and BFILE access.
constexpr ub1 OCI_FILE_READONLY = 1;

// Environment and initialisation modes.
constexpr ub4 OCI_DEFAULT = 0x0;
constexpr ub4 OCI_THREADED = 0x1;
constexpr ub4 OCI_OBJECT = 0x2;
constexpr ub4 OCI_ENV_NO_UCB = 0x01;   // OCIEnvInit only
constexpr ub4 OCI_ENV_NO_MUTEX = 0x08; // OCIEnvInit only

// Statement preparation and execution.
constexpr ub4 OCI_NTV_SYNTAX = 1;
constexpr ub4 OCI_V7_SYNTAX = 2;
constexpr ub4 OCI_V8_SYNTAX = 3;
constexpr ub4 OCI_BATCH_MODE = 0x1;
constexpr ub4 OCI_EXACT_FETCH = 0x2;
constexpr ub4 OCI_DESCRIBE_ONLY = 0x10;
constexpr ub4 OCI_COMMIT_ON_SUCCESS = 0x20;
constexpr ub4 OCI_BATCH_ERRORS = 0x80;
constexpr ub4 OCI_PARSE_ONLY = 0x100;
constexpr ub2 OCI_FETCH_NEXT = 0x2;
constexpr ub4 OCI_DATA_AT_EXEC = 2;
constexpr ub4 OCI_DYNAMIC_FETCH = 2;

// Credentials and session modes.
constexpr ub4 OCI_CRED_RDBMS = 1;
constexpr ub4 OCI_CRED_EXT = 2;
constexpr ub4 OCI_SYSDBA = 0x2;
constexpr ub4 OCI_SYSOPER = 0x4;
constexpr ub4 OCI_AUTH = 0x8;

// Pieces of piecewise operations.
constexpr ub1 OCI_ONE_PIECE = 0;
constexpr ub1 OCI_FIRST_PIECE = 1;
constexpr ub1 OCI_NEXT_PIECE = 2;
constexpr ub1 OCI_LAST_PIECE = 3;

// Statement types (OCI_ATTR_STMT_TYPE).
constexpr ub2 OCI_STMT_SELECT = 1;
constexpr ub2 OCI_STMT_UPDATE = 2;
constexpr ub2 OCI_STMT_DELETE = 3;
constexpr ub2 OCI_STMT_INSERT = 4;
constexpr ub2 OCI_STMT_BEGIN = 8;
constexpr ub2 OCI_STMT_DECLARE = 9;

// Indicators.
constexpr OCIInd OCI_IND_NOTNULL = 0;
constexpr OCIInd OCI_IND_NULL = -1;

// Data type codes.
constexpr ub2 SQLT_CHR = 1;
constexpr ub2 SQLT_NUM = 2;
constexpr ub2 SQLT_INT = 3;
constexpr ub2 SQLT_FLT = 4;
constexpr ub2 SQLT_STR = 5;
constexpr ub2 SQLT_VNU = 6;
constexpr ub2 SQLT_LNG = 8;
constexpr ub2 SQLT_VCS = 9;
constexpr ub2 SQLT_RID = 11;
constexpr ub2 SQLT_DAT = 12;
constexpr ub2 SQLT_BIN = 23;
constexpr ub2 SQLT_LBI = 24;
constexpr ub2 SQLT_UIN = 68;
constexpr ub2 SQLT_LVC = 94;
constexpr ub2 SQLT_LVB = 95;
constexpr ub2 SQLT_AFC = 96;
constexpr ub2 SQLT_AVC = 97;
constexpr ub2 SQLT_CUR = 102;
constexpr ub2 SQLT_RDD = 104;
constexpr ub2 SQLT_LAB = 105;
constexpr ub2 SQLT_OSL = 106;
constexpr ub2 SQLT_NTY = 108;
constexpr ub2 SQLT_REF = 110;
constexpr ub2 SQLT_CLOB = 112;
constexpr ub2 SQLT_BLOB = 113;
constexpr ub2 SQLT_BFILEE = 114;
constexpr ub2 SQLT_CFILEE = 115;
constexpr ub2 SQLT_RSET = 116;
constexpr ub2 SQLT_BFLOAT = 21;
constexpr ub2 SQLT_BDOUBLE = 22;
constexpr ub2 SQLT_IBFLOAT = 100;
constexpr ub2 SQLT_IBDOUBLE = 101;
constexpr ub2 SQLT_ODT = 156;
constexpr ub2 SQLT_DATE = 184;
constexpr ub2 SQLT_TIMESTAMP = 187;
constexpr ub2 SQLT_TIMESTAMP_TZ = 188;
constexpr ub2 SQLT_INTERVAL_YM = 189;
constexpr ub2 SQLT_INTERVAL_DS = 190;
constexpr ub2 SQLT_TIMESTAMP_LTZ = 232;
// Codes of the server's internal types, which some clients report from a
// describe instead of the external codes above.
constexpr ub2 INTERNAL_ROWID = 69;
constexpr ub2 INTERNAL_TIMESTAMP = 180;
constexpr ub2 INTERNAL_TIMESTAMP_TZ = 181;
constexpr ub2 INTERNAL_INTERVAL_YM = 182;
constexpr ub2 INTERNAL_INTERVAL_DS = 183;
constexpr ub2 INTERNAL_UROWID = 208;
constexpr ub2 INTERNAL_TIMESTAMP_LTZ = 231;

// OCI7 constants.
constexpr ub4 OCI_LM_DEF = 0; // olog: blocking logon
constexpr ub4 OCI_EV_DEF = 0; // opinit: default (no threads)
constexpr sword OCI7_DEFER_PARSE = 1;
constexpr ub4 OCI7_NATIVE = 1;
constexpr ub4 OCI7_VERSION_7 = 2;

// Oracle error numbers the layer itself looks at.
constexpr int ORA_NO_DATA_FOUND = 1403;
constexpr int ORA_VARIABLE_NOT_IN_SELECT_LIST = 1007;
constexpr int ORA_PASSWORD_EXPIRED = 28001;
constexpr int ORA_PASSWORD_WILL_EXPIRE = 28002;
constexpr int ORA_FETCHED_VALUE_TRUNCATED = 1406;
constexpr int ORA_TRUNCATION_OR_NULL_FETCH = 24345;

// Callback types.
using OCIMallocFn = void *(void *ctxp, std::size_t size);
using OCIReallocFn = void *(void *ctxp, void *memptr, std::size_t newsize);
using OCIFreeFn = void(void *ctxp, void *memptr);
using OCICallbackLobRead = sb4 (*)(void *ctxp, const void *bufp, ub4 len, ub1 piece);
using OCICallbackDefine = sb4 (*)(void *octxp, OCIDefine *defnp, ub4 iter, void **bufpp, ub4 **alenp,
                                  ub1 *piecep, void **indp, ub2 **rcodep);

// Function types of the entry points this program calls (the real prototypes).
extern "C" {
// OCI7 call set.
using orlon_fn = sword(Lda_Def *lda, ub1 *hda, OraText *uid, sword uidl, OraText *pswd, sword pswdl,
                       sword audit);
using olog_fn = sword(Lda_Def *lda, ub1 *hda, OraText *uid, sword uidl, OraText *pswd, sword pswdl,
                      OraText *conn, sword connl, ub4 mode);
using ologof_fn = sword(Lda_Def *lda);
using oerhms_fn = sword(Lda_Def *lda, sb2 rcode, OraText *buf, sword bufsiz);
using oopen_fn = sword(Cda_Def *cursor, Lda_Def *lda, OraText *dbn, sword dbnl, sword arsize, OraText *uid,
                       sword uidl);
using oparse_fn = sword(Cda_Def *cursor, OraText *sqlstm, sb4 sqllen, sword defflg, ub4 lngflg);
using odefin_fn = sword(Cda_Def *cursor, sword pos, ub1 *buf, sword bufl, sword ftype, sword scale, sb2 *indp,
                        OraText *fmt, sword fmtl, sword fmtt, ub2 *rlen, ub2 *rcode);
using oexfet_fn = sword(Cda_Def *cursor, ub4 nrows, sword cancel, sword exact);
using ofen_fn = sword(Cda_Def *cursor, sword nrows);
using oflng_fn = sword(Cda_Def *cursor, sword pos, ub1 *buf, sb4 bufl, sword dtype, ub4 *retl, sb4 offset);
using oclose_fn = sword(Cda_Def *cursor);
using odescr_fn = sword(Cda_Def *cursor, sword pos, sb4 *dbsize, sb2 *dbtype, sb1 *cbuf, sb4 *cbufl,
                        sb4 *dsize, sb2 *prec, sb2 *scale, sb2 *nullok);
using oexec_fn = sword(Cda_Def *cursor);
using oexn_fn = sword(Cda_Def *cursor, sword iters, sword rowoff);
using ocom_fn = sword(Lda_Def *lda);
using orol_fn = sword(Lda_Def *lda);
using ocon_fn = sword(Lda_Def *lda);
using ocof_fn = sword(Lda_Def *lda);
using obreak_fn = sword(Lda_Def *lda);
using obndra_fn = sword(Cda_Def *cursor, OraText *sqlvar, sword sqlvl, ub1 *progv, sword progvl, sword ftype,
                        sword scale, sb2 *indp, ub2 *alen, ub2 *arcode, ub4 maxsiz, ub4 *cursiz, OraText *fmt,
                        sword fmtl, sword fmtt);
using odessp_fn = sword(Cda_Def *cursor, OraText *objnam, std::size_t onlen, ub1 *rsv1, std::size_t rsv1ln,
                        ub1 *rsv2, std::size_t rsv2ln, ub2 *ovrld, ub2 *pos, ub2 *level, OraText **argnam,
                        ub2 *arnlen, ub2 *dtype, ub1 *defsup, ub1 *mode, ub4 *dtsiz, sb2 *prec, sb2 *scale,
                        ub1 *radix, ub4 *spare, ub4 *arrsiz);
using opinit_fn = sword(ub4 mode);

// OCI8 call set.
using OCIEnvCreate_fn = sword(OCIEnv **envp, ub4 mode, void *ctxp, OCIMallocFn *malocfp,
                              OCIReallocFn *ralocfp, OCIFreeFn *mfreefp, std::size_t xtramem_sz,
                              void **usrmempp);
using OCIEnvNlsCreate_fn = sword(OCIEnv **envp, ub4 mode, void *ctxp, OCIMallocFn *malocfp,
                                 OCIReallocFn *ralocfp, OCIFreeFn *mfreefp, std::size_t xtramem_sz,
                                 void **usrmempp, ub2 charset, ub2 ncharset);
using OCIEnvInit_fn = sword(OCIEnv **envp, ub4 mode, std::size_t xtramem_sz, void **usrmempp);
using OCIInitialize_fn = sword(ub4 mode, void *ctxp, OCIMallocFn *malocfp, OCIReallocFn *ralocfp,
                               OCIFreeFn *mfreefp);
using OCIHandleAlloc_fn = sword(const void *parenth, void **hndlpp, ub4 type, std::size_t xtramem_sz,
                                void **usrmempp);
using OCIHandleFree_fn = sword(void *hndlp, ub4 type);
using OCIDescriptorAlloc_fn = sword(const void *parenth, void **descpp, ub4 type, std::size_t xtramem_sz,
                                    void **usrmempp);
using OCIDescriptorFree_fn = sword(void *descp, ub4 type);
using OCIServerAttach_fn = sword(OCIServer *srvhp, OCIError *errhp, const OraText *dblink, sb4 dblink_len,
                                 ub4 mode);
using OCIServerDetach_fn = sword(OCIServer *srvhp, OCIError *errhp, ub4 mode);
using OCISessionBegin_fn = sword(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 credt, ub4 mode);
using OCISessionEnd_fn = sword(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 mode);
using OCILogon_fn = sword(OCIEnv *envhp, OCIError *errhp, OCISvcCtx **svchp, const OraText *username,
                          ub4 uname_len, const OraText *password, ub4 passwd_len, const OraText *dbname,
                          ub4 dbname_len);
using OCILogoff_fn = sword(OCISvcCtx *svchp, OCIError *errhp);
using OCIPasswordChange_fn = sword(OCISvcCtx *svchp, OCIError *errhp, const OraText *user_name,
                                   ub4 usernm_len, const OraText *opasswd, ub4 opasswd_len,
                                   const OraText *npasswd, ub4 npasswd_len, ub4 mode);
using OCIStmtPrepare_fn = sword(OCIStmt *stmtp, OCIError *errhp, const OraText *stmt, ub4 stmt_len,
                                ub4 language, ub4 mode);
using OCIBindByPos_fn = sword(OCIStmt *stmtp, OCIBind **bindp, OCIError *errhp, ub4 position, void *valuep,
                              sb4 value_sz, ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep, ub4 maxarr_len,
                              ub4 *curelep, ub4 mode);
using OCIBindByName_fn = sword(OCIStmt *stmtp, OCIBind **bindp, OCIError *errhp, const OraText *placeholder,
                               sb4 placeh_len, void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *alenp,
                               ub2 *rcodep, ub4 maxarr_len, ub4 *curelep, ub4 mode);
using OCIStmtGetPieceInfo_fn = sword(OCIStmt *stmtp, OCIError *errhp, void **hndlpp, ub4 *typep, ub1 *in_outp,
                                     ub4 *iterp, ub4 *idxp, ub1 *piecep);
using OCIStmtSetPieceInfo_fn = sword(void *hndlp, ub4 type, OCIError *errhp, const void *bufp, ub4 *alenp,
                                     ub1 piece, const void *indp, ub2 *rcodep);
using OCIStmtExecute_fn = sword(OCISvcCtx *svchp, OCIStmt *stmtp, OCIError *errhp, ub4 iters, ub4 rowoff,
                                const OCISnapshot *snap_in, OCISnapshot *snap_out, ub4 mode);
using OCIDefineByPos_fn = sword(OCIStmt *stmtp, OCIDefine **defnp, OCIError *errhp, ub4 position,
                                void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *rlenp, ub2 *rcodep,
                                ub4 mode);
using OCIDefineDynamic_fn = sword(OCIDefine *defnp, OCIError *errhp, void *octxp, OCICallbackDefine ocbfp);
using OCIStmtFetch_fn = sword(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, ub4 mode);
using OCIParamGet_fn = sword(const void *hndlp, ub4 htype, OCIError *errhp, void **parmdpp, ub4 pos);
using OCITransCommit_fn = sword(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
using OCITransRollback_fn = sword(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
using OCIErrorGet_fn = sword(void *hndlp, ub4 recordno, OraText *sqlstate, sb4 *errcodep, OraText *bufp,
                             ub4 bufsiz, ub4 type);
using OCIBreak_fn = sword(void *hndlp, OCIError *errhp);
using OCIServerVersion_fn = sword(void *hndlp, OCIError *errhp, OraText *bufp, ub4 bufsz, ub1 hndltype);
using OCIAttrGet_fn = sword(const void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 *sizep, ub4 attrtype,
                            OCIError *errhp);
using OCIAttrSet_fn = sword(void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 size, ub4 attrtype,
                            OCIError *errhp);
using OCISvcCtxToLda_fn = sword(OCISvcCtx *svchp, OCIError *errhp, Lda_Def *ldap);
using OCILdaToSvcCtx_fn = sword(OCISvcCtx **svchpp, OCIError *errhp, Lda_Def *ldap);
using OCILobGetLength_fn = sword(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *lenp);
using OCILobRead_fn = sword(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amtp, ub4 offset,
                            void *bufp, ub4 bufl, void *ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm);
using OCILobCharSetForm_fn = sword(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, ub1 *csfrm);
using OCILobFileGetName_fn = sword(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *filep,
                                   OraText *dir_alias, ub2 *d_length, OraText *filename, ub2 *f_length);
}

// Entry points that are bound when the library exports them but never called
// by this program; they carry no prototype of their own, and a library
// without them loses nothing.
using UnusedEntry_fn = void();
#define ROWPOUR_OCI_UNUSED_ENTRIES(X)                                                                        \
    X(OCIBindObject)                                                                                         \
    X(OCIBindDynamic)                                                                                        \
    X(OCIBindArrayOfStruct)                                                                                  \
    X(OCIDefineObject)                                                                                       \
    X(OCIDefineArrayOfStruct)                                                                                \
    X(OCIStmtGetBindInfo)                                                                                    \
    X(OCIDescribeAny)                                                                                        \
    X(OCIParamSet)                                                                                           \
    X(OCITransStart)                                                                                         \
    X(OCITransDetach)                                                                                        \
    X(OCITransPrepare)                                                                                       \
    X(OCITransForget)                                                                                        \
    X(OCILobAppend)                                                                                          \
    X(OCILobAssign)                                                                                          \
    X(OCILobCharSetId)                                                                                       \
    X(OCILobCopy)                                                                                            \
    X(OCILobDisableBuffering)                                                                                \
    X(OCILobEnableBuffering)                                                                                 \
    X(OCILobErase)                                                                                           \
    X(OCILobFileClose)                                                                                       \
    X(OCILobFileCloseAll)                                                                                    \
    X(OCILobFileExists)                                                                                      \
    X(OCILobFileIsOpen)                                                                                      \
    X(OCILobFileOpen)                                                                                        \
    X(OCILobFileSetName)                                                                                     \
    X(OCILobFlushBuffer)                                                                                     \
    X(OCILobIsEqual)                                                                                         \
    X(OCILobLoadFromFile)                                                                                    \
    X(OCILobLocatorIsInit)                                                                                   \
    X(OCILobTrim)                                                                                            \
    X(OCILobWrite)                                                                                           \
    X(OCIResultSetToStmt)                                                                                    \
    X(OCIObjectUnpin)                                                                                        \
    X(OCIObjectLock)                                                                                         \
    X(OCIObjectMarkUpdate)                                                                                   \
    X(OCIObjectUnmark)                                                                                       \
    X(OCIObjectMarkDelete)                                                                                   \
    X(OCIObjectFlush)                                                                                        \
    X(OCIObjectCopy)                                                                                         \
    X(OCIObjectGetTypeRef)                                                                                   \
    X(OCIObjectGetObjectRef)                                                                                 \
    X(OCIObjectGetInd)                                                                                       \
    X(OCIObjectExists)                                                                                       \
    X(OCIObjectIsLocked)                                                                                     \
    X(OCIObjectIsDirty)                                                                                      \
    X(OCIObjectRefresh)                                                                                      \
    X(OCIObjectPinTable)                                                                                     \
    X(OCIObjectNew)                                                                                          \
    X(OCIObjectPin)                                                                                          \
    X(OCIObjectFree)                                                                                         \
    X(OCITypeByName)                                                                                         \
    X(OCIObjectGetAttr)                                                                                      \
    X(OCIObjectSetAttr)                                                                                      \
    X(OCIStringPtr)                                                                                          \
    X(OCIStringAssignText)                                                                                   \
    X(OCINumberFromInt)                                                                                      \
    X(OCINumberToInt)                                                                                        \
    X(OCINumberFromReal)                                                                                     \
    X(OCINumberToReal)                                                                                       \
    X(OCINumberToText)                                                                                       \
    X(OCINumberFromText)                                                                                     \
    X(OCIRawPtr)                                                                                             \
    X(OCIRawSize)                                                                                            \
    X(OCIRawAssignBytes)                                                                                     \
    X(OCIRefAssign)                                                                                          \
    X(OCIRefClear)                                                                                           \
    X(OCIRefIsNull)                                                                                          \
    X(OCIRefFromHex)                                                                                         \
    X(OCIRefHexSize)                                                                                         \
    X(OCIRefToHex)                                                                                           \
    X(OCICollSize)                                                                                           \
    X(OCICollTrim)                                                                                           \
    X(OCICollMax)                                                                                            \
    X(OCICollGetElem)                                                                                        \
    X(OCICollAssignElem)                                                                                     \
    X(OCICollAppend)                                                                                         \
    X(OCITableDelete)                                                                                        \
    X(OCICacheFlush)                                                                                         \
    X(ociepgoe)                                                                                              \
    X(ociepmsg)                                                                                              \
    X(OCIDirPathAbort)                                                                                       \
    X(OCIDirPathFinish)                                                                                      \
    X(OCIDirPathPrepare)                                                                                     \
    X(OCIDirPathColArrayEntrySet)                                                                            \
    X(OCIDirPathColArrayToStream)                                                                            \
    X(OCIDirPathLoadStream)                                                                                  \
    X(OCIDirPathStreamReset)                                                                                 \
    X(OCIDateTimeToText)

#define X(name) using name##_fn = UnusedEntry_fn;
ROWPOUR_OCI_UNUSED_ENTRIES(X)
#undef X

// The entry-point groups, each in binding order.
#define ROWPOUR_OCI7_ENTRIES(X)                                                                              \
    X(orlon)                                                                                                 \
    X(ologof)                                                                                                \
    X(oerhms)                                                                                                \
    X(oopen)                                                                                                 \
    X(oparse)                                                                                                \
    X(odefin)                                                                                                \
    X(oexfet)                                                                                                \
    X(ofen)                                                                                                  \
    X(oflng)                                                                                                 \
    X(oclose)                                                                                                \
    X(odescr)                                                                                                \
    X(oexec)                                                                                                 \
    X(oexn)                                                                                                  \
    X(ocom)                                                                                                  \
    X(orol)                                                                                                  \
    X(ocon)                                                                                                  \
    X(ocof)                                                                                                  \
    X(obreak)                                                                                                \
    X(obndra)                                                                                                \
    X(odessp)

#define ROWPOUR_OLOG_ENTRIES(X) X(olog)
#define ROWPOUR_OPINIT_ENTRIES(X) X(opinit)

#define ROWPOUR_OCI8_ENTRIES(X)                                                                              \
    X(OCIInitialize)                                                                                         \
    X(OCIHandleAlloc)                                                                                        \
    X(OCIHandleFree)                                                                                         \
    X(OCIDescriptorAlloc)                                                                                    \
    X(OCIDescriptorFree)                                                                                     \
    X(OCIEnvInit)                                                                                            \
    X(OCIServerAttach)                                                                                       \
    X(OCIServerDetach)                                                                                       \
    X(OCISessionBegin)                                                                                       \
    X(OCISessionEnd)                                                                                         \
    X(OCILogon)                                                                                              \
    X(OCILogoff)                                                                                             \
    X(OCIPasswordChange)                                                                                     \
    X(OCIStmtPrepare)                                                                                        \
    X(OCIBindByPos)                                                                                          \
    X(OCIBindByName)                                                                                         \
    X(OCIBindObject)                                                                                         \
    X(OCIBindDynamic)                                                                                        \
    X(OCIBindArrayOfStruct)                                                                                  \
    X(OCIStmtGetPieceInfo)                                                                                   \
    X(OCIStmtSetPieceInfo)                                                                                   \
    X(OCIStmtExecute)                                                                                        \
    X(OCIDefineByPos)                                                                                        \
    X(OCIDefineObject)                                                                                       \
    X(OCIDefineDynamic)                                                                                      \
    X(OCIDefineArrayOfStruct)                                                                                \
    X(OCIStmtFetch)                                                                                          \
    X(OCIStmtGetBindInfo)                                                                                    \
    X(OCIDescribeAny)                                                                                        \
    X(OCIParamGet)                                                                                           \
    X(OCIParamSet)                                                                                           \
    X(OCITransStart)                                                                                         \
    X(OCITransDetach)                                                                                        \
    X(OCITransCommit)                                                                                        \
    X(OCITransRollback)                                                                                      \
    X(OCITransPrepare)                                                                                       \
    X(OCITransForget)                                                                                        \
    X(OCIErrorGet)                                                                                           \
    X(OCILobAppend)                                                                                          \
    X(OCILobAssign)                                                                                          \
    X(OCILobCharSetForm)                                                                                     \
    X(OCILobCharSetId)                                                                                       \
    X(OCILobCopy)                                                                                            \
    X(OCILobDisableBuffering)                                                                                \
    X(OCILobEnableBuffering)                                                                                 \
    X(OCILobErase)                                                                                           \
    X(OCILobFileClose)                                                                                       \
    X(OCILobFileCloseAll)                                                                                    \
    X(OCILobFileExists)                                                                                      \
    X(OCILobFileGetName)                                                                                     \
    X(OCILobFileIsOpen)                                                                                      \
    X(OCILobFileOpen)                                                                                        \
    X(OCILobFileSetName)                                                                                     \
    X(OCILobFlushBuffer)                                                                                     \
    X(OCILobGetLength)                                                                                       \
    X(OCILobIsEqual)                                                                                         \
    X(OCILobLoadFromFile)                                                                                    \
    X(OCILobLocatorIsInit)                                                                                   \
    X(OCILobRead)                                                                                            \
    X(OCILobTrim)                                                                                            \
    X(OCILobWrite)                                                                                           \
    X(OCIBreak)                                                                                              \
    X(OCIServerVersion)                                                                                      \
    X(OCIAttrGet)                                                                                            \
    X(OCIAttrSet)                                                                                            \
    X(OCISvcCtxToLda)                                                                                        \
    X(OCILdaToSvcCtx)                                                                                        \
    X(OCIResultSetToStmt)                                                                                    \
    X(OCIObjectUnpin)                                                                                        \
    X(OCIObjectLock)                                                                                         \
    X(OCIObjectMarkUpdate)                                                                                   \
    X(OCIObjectUnmark)                                                                                       \
    X(OCIObjectMarkDelete)                                                                                   \
    X(OCIObjectFlush)                                                                                        \
    X(OCIObjectCopy)                                                                                         \
    X(OCIObjectGetTypeRef)                                                                                   \
    X(OCIObjectGetObjectRef)                                                                                 \
    X(OCIObjectGetInd)                                                                                       \
    X(OCIObjectExists)                                                                                       \
    X(OCIObjectIsLocked)                                                                                     \
    X(OCIObjectIsDirty)                                                                                      \
    X(OCIObjectRefresh)                                                                                      \
    X(OCIObjectPinTable)                                                                                     \
    X(OCIObjectNew)                                                                                          \
    X(OCIObjectPin)                                                                                          \
    X(OCIObjectFree)                                                                                         \
    X(OCITypeByName)                                                                                         \
    X(OCIObjectGetAttr)                                                                                      \
    X(OCIObjectSetAttr)                                                                                      \
    X(OCIStringPtr)                                                                                          \
    X(OCIStringAssignText)                                                                                   \
    X(OCINumberFromInt)                                                                                      \
    X(OCINumberToInt)                                                                                        \
    X(OCINumberFromReal)                                                                                     \
    X(OCINumberToReal)                                                                                       \
    X(OCINumberToText)                                                                                       \
    X(OCINumberFromText)                                                                                     \
    X(OCIRawPtr)                                                                                             \
    X(OCIRawSize)                                                                                            \
    X(OCIRawAssignBytes)                                                                                     \
    X(OCIRefAssign)                                                                                          \
    X(OCIRefClear)                                                                                           \
    X(OCIRefIsNull)                                                                                          \
    X(OCIRefFromHex)                                                                                         \
    X(OCIRefHexSize)                                                                                         \
    X(OCIRefToHex)                                                                                           \
    X(OCICollSize)                                                                                           \
    X(OCICollTrim)                                                                                           \
    X(OCICollMax)                                                                                            \
    X(OCICollGetElem)                                                                                        \
    X(OCICollAssignElem)                                                                                     \
    X(OCICollAppend)                                                                                         \
    X(OCITableDelete)                                                                                        \
    X(OCICacheFlush)

#define ROWPOUR_OCI_ERROR_EXTENSION_ENTRIES(X)                                                               \
    X(ociepgoe)                                                                                              \
    X(ociepmsg)

#define ROWPOUR_OCI81_ENTRIES(X)                                                                             \
    X(OCIEnvCreate)                                                                                          \
    X(OCIDirPathAbort)                                                                                       \
    X(OCIDirPathFinish)                                                                                      \
    X(OCIDirPathPrepare)                                                                                     \
    X(OCIDirPathColArrayEntrySet)                                                                            \
    X(OCIDirPathColArrayToStream)                                                                            \
    X(OCIDirPathLoadStream)                                                                                  \
    X(OCIDirPathStreamReset)                                                                                 \
    X(OCIDateTimeToText)

// Bound when present, outside the groups: the environment with a fixed
// character set (Oracle 9.2 and later).
#define ROWPOUR_OCI_NLS_ENTRIES(X) X(OCIEnvNlsCreate)

#define ROWPOUR_ALL_OCI_ENTRIES(X)                                                                           \
    ROWPOUR_OCI7_ENTRIES(X)                                                                                  \
    ROWPOUR_OLOG_ENTRIES(X)                                                                                  \
    ROWPOUR_OPINIT_ENTRIES(X)                                                                                \
    ROWPOUR_OCI8_ENTRIES(X)                                                                                  \
    ROWPOUR_OCI_ERROR_EXTENSION_ENTRIES(X)                                                                   \
    ROWPOUR_OCI81_ENTRIES(X)                                                                                 \
    ROWPOUR_OCI_NLS_ENTRIES(X)

// The table of bound entry points: one typed pointer per name, null when not bound.
struct EntryPoints {
#define X(name) name##_fn *name = nullptr;
    ROWPOUR_ALL_OCI_ENTRIES(X)
#undef X
};

} // namespace rowpour::oracle::oci
