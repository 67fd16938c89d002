#pragma once
// The import run's surroundings in the desktop program: the main window's
// controls, the progress popup, the errors window and message boxes without
// an owner window.

#include "import/ImportRun.h"

#include <QString>

#include <functional>

class TForm1;

namespace rowpour::app
{

class WindowImportSurroundings : public IImportSurroundings
{
public:
    explicit WindowImportSurroundings(TForm1 &form) : form_(form) {}

    const IMappingCells &mapping() override;
    QString tableName() override;
    bool seekOldRecords() override;
    void showMessage(MessageKind kind, const QString &caption, const QString &text,
                     MessageIcon icon) override;
    void showProgress(const QString &text) override;
    void hideProgress() override;
    void runBusy(const std::function<void()> &call) override;
    void setProgressRange(int minimum, int maximum) override;
    void setProgressPosition(int position) override;
    void setProgressLabel(const QString &text) override;
    void processEvents() override;
    bool stopRequested() override;
    void appendErrorEntry(const QString &entry, const QString &databaseMessage) override;
    void showErrors() override;
    std::unique_ptr<IImportSheet> openWorkbook(const QString &fileName) override;

private:
    TForm1 &form_;
};

} // namespace rowpour::app
