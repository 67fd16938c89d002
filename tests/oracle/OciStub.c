/* A stand-in client library for the binding tests: it exports the names of
   every entry-point group and does next to nothing. Variants hide names
   through a linker version script. opinit, OCIInitialize and OCISessionEnd
   count their calls; handles are dummies; OCIServerVersion reports the text
   of $ROWPOUR_STUB_SERVER_VERSION; OCIEnvNlsCreate keeps the character set
   ids it was given. */

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>

#define STUB(name) \
    int name(void) { return 0; }

int rowpour_stub_opinit_calls = 0;
unsigned rowpour_stub_opinit_mode = 99;
int rowpour_stub_initialize_calls = 0;
unsigned rowpour_stub_initialize_mode = 99;

int opinit(unsigned mode)
{
    ++rowpour_stub_opinit_calls;
    rowpour_stub_opinit_mode = mode;
    return 0;
}

static char dummyHandles[64];
int rowpour_stub_session_end_calls = 0;

/* With $ROWPOUR_STUB_ENV_FAILURE set, creating the environment fails and
   its text is the error record on the environment handle (number 12705). */
static int environmentResult(void **envp)
{
    *envp = dummyHandles;
    return getenv("ROWPOUR_STUB_ENV_FAILURE") ? -1 : 0;
}

int OCIEnvCreate(void **envp, unsigned mode, void *ctx, void *m, void *r, void *f, size_t extra, void **user)
{
    (void)mode; (void)ctx; (void)m; (void)r; (void)f; (void)extra; (void)user;
    return environmentResult(envp);
}

unsigned rowpour_stub_nls_charset = 0;
unsigned rowpour_stub_nls_ncharset = 0;

int OCIEnvNlsCreate(void **envp, unsigned mode, void *ctx, void *m, void *r, void *f, size_t extra, void **user,
                    unsigned short charset, unsigned short ncharset)
{
    (void)mode; (void)ctx; (void)m; (void)r; (void)f; (void)extra; (void)user;
    rowpour_stub_nls_charset = charset;
    rowpour_stub_nls_ncharset = ncharset;
    return environmentResult(envp);
}

int OCIEnvInit(void **envp, unsigned mode, size_t extra, void **user)
{
    (void)mode; (void)extra; (void)user;
    *envp = dummyHandles;
    return 0;
}

int OCIHandleAlloc(const void *parent, void **handle, unsigned type, size_t extra, void **user)
{
    (void)parent; (void)extra; (void)user;
    *handle = dummyHandles + (type % 32);
    return 0;
}

int OCIServerVersion(void *handle, void *error, unsigned char *buffer, unsigned size, unsigned char type)
{
    (void)handle; (void)error; (void)type;
    const char *version = getenv("ROWPOUR_STUB_SERVER_VERSION");
    snprintf((char *)buffer, size, "%s", version ? version : "");
    return 0;
}

int OCIErrorGet(void *handle, unsigned record, unsigned char *state, int *code, unsigned char *buffer,
                unsigned size, unsigned type)
{
    (void)handle; (void)record; (void)state;
    const char *failure = getenv("ROWPOUR_STUB_ENV_FAILURE");
    if (type == 1 && failure) {
        if (code)
            *code = 12705;
        if (buffer && size)
            snprintf((char *)buffer, size, "%s", failure);
        return 0;
    }
    if (code)
        *code = 0;
    if (buffer && size)
        buffer[0] = 0;
    return 100;
}

int OCISessionEnd(void *service, void *error, void *session, unsigned mode)
{
    (void)service; (void)error; (void)session; (void)mode;
    ++rowpour_stub_session_end_calls;
    return 0;
}

int OCIInitialize(unsigned mode, void *ctx, void *m, void *r, void *f)
{
    (void)ctx; (void)m; (void)r; (void)f;
    ++rowpour_stub_initialize_calls;
    rowpour_stub_initialize_mode = mode;
    return 0;
}

STUB(orlon)
STUB(ologof)
STUB(oerhms)
STUB(oopen)
STUB(oparse)
STUB(odefin)
STUB(oexfet)
STUB(ofen)
STUB(oflng)
STUB(oclose)
STUB(odescr)
STUB(oexec)
STUB(oexn)
STUB(ocom)
STUB(orol)
STUB(ocon)
STUB(ocof)
STUB(obreak)
STUB(obndra)
STUB(odessp)
STUB(olog)
STUB(OCIHandleFree)
STUB(OCIDescriptorAlloc)
STUB(OCIDescriptorFree)
STUB(OCIServerAttach)
STUB(OCIServerDetach)
STUB(OCISessionBegin)
STUB(OCILogon)
STUB(OCILogoff)
STUB(OCIPasswordChange)
STUB(OCIStmtPrepare)
STUB(OCIBindByPos)
STUB(OCIBindByName)
STUB(OCIBindObject)
STUB(OCIBindDynamic)
STUB(OCIBindArrayOfStruct)
STUB(OCIStmtGetPieceInfo)
STUB(OCIStmtSetPieceInfo)
STUB(OCIStmtExecute)
STUB(OCIDefineByPos)
STUB(OCIDefineObject)
STUB(OCIDefineDynamic)
STUB(OCIDefineArrayOfStruct)
STUB(OCIStmtFetch)
STUB(OCIStmtGetBindInfo)
STUB(OCIDescribeAny)
STUB(OCIParamGet)
STUB(OCIParamSet)
STUB(OCITransStart)
STUB(OCITransDetach)
STUB(OCITransCommit)
STUB(OCITransRollback)
STUB(OCITransPrepare)
STUB(OCITransForget)
STUB(OCILobAppend)
STUB(OCILobAssign)
STUB(OCILobCharSetForm)
STUB(OCILobCharSetId)
STUB(OCILobCopy)
STUB(OCILobDisableBuffering)
STUB(OCILobEnableBuffering)
STUB(OCILobErase)
STUB(OCILobFileClose)
STUB(OCILobFileCloseAll)
STUB(OCILobFileExists)
STUB(OCILobFileGetName)
STUB(OCILobFileIsOpen)
STUB(OCILobFileOpen)
STUB(OCILobFileSetName)
STUB(OCILobFlushBuffer)
STUB(OCILobGetLength)
STUB(OCILobIsEqual)
STUB(OCILobLoadFromFile)
STUB(OCILobLocatorIsInit)
STUB(OCILobRead)
STUB(OCILobTrim)
STUB(OCILobWrite)
STUB(OCIBreak)
STUB(OCIAttrGet)
STUB(OCIAttrSet)
STUB(OCISvcCtxToLda)
STUB(OCILdaToSvcCtx)
STUB(OCIResultSetToStmt)
STUB(OCIObjectUnpin)
STUB(OCIObjectLock)
STUB(OCIObjectMarkUpdate)
STUB(OCIObjectUnmark)
STUB(OCIObjectMarkDelete)
STUB(OCIObjectFlush)
STUB(OCIObjectCopy)
STUB(OCIObjectGetTypeRef)
STUB(OCIObjectGetObjectRef)
STUB(OCIObjectGetInd)
STUB(OCIObjectExists)
STUB(OCIObjectIsLocked)
STUB(OCIObjectIsDirty)
STUB(OCIObjectRefresh)
STUB(OCIObjectPinTable)
STUB(OCIObjectNew)
STUB(OCIObjectPin)
STUB(OCIObjectFree)
STUB(OCITypeByName)
STUB(OCIObjectGetAttr)
STUB(OCIObjectSetAttr)
STUB(OCIStringPtr)
STUB(OCIStringAssignText)
STUB(OCINumberFromInt)
STUB(OCINumberToInt)
STUB(OCINumberFromReal)
STUB(OCINumberToReal)
STUB(OCINumberToText)
STUB(OCINumberFromText)
STUB(OCIRawPtr)
STUB(OCIRawSize)
STUB(OCIRawAssignBytes)
STUB(OCIRefAssign)
STUB(OCIRefClear)
STUB(OCIRefIsNull)
STUB(OCIRefFromHex)
STUB(OCIRefHexSize)
STUB(OCIRefToHex)
STUB(OCICollSize)
STUB(OCICollTrim)
STUB(OCICollMax)
STUB(OCICollGetElem)
STUB(OCICollAssignElem)
STUB(OCICollAppend)
STUB(OCITableDelete)
STUB(OCICacheFlush)
STUB(ociepgoe)
STUB(ociepmsg)
STUB(OCIDirPathAbort)
STUB(OCIDirPathFinish)
STUB(OCIDirPathPrepare)
STUB(OCIDirPathColArrayEntrySet)
STUB(OCIDirPathColArrayToStream)
STUB(OCIDirPathLoadStream)
STUB(OCIDirPathStreamReset)
STUB(OCIDateTimeToText)
