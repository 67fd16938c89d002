// Start-up of the desktop program.
//
// The program's start-up on its original platform first prepared the
// user-interface thread for COM automation of the spreadsheet application. On
// Linux the workbook is read by the program itself, so that step has no
// counterpart here.

#include "app/WidgetDesktopServices.h"
#include "app/mainFRm.h"
#include "import/Unit2.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    rowpour::oracle::InstallDesktopServices(std::make_unique<rowpour::app::WidgetDesktopServices>());
    // The main window comes first: closing it ends the program.
    TForm1 mainWindow;
    // The import errors window exists hidden for the whole run; it never keeps
    // the program alive on its own.
    TForm2 errorsWindow;
    mainWindow.SetErrorsWindow(&errorsWindow);
    mainWindow.show();
    return app.exec();
}
