#pragma once
// The handles and descriptors behind the opaque OCI pointers. Every handle
// starts with a magic word and its type, so a wrong or freed pointer of ours is
// answered with OCI_INVALID_HANDLE instead of being used.

#include "devdb/engine/Engine.h"
#include "devdb/oci/ClientEnvironment.h"
#include "devdb/oci/Errors.h"
#include "devdb/oci/OciAbi.h"
#include "devdb/oci/Statistics.h"

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace devdb::oci
{

constexpr ub4 kHandleMagic = 0xDEDB0C1u;

struct Env;

struct Handle {
    Handle(ub4 type, Env *env) : type(type), env(env) {}
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    virtual ~Handle() { magic = 0; }

    ub4 magic = kHandleMagic;
    ub4 type;
    Env *env;
    std::unique_ptr<char[]> userMemory; // xtramem_sz of the allocation calls
};

// The handle behind p if it is one of ours of that type, else nullptr.
template <class T> T *handleCast(const void *p, ub4 type)
{
    auto *h = static_cast<Handle *>(const_cast<void *>(p));
    if (!h || h->magic != kHandleMagic || h->type != type)
        return nullptr;
    return static_cast<T *>(h);
}

// Anything holding an engine cursor of a session; the session drops them
// before it ends, so no cursor outlives its session.
struct CursorHolder {
    virtual void dropCursor() = 0;

protected:
    ~CursorHolder() = default;
};

struct Server;

struct Session : Handle {
    explicit Session(Env *env) : Handle(OCI_HTYPE_SESSION, env) {}
    ~Session() override { end(false); }

    bool active() const { return engine != nullptr; }
    // Ends the engine session: committing (session end, logoff) or rolling back.
    void end(bool commit);

    // A call that reaches the server: counted, and delayed by the simulated cost.
    void roundTrip() { statistics->roundTrip(); }

    std::string userName;
    std::string password;
    std::unique_ptr<devdb::Session> engine;
    Server *server = nullptr;
    std::unordered_set<CursorHolder *> cursors;
    std::shared_ptr<SessionStatistics> statistics; // while the session is active
};

struct Server : Handle {
    explicit Server(Env *env) : Handle(OCI_HTYPE_SERVER, env) {}
    ~Server() override { detach(); }

    // Ends every session begun on this server without committing.
    void detach();

    bool attached = false;
    std::string databasePath; // canonical, so that every alias of a file names the same database
    std::string versionText;  // known once a session has begun on the server
    std::unordered_set<Session *> sessions;
};

struct SvcCtx : Handle {
    explicit SvcCtx(Env *env) : Handle(OCI_HTYPE_SVCCTX, env) {}
    Server *server = nullptr;
    Session *session = nullptr;
    bool inV8Mode = true;
    bool createdByLogon = false; // OCILogon made its server and session; OCILogoff frees them
};

struct ErrorHandle : Handle {
    explicit ErrorHandle(Env *env) : Handle(OCI_HTYPE_ERROR, env) {}
    ErrorState error;
    ub4 dmlRowOffset = 0; // the failed row of an array execution (OCI_ATTR_DML_ROW_OFFSET)
};

// Row-id, snapshot, datetime and the like: allocatable, carrying nothing here.
struct Descriptor : Handle {
    Descriptor(ub4 type, Env *env) : Handle(type, env) {}
};

// A LOB or BFILE locator. A fetch copies the value into it (the value as of
// the fetch), so reads through it need no cursor.
struct LobLocator : Descriptor {
    LobLocator(ub4 type, Env *env) : Descriptor(type, env) {}
    bool initialized = false;
    devdb::OraType type = devdb::OraType::Clob;
    int charsetForm = 0;     // CLOB 1, NCLOB 2, others 0
    int databaseCharset = 0; // of the database the value came from
    std::string data;        // CLOB: UTF-8; BLOB: bytes
    std::string directory, fileName;
    // A read in pieces (OCI_NEED_DATA) goes on from here with the next call.
    bool polling = false;
    std::size_t pollNext = 0, pollEnd = 0;
};

struct Stmt;

struct Define : Handle {
    Define(Env *env, Stmt *stmt) : Handle(OCI_HTYPE_DEFINE, env), stmt(stmt) {}
    Stmt *stmt;
    ub4 position = 0;
    void *value = nullptr;
    sb4 valueSize = 0;
    ub2 type = 0;
    void *indicators = nullptr;
    ub2 *lengths = nullptr;
    ub2 *returnCodes = nullptr;
    ub4 mode = 0;
    void *callbackContext = nullptr;
    OCICallbackDefine callback = nullptr;
    // Element strides of the arrays (OCIDefineArrayOfStruct); 0 means packed.
    ub4 valueSkip = 0, indicatorSkip = 0, lengthSkip = 0, returnCodeSkip = 0;
};

// The program's buffers for one placeholder, by position or by name.
struct Bind : Handle {
    Bind(Env *env, Stmt *stmt) : Handle(OCI_HTYPE_BIND, env), stmt(stmt) {}
    Stmt *stmt;
    ub4 position = 0; // 1-based occurrence when bound by position, else 0
    std::string name; // upper-cased without the colon when bound by name
    void *value = nullptr;
    sb4 valueSize = 0;
    ub2 type = 0;
    void *indicators = nullptr;
    ub2 *lengths = nullptr;
    ub2 *returnCodes = nullptr;
    // Element strides of the arrays (OCIBindArrayOfStruct); 0 means packed.
    ub4 valueSkip = 0, indicatorSkip = 0, lengthSkip = 0, returnCodeSkip = 0;
    ub1 charsetForm = SQLCS_IMPLICIT; // SQLCS_NCHAR: text in the client's national character set
};

struct Param : Handle {
    Param(Env *env, Stmt *stmt, ub4 position, devdb::ColumnDesc column)
        : Handle(OCI_DTYPE_PARAM, env), stmt(stmt), position(position), column(std::move(column))
    {
    }
    Stmt *stmt;
    ub4 position;
    devdb::ColumnDesc column;
    // The column name and, for object and REF columns, the type's name and owner, in the client character
    // set.
    std::string clientName, clientTypeName, clientSchemaName;
};

struct Env : Handle {
    explicit Env(ub4 mode) : Handle(OCI_HTYPE_ENV, nullptr), mode(mode) { env = this; }
    ~Env() override;

    template <class T> T *adopt(std::unique_ptr<T> h)
    {
        T *raw = h.get();
        children.emplace(raw, std::move(h));
        return raw;
    }
    void release(Handle *h);

    ub4 mode;
    ErrorState error;
    ClientEnvironment client; // NLS_LANG and friends as read when the environment was created
    std::unordered_map<Handle *, std::unique_ptr<Handle>> children;
};

} // namespace devdb::oci
