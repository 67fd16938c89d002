#pragma once
// The logon component: asks for user name, password, database and privileged
// mode, fills them into its session and logs on, retrying on failure, and
// keeps the logon history. The component links no widgets: its window comes
// from the desktop services' ILogonUi (the widget windows are LogonDialogs in
// oracle/OracleLogon.h); without them only automatic logons work.

#include "oracle/OracleTexts.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>

namespace rowpour::oracle
{

class TOracleSession;

// ---------------------------------------------------------------------------
// Texts of the logon and change-password windows (process-wide)

enum TLogonTextIndex {
    ltLogonTitle,
    ltChangePasswordTitle,
    ltConfirm,
    ltUsername,
    ltPassword,
    ltDatabase,
    ltConnectAs,
    ltNewPassword,
    ltOldPassword,
    ltVerification,
    ltVerificationFailed,
    ltChangeNow,
    ltPasswordExpired,
    ltOK,
    ltCancel,
    ltLogonHistory,
    LogonTextCount
};

std::array<QString, LogonTextCount> &LogonTexts();
// The texts as the program starts with them.
const std::array<QString, LogonTextCount> &DefaultLogonTexts();

// Font of the windows; an empty name keeps the window's own.
struct TLogonFont {
    QString Name;
    int PixelHeight = 0;
    bool Bold = false;
    bool Italic = false;
};
TLogonFont &LogonFont();
// Switch that makes the "UserId" command-line parameter be ignored.
bool &LogonUserIdParameterDisabled();

// ---------------------------------------------------------------------------
// The window seam

// What a logon or change-password window shows.
struct TLogonWindowSetup {
    QString Title;
    QString OKCaption;
    QString CancelCaption;
    QString UsernameLabel;
    QString PasswordLabel;
    QString DatabaseLabel;
    QString ConnectAsLabel;
    TLogonFont Font;
    // The change-password form: both edits masked, neither the database nor the
    // connect-as row.
    bool PasswordForm = false;
    bool DatabaseRow = true;
    bool DatabaseList = false; // an editable alias drop-down instead of the plain edit
    QStringList Aliases;
    int AliasDropDownCount = 8;
    bool ConnectAsRow = true;
    bool HistoryButton = false;
    bool HistoryEnabled = false;
    QString HistoryHint;
};

// One logon window, alive for one Execute or one password change.
class ILogonWindow
{
public:
    virtual ~ILogonWindow() = default;
    virtual QString Username() const = 0;
    virtual void SetUsername(const QString &text) = 0;
    virtual QString Password() const = 0;
    virtual void SetPassword(const QString &text) = 0;
    // The database control in use: the alias drop-down or the plain edit.
    virtual QString Database() const = 0;
    virtual void SetDatabase(const QString &text) = 0;
    // 0 Normal, 1 SYSDBA, 2 SYSOPER.
    virtual int ConnectAsIndex() const = 0;
    virtual void SetConnectAsIndex(int index) = 0;
    // Shows the window modally; true when it was closed with OK.
    virtual bool ShowModal() = 0;
    // Whether Ctrl was held when the window was closed with OK.
    virtual bool ControlHeldOnOK() const = 0;
};

// The windows and message boxes of the logon conversation.
class ILogonUi
{
public:
    virtual ~ILogonUi() = default;
    virtual std::unique_ptr<ILogonWindow> CreateLogonWindow(const TLogonWindowSetup &setup) = 0;
    // A plain message box with an OK button.
    virtual void ShowMessage(const QString &text) = 0;
    // A message after a successful logon (a warning the server gave with
    // it); a user interface without windows may leave it out.
    virtual void ShowInformation(const QString &text) { ShowMessage(text); }
    // A confirmation with Yes and No; true for Yes.
    virtual bool Confirm(const QString &text) = 0;
};

// Carries the logon fields where no window can be shown: automatic logons
// work, anything that needs the operator fails with a message.
std::shared_ptr<ILogonUi> WindowlessLogonUi();

// ---------------------------------------------------------------------------
// The component

enum TLogonOption { ldAuto = 1, ldDatabase = 2, ldDatabaseList = 4, ldLogonHistory = 8, ldConnectAs = 16 };
using TLogonOptions = int; // set of TLogonOption (bit mask)

class TOracleLogon
{
public:
    TOracleLogon() = default;
    TOracleLogon(const TOracleLogon &) = delete;
    TOracleLogon &operator=(const TOracleLogon &) = delete;

    // The session to fill and log on; reads as null once that session is destroyed.
    TOracleSession *Session() const;
    void SetSession(TOracleSession *session) { session_ = session; }

    quint16 Retries = 2; // logon attempts after the first one
    TLogonOptions Options = ldAuto | ldDatabase;
    int AliasDropDownCount = 8;
    QString HistoryRegSection;
    QString HistoryIniFile; // not used by this program
    int HistorySize = 6;    // 0: no limit
    bool HistoryWithPassword = false;
    QString Caption; // replaces the logon window's title (process-wide) when not empty

    // The logon conversation. False when there is no session or the operator
    // cancelled before any attempt; True once an attempt was made, whether or
    // not it succeeded: the session's Connected() tells.
    bool Execute();

private:
    bool RunDialog(TOracleSession &session);
    TLogonWindowSetup LogonWindowSetup(const TOracleSession &session) const;
    bool ConnectAsRowAvailable(const TOracleSession &session) const;
    bool TakeAutomaticLogon(ILogonWindow &window, const TOracleSession &session, int attempt);
    void Attempt(TOracleSession &session, ILogonWindow &window, bool recordInHistory, ILogonUi *ui);

    TOracleSession *session_ = nullptr;
};

// The change-password window for a session. True when the password was
// changed (and the session is then logged on). Throws std::runtime_error
// "Session undefined" for a null session.
bool ShowPasswordDialog(TOracleSession *session, const QString &title);

} // namespace rowpour::oracle
