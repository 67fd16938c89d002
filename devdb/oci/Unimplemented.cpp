// Entry points the client library exports for completeness but the
// development database does not serve (dynamic binds, LOB writes, objects,
// collections, direct path): they answer OCI_ERROR with ORA-03001 on the error handle.
// Each is declared with the parameters up to its error handle; the rest of a
// caller's arguments are ignored, which the platform's C calling convention allows.

#include "devdb/oci/Api.h"

namespace
{

sword unimplemented(void *errhp)
{
    std::lock_guard lock(devdb::oci::apiMutex());
    if (auto *err = devdb::oci::handleCast<devdb::oci::ErrorHandle>(errhp, devdb::oci::OCI_HTYPE_ERROR))
        err->error.set(devdb::oci::clientError(devdb::oci::kUnimplemented));
    return devdb::oci::OCI_ERROR;
}

} // namespace

using devdb::oci::OCI_ERROR;

#define ERROR_HANDLE_FIRST(api, name)                                                                        \
    api sword name(void *errhp)                                                                              \
    {                                                                                                        \
        return unimplemented(errhp);                                                                         \
    }
#define ERROR_HANDLE_SECOND(api, name)                                                                       \
    api sword name(void *, void *errhp)                                                                      \
    {                                                                                                        \
        return unimplemented(errhp);                                                                         \
    }
#define ERROR_HANDLE_THIRD(api, name)                                                                        \
    api sword name(void *, void *, void *errhp)                                                              \
    {                                                                                                        \
        return unimplemented(errhp);                                                                         \
    }

ERROR_HANDLE_SECOND(OCI8_API, OCIBindObject)
ERROR_HANDLE_SECOND(OCI8_API, OCIBindDynamic)
ERROR_HANDLE_SECOND(OCI8_API, OCIStmtGetPieceInfo)
ERROR_HANDLE_THIRD(OCI8_API, OCIStmtSetPieceInfo)
ERROR_HANDLE_SECOND(OCI8_API, OCIDefineObject)
ERROR_HANDLE_SECOND(OCI8_API, OCIStmtGetBindInfo)
ERROR_HANDLE_SECOND(OCI8_API, OCIDescribeAny)
ERROR_HANDLE_THIRD(OCI8_API, OCIParamSet)
ERROR_HANDLE_SECOND(OCI8_API, OCITransStart)
ERROR_HANDLE_SECOND(OCI8_API, OCITransDetach)
ERROR_HANDLE_SECOND(OCI8_API, OCITransPrepare)
ERROR_HANDLE_SECOND(OCI8_API, OCITransForget)
ERROR_HANDLE_SECOND(OCI8_API, OCILobAppend)
ERROR_HANDLE_SECOND(OCI8_API, OCILobAssign)
ERROR_HANDLE_SECOND(OCI8_API, OCILobCopy)
ERROR_HANDLE_SECOND(OCI8_API, OCILobDisableBuffering)
ERROR_HANDLE_SECOND(OCI8_API, OCILobEnableBuffering)
ERROR_HANDLE_SECOND(OCI8_API, OCILobErase)
ERROR_HANDLE_SECOND(OCI8_API, OCILobFileCloseAll)
ERROR_HANDLE_SECOND(OCI8_API, OCILobFileSetName)
ERROR_HANDLE_SECOND(OCI8_API, OCILobFlushBuffer)
ERROR_HANDLE_SECOND(OCI8_API, OCILobLoadFromFile)
ERROR_HANDLE_SECOND(OCI8_API, OCILobTrim)
ERROR_HANDLE_SECOND(OCI8_API, OCILobWrite)
ERROR_HANDLE_SECOND(OCI8_API, OCIResultSetToStmt)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectUnpin)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectLock)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectMarkUpdate)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectUnmark)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectMarkDelete)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectFlush)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectCopy)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectGetTypeRef)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectGetObjectRef)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectGetInd)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectExists)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectIsLocked)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectIsDirty)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectRefresh)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectPinTable)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectNew)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectPin)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectFree)
ERROR_HANDLE_SECOND(OCI8_API, OCITypeByName)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectGetAttr)
ERROR_HANDLE_SECOND(OCI8_API, OCIObjectSetAttr)
ERROR_HANDLE_SECOND(OCI8_API, OCIStringAssignText)
ERROR_HANDLE_FIRST(OCI8_API, OCINumberFromInt)
ERROR_HANDLE_FIRST(OCI8_API, OCINumberToInt)
ERROR_HANDLE_FIRST(OCI8_API, OCINumberFromReal)
ERROR_HANDLE_FIRST(OCI8_API, OCINumberToReal)
ERROR_HANDLE_FIRST(OCI8_API, OCINumberToText)
ERROR_HANDLE_FIRST(OCI8_API, OCINumberFromText)
ERROR_HANDLE_SECOND(OCI8_API, OCIRawAssignBytes)
ERROR_HANDLE_SECOND(OCI8_API, OCIRefAssign)
ERROR_HANDLE_SECOND(OCI8_API, OCIRefFromHex)
ERROR_HANDLE_SECOND(OCI8_API, OCIRefToHex)
ERROR_HANDLE_SECOND(OCI8_API, OCICollSize)
ERROR_HANDLE_SECOND(OCI8_API, OCICollTrim)
ERROR_HANDLE_SECOND(OCI8_API, OCICollGetElem)
ERROR_HANDLE_SECOND(OCI8_API, OCICollAssignElem)
ERROR_HANDLE_SECOND(OCI8_API, OCICollAppend)
ERROR_HANDLE_SECOND(OCI8_API, OCITableDelete)
ERROR_HANDLE_SECOND(OCI8_API, OCICacheFlush)
ERROR_HANDLE_SECOND(OCI81_API, OCIDirPathAbort)
ERROR_HANDLE_SECOND(OCI81_API, OCIDirPathFinish)
ERROR_HANDLE_SECOND(OCI81_API, OCIDirPathPrepare)
ERROR_HANDLE_SECOND(OCI81_API, OCIDirPathColArrayEntrySet)
ERROR_HANDLE_SECOND(OCI81_API, OCIDirPathColArrayToStream)
ERROR_HANDLE_SECOND(OCI81_API, OCIDirPathLoadStream)
ERROR_HANDLE_SECOND(OCI81_API, OCIDirPathStreamReset)
ERROR_HANDLE_SECOND(OCI81_API, OCIDateTimeToText)

// Calls without an error handle.
OCI8_API OraText *OCIStringPtr(void *, const void *)
{
    return nullptr;
}
OCI8_API ub1 *OCIRawPtr(void *, const void *)
{
    return nullptr;
}
OCI8_API ub4 OCIRawSize(void *, const void *)
{
    return 0;
}
OCI8_API void OCIRefClear(void *, void *) {}
OCI8_API boolean OCIRefIsNull(void *, const void *)
{
    return 1;
}
OCI8_API ub4 OCIRefHexSize(void *, const void *)
{
    return 0;
}
OCI8_API ub4 OCICollMax(void *, const void *)
{
    return 0;
}
