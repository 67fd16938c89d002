#pragma once
// Texts of the desktop program's windows, in one place so that the windows
// and the tests compare against the same constants.

#include <QString>
#include <QStringList>

namespace rowpour::app
{

// Texts of the main window.
namespace mainform
{
inline const QString kCaption = QStringLiteral("ROWPOUR");
inline const QString kVersionSeparator = QStringLiteral(" v.");
inline const QString kGridHint =
    QStringLiteral("Обработка:\r\nL<номер лексемы> - выбрать лексему\r\nD - нормализовать дату ");
inline const QString kLoadHint = QStringLiteral("Загрузить настройки обработки таблицы");
inline const QString kSaveHint = QStringLiteral("Сохранить текущие настройки обработки эксель таблицы");
inline const QString kUpdatesUrl = QStringLiteral("https://rowpour.example.org/");
inline const QString kDonateUrl = QStringLiteral("https://rowpour.example.org/donate");
inline const QString kDonateText = QStringLiteral("помоги развитию проекта");
inline const QString kUpdatesText = QStringLiteral("Обновления доступны по адресу");
inline const QString kConnect = QStringLiteral("Connect");
inline const QString kDisconnect = QStringLiteral("Disconnect");
// The listing statements; the table name goes between the quotes unchanged.
inline const QString kTableListSql = QStringLiteral("select * from user_tables");
inline const QString kColumnListSqlStart =
    QStringLiteral("select * from user_tab_columns where table_name='");
inline const QString kColumnListSqlEnd = QStringLiteral("'");
// The question when the window is closed while an import runs.
inline const QString kStopCaption = QStringLiteral("move data");
inline const QString kStopQuestion =
    QStringLiteral("The import is still running.\n\nStop it after the current row and close the window? "
                   "Nothing this run has loaded is kept: the table stays as it was before the run.");
inline const QString kStopAndClose = QStringLiteral("Stop and close");
inline const QString kKeepRunning = QStringLiteral("Keep running");
// The operator's commands beside the original ones.
inline const QString kSheet = QStringLiteral("sheet");
inline const QString kCheck = QStringLiteral("Check");
inline const QString kCheckHint =
    QStringLiteral("Reads every selected row and reports what the table would refuse, changing nothing");
inline const QString kErrors = QStringLiteral("Errors");
inline const QString kErrorsHint = QStringLiteral("Shows the import errors window again");
inline const QString kMapByHeader = QStringLiteral("Map by header");
inline const QString kMapByHeaderHint =
    QStringLiteral("Fills the XLS field of every mapping row whose ORA field names a header cell of the row "
                   "selected in the preview (else the row above \"start from cell\")");
inline const QString kMapByHeaderCaption = QStringLiteral("Map by header");
inline const QString kProgressCaption = QStringLiteral("row/end/failed/skipped:");
inline const QString kProgressHint = QStringLiteral("Spreadsheet row / end row / failed rows / skipped rows");
inline const QString kNotConnected = QStringLiteral("Not connected");
inline const QString kConnectedAs = QStringLiteral("Connected: %1");
inline const QStringList kMappingFilters = {QStringLiteral("Mapping files (*.ini)"),
                                            QStringLiteral("All files (*)")};
} // namespace mainform

namespace preview_texts
{
inline const QString kIdle = QStringLiteral("Preview: name a workbook above.");
inline const QString kOpening = QStringLiteral("Reading \"%1\"...");
inline const QString kShown = QStringLiteral(
    "Sheet \"%1\", rows 1 to %2 as the import reads them. Click a row number to start from it, "
    "a column number to make it the XLS field of the mapping row selected above.");
inline const QString kEmpty = QStringLiteral("Sheet \"%1\" has no values in its first %2 rows.");
inline const QString kCancelled = QStringLiteral("Reading was cancelled.");
inline const QString kCancel = QStringLiteral("Cancel");
inline const QString kSelectMappingRow = QStringLiteral("Select a mapping row in the grid first.");
} // namespace preview_texts

// The browse dialog offers workbooks first, and every file.
inline const QStringList kWorkbookFilters = {
    QStringLiteral("Workbooks (*.xlsx *.xlsm *.xls *.ods *.csv *.tsv *.txt)"),
    QStringLiteral("All files (*)")};

} // namespace rowpour::app
