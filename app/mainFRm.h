#pragma once
// The main window: the connection toggle, the table list, the mapping grid,
// the import options, the import command, saving and loading the mapping and
// "Close". Every command handler runs inside the failure guard.

#include "app/AppTexts.h"
#include "app/FilenameEdit.h"
#include "app/SheetPreview.h"
#include "app/StringGrid.h"
#include "app/URLLabel.h"
#include "oracle/Oracle.h"
#include "oracle/OracleData.h"
#include "oracle/OracleLogonComponent.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <array>

class TForm2;

namespace rowpour::app
{

// Fixed sizes of the main window.
namespace mainform
{
// Each grid column's share, in per cent, of the width its texts leave over.
inline constexpr std::array<int, 6> kGridColumnPercent = {15, 10, 5, 15, 15, 40};
inline constexpr int kGridDesignWidth = 397;
inline constexpr int kGridDesignHeight = 171;
// Rows per execution when "Array insert" is on.
inline constexpr int kArrayInsertRows = 1000;
} // namespace mainform

// Each column's share of the given width, with the fraction cut off.
std::array<int, 6> GridColumnWidths(int gridWidth);

// "user@alias" for the status line, from the session's user name (which may
// be a whole connect string) and its database; never the password.
QString ConnectedUserText(const QString &username, const QString &database);

} // namespace rowpour::app

class TForm1 : public QWidget
{
    Q_OBJECT
public:
    // The caption's version is read from the executable at executablePath
    // (the running program when empty).
    explicit TForm1(QWidget *parent = nullptr, const QString &executablePath = {});
    ~TForm1() override;

    // The import errors window the import run reports to (created at start-up).
    void SetErrorsWindow(TForm2 *errors) { errorsWindow_ = errors; }
    TForm2 *ErrorsWindow() const { return errorsWindow_; }

    // Controls that the commands read and write.
    rowpour::app::TStringGrid *SG() const { return SG_; }
    QComboBox *ComboBox1() const { return ComboBox1_; }
    QLineEdit *Edit1() const { return Edit1_; }
    QLineEdit *Edit2() const { return Edit2_; }
    QCheckBox *CheckBox1() const { return CheckBox1_; }
    QCheckBox *CheckBox2() const { return CheckBox2_; }
    QCheckBox *ArrayInsertBox() const { return arrayInsert_; }
    QProgressBar *ProgressBar1() const { return ProgressBar1_; }
    QLabel *Label6() const { return Label6_; }
    rowpour::app::TFilenameEdit *FilenameEdit1() const { return FilenameEdit1_; }
    QPushButton *Button1() const { return Button1_; }
    QPushButton *Button2() const { return Button2_; }
    QComboBox *SheetBox() const { return SheetBox_; }
    rowpour::app::TSheetPreview *Preview() const { return Preview_; }
    QPushButton *CheckButton() const { return CheckButton_; }
    QLabel *StatusLabel() const { return StatusLabel_; }

    // The sheet the import reads: the one chosen in the sheet list when the
    // list belongs to the named workbook, else the first.
    rowpour::workbook::SheetChoice ChosenSheet() const;

    // The database components the window owns for its whole life.
    rowpour::oracle::TOracleSession &OracleSession1() { return OracleSession1_; }
    rowpour::oracle::TOracleLogon &OracleLogon1() { return OracleLogon1_; }
    rowpour::oracle::TOracleDataSet &ods1() { return ods1_; }

    bool Connected() const { return FConnected; }
    // True while "Process data" runs; it yields to the user interface once per row.
    bool ImportRunning() const { return importRunning_; }
    // True when the operator chose to stop the run and close the window; the
    // run then ends after its current row, undone.
    bool CloseRequestedDuringImport() const { return pendingClose_ != PendingClose::None; }

    // Command handlers, bound to their controls; each runs inside the failure
    // guard when invoked from its control.
    void Button1Click();      // "Connect" / "Disconnect"
    void ComboBox1Change();   // a table was picked
    void Button2Click();      // "Process data"
    void Button3Click();      // "Close"
    void SpeedButton1Click(); // "..." (load the mapping)
    void SpeedButton2Click(); // "Save" (save the mapping)
    void CheckClick();        // "Check": the check before any change
    void MapByHeaderClick();  // "Map by header"
    void ErrorsClick();       // "Errors": the errors window again

    // "Process data" and "Check" are enabled when the session is connected
    // and a table is chosen; the status line tells who is connected to what.
    void UpdateCommands();
    // Reads the preview of the named workbook's chosen sheet afresh.
    void RefreshPreview();

protected:
    // Ends the database session (used by "Close" while connected).
    virtual void DisconnectSession();
    // Closing during an import asks whether to stop it; the window closes
    // once the stopped run has ended after its current row.
    void closeEvent(QCloseEvent *event) override;

    // True from a successful "Connect" until the next "Disconnect".
    bool FConnected = false;

private:
    void createControls();
    void arrangeControls();
    void setTabOrder();
    void bindCommands();
    void bindOperatorCommands();
    // Selects the sheet a loaded mapping names, when the workbook has it.
    void chooseSavedSheet(const QString &name);
    void FormCreate(const QString &executablePath);
    void configureDatabaseComponents();
    // Replaces the result set's statement by one line and opens it.
    void openListing(const QString &statement);
    // Carries out a close that was asked for while the import ran.
    void finishPendingClose();
    // The grid, the options and the commands that would change them are
    // locked while an import runs; "Close" stays to ask for a stop.
    void lockForImport(bool locked);

    // The sheet list follows the preview's reading of the workbook.
    void previewLoaded();
    void previewRowClicked(int row);
    void previewColumnClicked(int column);
    // The header row "Map by header" reads: the preview's selected row, else
    // the row above the start row, else the first.
    int headerRow() const;
    QStringList headerCells(int row) const;

    enum class PendingClose { None, Frame, CloseButton };
    // Asks whether to stop the running import and close; remembers a yes.
    void askToStopImport(PendingClose how);

    bool importRunning_ = false;
    bool checkRunning_ = false; // a check runs; closing stops it without asking
    QString sheetsFile_;        // the workbook the sheet list was read from
    bool askingToStop_ = false;
    PendingClose pendingClose_ = PendingClose::None;
    int tableIndexDuringImport_ = -1;

    QPushButton *Button1_;
    QPushButton *Button2_;
    QPushButton *Button3_;
    rowpour::app::TFilenameEdit *FilenameEdit1_;
    rowpour::app::TStringGrid *SG_;
    QCheckBox *CheckBox1_;
    QCheckBox *CheckBox2_;
    QCheckBox *arrayInsert_; // rows sent in batches with bind variables
    QComboBox *ComboBox1_;
    QLineEdit *Edit1_;
    QLineEdit *Edit2_;
    QProgressBar *ProgressBar1_;
    QToolButton *SpeedButton1_;
    QToolButton *SpeedButton2_;
    QLabel *Label1_;
    QLabel *Label2_;
    QLabel *Label3_;
    QLabel *Label4_;
    QLabel *Label5_;
    QLabel *Label6_;
    QLabel *Label7_;
    rowpour::app::TURLLabel *RzURLLabel1_;
    rowpour::app::TURLLabel *RzURLLabel2_;
    QLabel *SheetLabel_;
    QComboBox *SheetBox_;
    rowpour::app::TSheetPreview *Preview_;
    QToolButton *MapByHeaderButton_;
    QPushButton *CheckButton_;
    QPushButton *ErrorsButton_;
    QLabel *ProgressCaption_;
    QLabel *StatusLabel_;
    QTimer *previewTimer_;
    TForm2 *errorsWindow_ = nullptr;
    // Declared in this order so that the logon component and the result set
    // go before the session they are bound to.
    rowpour::oracle::TOracleSession OracleSession1_;
    rowpour::oracle::TOracleLogon OracleLogon1_;
    rowpour::oracle::TOracleDataSet ods1_;
};
