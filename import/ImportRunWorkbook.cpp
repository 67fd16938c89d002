// The import run's sheet on the workbook readers.

#include "import/ImportRun.h"
#include "import/workbook/Workbook.h"

namespace rowpour
{

namespace
{

class WorkbookSheet : public IImportSheet
{
public:
    explicit WorkbookSheet(std::unique_ptr<workbook::Workbook> book) : book_(std::move(book)) {}
    QString cellText(int row, int column) override { return book_->cellText(row, column); }
    bool isNumber(int row, int column) override { return book_->isNumber(row, column); }
    int lastRow() const override { return book_->maxRows(); }
    int lastColumn() const override { return book_->maxColumns(); }

private:
    std::unique_ptr<workbook::Workbook> book_;
};

} // namespace

std::unique_ptr<IImportSheet> OpenImportSheet(const QString &fileName, const platform::OperatorLocale &locale,
                                              const workbook::SheetChoice &sheet)
{
    return std::make_unique<WorkbookSheet>(workbook::openWorkbook(fileName, locale, sheet));
}

} // namespace rowpour
