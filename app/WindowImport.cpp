#include "app/WindowImport.h"

#include "app/mainFRm.h"
#include "import/MsgFrm.h"
#include "import/Unit2.h"
#include "oracle/DesktopServices.h"

#include <QCoreApplication>

namespace rowpour::app
{

const IMappingCells &WindowImportSurroundings::mapping()
{
    return *form_.SG();
}

QString WindowImportSurroundings::tableName()
{
    return form_.ComboBox1()->currentText();
}

bool WindowImportSurroundings::seekOldRecords()
{
    return form_.CheckBox2()->isChecked();
}

void WindowImportSurroundings::showMessage(MessageKind, const QString &caption, const QString &text,
                                           MessageIcon icon)
{
    oracle::InstalledDesktopServices()->showImportMessage(caption, text, icon);
}

void WindowImportSurroundings::showProgress(const QString &text)
{
    ShowMessageForm(text, true);
}

void WindowImportSurroundings::hideProgress()
{
    HideMessageForm();
}

void WindowImportSurroundings::runBusy(const std::function<void()> &call)
{
    RunWhileAnimating(call);
}

void WindowImportSurroundings::setProgressRange(int minimum, int maximum)
{
    form_.ProgressBar1()->setMaximum(maximum);
    form_.ProgressBar1()->setMinimum(minimum);
}

void WindowImportSurroundings::setProgressPosition(int position)
{
    form_.ProgressBar1()->setValue(position);
}

void WindowImportSurroundings::setProgressLabel(const QString &text)
{
    form_.Label6()->setText(text);
}

void WindowImportSurroundings::processEvents()
{
    QCoreApplication::processEvents();
}

bool WindowImportSurroundings::stopRequested()
{
    return form_.CloseRequestedDuringImport();
}

void WindowImportSurroundings::appendErrorEntry(const QString &entry, const QString &databaseMessage)
{
    if (TForm2 *errors = form_.ErrorsWindow())
        errors->AppendFailure(entry, databaseMessage);
}

void WindowImportSurroundings::showErrors()
{
    if (TForm2 *errors = form_.ErrorsWindow())
        errors->ShowErrors();
}

std::unique_ptr<IImportSheet> WindowImportSurroundings::openWorkbook(const QString &fileName)
{
    return OpenImportSheet(fileName, platform::OperatorLocale::system(), form_.ChosenSheet());
}

} // namespace rowpour::app
