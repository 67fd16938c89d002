#pragma once
// Shared plumbing of the exported entry points: one lock for the whole client
// library, and the translation of exceptions into OCI status codes so that no
// exception crosses the C boundary.

#include "devdb/oci/Handles.h"

#include <mutex>

namespace devdb::oci
{

std::recursive_mutex &apiMutex();

template <class F> sword guarded(ErrorState *error, F &&body)
{
    std::lock_guard lock(apiMutex());
    try {
        return body();
    } catch (const OraError &e) {
        if (error)
            error->set(e);
        return e.warning ? OCI_SUCCESS_WITH_INFO : OCI_ERROR;
    } catch (const std::exception &e) {
        if (error)
            error->set(clientError(kInternal, std::string("internal error code, arguments: [devdb], [") +
                                                  e.what() + "]"));
        return OCI_ERROR;
    } catch (...) {
        if (error)
            error->set(clientError(kInternal));
        return OCI_ERROR;
    }
}

template <class T> T *opaque(Handle *h)
{
    return reinterpret_cast<T *>(h);
}

// The error state behind an error handle pointer, cleared for the new call; nullptr if invalid.
ErrorState *beginCall(OCIError *errhp);

// Session begin/end shared by OCISessionBegin, OCILogon and the OCI7 logon.
void beginSession(SvcCtx &svc, Session &session, ub4 credentials, ub4 mode);
void endSession(Session &session);
void attachServer(Server &server, const std::string &connectIdentifier);

} // namespace devdb::oci
