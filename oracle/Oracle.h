#pragma once
// The Oracle session: one connection to a database through the client library
// bound by OracleCI, in OCI8 or OCI7 call mode, and the exception for every
// failure the client library reports.

#include "oracle/DesktopServices.h"
#include "oracle/OciApi.h"

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace rowpour::oracle
{

// ---------------------------------------------------------------------------
// Errors

// Longest message an EOracleError carries, in characters.
constexpr int OracleMessageLengthLimit = 1023;
// Size of the buffer the client library writes its message into.
constexpr int OracleMessageBufferSize = 4001;

// A failure reported by the client library: its error number and its own
// message text (usually "ORA-nnnnn: ..." with a trailing line feed, kept).
class EOracleError : public std::runtime_error
{
public:
    EOracleError(int errorNumber, const QString &message);

    // OCI8 mode: number and message of record 1 of an error handle.
    static EOracleError FromErrorHandle(oci::OCIError *errorHandle);
    // OCI7 mode: the message of a return code, read through a logon data area.
    static EOracleError FromReturnCode(oci::Lda_Def *lda, oci::ub2 returnCode);

    int ErrorNumber() const { return errorNumber_; }
    QString Message() const { return QString::fromUtf8(what()); }

private:
    int errorNumber_;
};

// Turns a client message buffer into the message: text up to the first zero
// byte, decoded as UTF-8, cut to OracleMessageLengthLimit characters.
QString OracleMessageFromBuffer(const char *buffer, int size);

// ---------------------------------------------------------------------------
// Options

enum TConnectAsOption { caNormal, caSYSDBA, caSYSOPER };
enum TSessionPoolingOption { spNone, spInternal, spMTS };
enum TMTSOption { moImplicit = 1, moUniqueServer = 2 };
using TMTSOptions = int; // set of TMTSOption (bit mask)
enum TNullValueOption { nvUnAssigned, nvNull };
enum TSQLTraceOption { stUnchanged, stTrue, stFalse };
enum TOptimizerGoalOption { ogUnchanged, ogChoose, ogFirstRows, ogAllRows, ogRule };
enum TIsolationLevelOption { ilUnchanged, ilReadCommitted, ilSerializable };
enum TBytesPerCharacterOption { bcAutoDetect, bc1Byte, bc2Bytes, bc3Bytes, bc4Bytes };

// The mode text that " AS <mode>" at the end of a logon field names; the field
// loses the suffix. Returns false (field unchanged) when there is no " AS ".
bool SplitConnectAs(QString &field, QString &modeText);

// The release number of a server version text ("... Release 19.0.0.0.0 ...",
// "Oracle7 Server Release 7.3.4...", "Oracle8i ..."); 0 when none is found.
int ServerReleaseNumber(const QString &versionText);

class TOracleSession;

// A statement object or result set bound to a session. The session calls it
// before logging off (release server cursors and handles, close the set) and
// when the session is destroyed (forget the session).
class ISessionClient
{
public:
    virtual void SessionLoggingOff() = 0;
    virtual void SessionDestroyed() = 0;

protected:
    ~ISessionClient() = default;
};

class TSessionPreferences
{
public:
    explicit TSessionPreferences(TOracleSession *owner) : owner_(owner) {}
    TSessionPreferences(const TSessionPreferences &) = delete;
    TSessionPreferences &operator=(const TSessionPreferences &) = delete;
    // Copies every field (UseOCI7 through its setter).
    void Assign(const TSessionPreferences &other);

    int FloatPrecision = 0;
    int IntegerPrecision = 0;
    int SmallIntPrecision = -1;
    bool UseOCI7() const { return useOCI7_; }
    void SetUseOCI7(bool value); // refused while the owning session is connected
    bool ConvertCRLF = true;
    bool TrimStringFields = true;
    int MaxStringFieldSize = 0;
    bool ZeroDateIsNull = true;
    bool NullLOBIsEmpty = false;

private:
    TOracleSession *owner_;
    bool useOCI7_ = false;
};

// ---------------------------------------------------------------------------
// Session

class TOracleSession
{
public:
    using SessionEvent = std::function<void(TOracleSession &)>;

    TOracleSession();
    ~TOracleSession();
    TOracleSession(const TOracleSession &) = delete;
    TOracleSession &operator=(const TOracleSession &) = delete;

    // Connection.
    bool Connected() const { return connected_; }
    void SetConnected(bool value); // True runs LogOn, False LogOff; the current value does nothing
    void LogOn();
    void LogOff();
    void Commit();
    void Rollback();
    void ChangePassword(const QString &newPassword);
    // Raises EOracleError when the last call left a non-zero error number.
    void ErrorCheck();
    // The error number of the last call (OCI8: from the error handle when the
    // status asks for it; OCI7: the return code of the logon data area).
    int ErrorNumber();

    // Logon fields.
    QString LogonUsername() const { return logonUsername_; }
    void SetLogonUsername(const QString &value);
    QString LogonPassword() const { return logonPassword_; }
    void SetLogonPassword(const QString &value);
    QString LogonDatabase() const { return logonDatabase_; }
    void SetLogonDatabase(const QString &value);
    TConnectAsOption ConnectAs() const { return connectAs_; }
    void SetConnectAs(TConnectAsOption value) { connectAs_ = value; }
    // Composes user/password@database from the logon fields and splits it back
    // into them, taking an " AS SYSDBA"/" AS SYSOPER" suffix into ConnectAs.
    // Returns the composed text (what the OCI7 logon sends).
    QString ComposeAndSplitConnectText();

    // Configuration.
    bool AutoCommit() const { return autoCommit_; }
    void SetAutoCommit(bool value);
    bool RollbackOnDisconnect = false;
    TCursor Cursor = crHourGlass;
    bool ThreadSafe() const { return threadSafe_; }
    void SetThreadSafe(bool value);
    TSessionPreferences &Preferences() { return preferences_; }
    const TSessionPreferences &Preferences() const { return preferences_; }
    void SetPreferences(const TSessionPreferences &value) { preferences_.Assign(value); }
    TSessionPoolingOption Pooling() const { return pooling_; }
    void SetPooling(TSessionPoolingOption value); // only spNone is supported
    TMTSOptions MTSOptions() const { return mtsOptions_; }
    void SetMTSOptions(TMTSOptions value);
    TNullValueOption NullValue = nvUnAssigned;
    TSQLTraceOption SQLTrace() const { return sqlTrace_; }
    void SetSQLTrace(TSQLTraceOption value);
    TOptimizerGoalOption OptimizerGoal() const { return optimizerGoal_; }
    void SetOptimizerGoal(TOptimizerGoalOption value);
    TIsolationLevelOption IsolationLevel() const { return isolationLevel_; }
    void SetIsolationLevel(TIsolationLevelOption value);
    TBytesPerCharacterOption BytesPerCharacter = bc1Byte;
    bool DesignConnection = false;
    QString MessageTable;
    bool Shared() const { return false; }

    // Notifications (none attached by the program).
    SessionEvent BeforeLogOn;
    SessionEvent AfterLogOn;
    SessionEvent OnChange;

    // State the statement layer reads.
    bool OCI8Mode() const { return oci8Mode_; }
    bool LdaMode() const { return ldaMode_; }
    bool Attached() const { return attached_; }
    int MaxStringSize() const;
    int BytesPerCharacterCount() const;
    oci::sword LastStatus() const { return lastStatus_; }
    void SetLastStatus(oci::sword status) { lastStatus_ = status; }
    // The warning of the last logon when the password is in its grace time
    // (ORA-28002); empty otherwise.
    QString PasswordExpiryWarning() const
    {
        return logonWarningNumber_ == oci::ORA_PASSWORD_WILL_EXPIRE ? logonWarning_ : QString();
    }
    // The client's message of any warning the last logon succeeded with
    // (ORA-28002, ORA-28011, ...); empty when it had none.
    QString LogonWarning() const { return logonWarning_; }
    int LogonWarningNumber() const { return logonWarningNumber_; }
    QString ServerVersion() const { return serverVersion_; }
    // The character set id the client's environment reports (873 is
    // AL32UTF8); 0 in OCI7 mode or when the client does not say.
    int ClientCharsetId() const { return clientCharsetId_; }
    bool BridgeMode() const { return bridgeMode_; }
    bool BridgeInstalled() const { return bridgeInstalled_; }

    // Handles of the connection (OCI8), null when not allocated.
    oci::OCIEnv *EnvHandle() const { return env_; }
    oci::OCISvcCtx *SvcCtx() const { return svcCtx_; }
    oci::OCIError *ErrorHandle() const { return error_; }
    oci::OCIServer *ServerHandle() const { return server_; }
    oci::OCISession *SessionHandle() const { return session_; }
    // The logon data area (OCI7 mode and the converted connection).
    oci::Lda_Def *Lda() { return &lda_; }

    // Busy cursor around client calls, shown by the desktop services.
    void BusyCursorOn();
    void BusyCursorOff();

    // Registries of the statement objects and result sets bound to the session.
    void RegisterStatement(ISessionClient *client);
    void UnregisterStatement(ISessionClient *client);
    void RegisterResultSet(ISessionClient *client);
    void UnregisterResultSet(ISessionClient *client);

    // Every session that exists in the process.
    static std::vector<TOracleSession *> Sessions();

private:
    struct Registry {
        std::mutex mutex;
        std::vector<ISessionClient *> clients;
        void add(ISessionClient *c);
        void remove(ISessionClient *c);
        std::vector<ISessionClient *> snapshot();
    };

    void UpdateBridgeMode();
    void ApplyBridgeLibrary();
    void Attach();
    void CreateEnvironment();
    [[noreturn]] void RaiseEnvironmentFailure(const char *call, oci::sword status, oci::OCIEnv *env);
    void LogOnOCI8();
    void KeepLogonWarning(const EOracleError &warning);
    void CheckServerVersion();
    void LogOnOCI7(const QString &connectText);
    void FinishLogOn();
    void ReapplySessionSettings();
    void ReleaseClients();
    void EndSession();
    void Detach();
    void FreeHandles();
    void ForgetStaleHandles();
    void AbandonSession();
    void ChooseCallMode();
    void RunSessionStatement(const QString &text);
    oci::sword Track(oci::sword status) { return lastStatus_ = status; }
    [[noreturn]] void RaiseLastError();

    bool connected_ = false;
    QString logonUsername_;
    QString logonPassword_;
    QString logonDatabase_;
    TConnectAsOption connectAs_ = caNormal;
    bool autoCommit_ = false;
    bool threadSafe_ = false;
    TSessionPreferences preferences_{this};
    TSessionPoolingOption pooling_ = spNone;
    TMTSOptions mtsOptions_ = moImplicit | moUniqueServer;
    TSQLTraceOption sqlTrace_ = stUnchanged;
    TOptimizerGoalOption optimizerGoal_ = ogUnchanged;
    TIsolationLevelOption isolationLevel_ = ilUnchanged;

    bool oci8Mode_ = false;
    bool ldaMode_ = false;
    bool attached_ = false;
    bool destroying_ = false;
    bool bridgeMode_ = false;
    bool bridgeInstalled_ = false;
    oci::sword lastStatus_ = 0;
    QString logonWarning_;
    int logonWarningNumber_ = 0;
    QString serverVersion_;
    int clientCharsetId_ = 0;

    oci::OCIEnv *env_ = nullptr;
    oci::OCISvcCtx *svcCtx_ = nullptr;
    oci::OCIError *error_ = nullptr;
    oci::OCIError *detachError_ = nullptr;
    oci::OCIServer *server_ = nullptr;
    oci::OCISession *session_ = nullptr;
    oci::Lda_Def lda_{};
    oci::HostDataArea hda_{};

    Registry statements_;
    Registry resultSets_;
    std::vector<bool> busyShown_; // one entry per BusyCursorOn: whether it showed the cursor
    unsigned handlesGeneration_ = 0;
};

} // namespace rowpour::oracle
