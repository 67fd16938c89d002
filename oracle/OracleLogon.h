#pragma once
// The logon window: user name, password, database (plain edit or alias
// drop-down), connect-as mode and the history menu; cut down, the
// change-password window. LogonDialogs gives the desktop services these
// windows and the widget message boxes for the logon component.

#include "oracle/OracleLogonComponent.h"

#include <QDialog>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace rowpour::oracle
{

class TLogOnForm : public QDialog, public ILogonWindow
{
    Q_OBJECT
public:
    explicit TLogOnForm(const TLogonWindowSetup &setup, QWidget *parent = nullptr);

    // ILogonWindow
    QString Username() const override;
    void SetUsername(const QString &text) override;
    QString Password() const override;
    void SetPassword(const QString &text) override;
    QString Database() const override;
    void SetDatabase(const QString &text) override;
    int ConnectAsIndex() const override;
    void SetConnectAsIndex(int index) override;
    bool ShowModal() override;
    bool ControlHeldOnOK() const override { return controlHeldOnOK_; }

    // Handlers.
    void FormActivate() {}
    void FormShow();
    // True when the key was consumed.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void HistoryBtnClick();
    void HistoryClick(int index);

    // Controls, by the names the window gives them.
    QFrame *ButtonPanel = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;
    QFrame *GroupBox = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *UsernameEdit = nullptr;
    QToolButton *HistoryBtn = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *PasswordEdit = nullptr;
    QFrame *DBPanel = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *DatabaseEdit = nullptr;
    QComboBox *AliasList = nullptr;
    QFrame *CAPanel = nullptr;
    QLabel *Label4 = nullptr;
    QComboBox *ConnectAsList = nullptr;
    QMenu *HistoryPopup = nullptr;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateControls();
    void ApplySetup(const TLogonWindowSetup &setup);
    void Arrange();
    bool DatabaseListInUse() const;

    bool controlHeldOnOK_ = false;
};

// The widget windows and message boxes of the logon conversation, for the
// desktop services.
std::shared_ptr<ILogonUi> LogonDialogs();

// The title of the logon message boxes, the application's title: the
// program's file name up to its first full stop, "Rowpour" for "rowpour".
QString LogonMessageTitle();

} // namespace rowpour::oracle
