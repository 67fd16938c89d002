// One libFuzzer entry point per workbook reader (chosen at compile time). A
// reader may reject its input with an exception; anything else it must survive.

#include "import/workbook/Readers.h"
#include "import/workbook/Workbook.h"
#include "import/workbook/XlsxReader.h"

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>

using namespace rowpour::workbook;

namespace
{

// Reads a corner of the sheet, as an import would.
void readSome(SheetStore &store)
{
    const CellTextFormatter formatter{rowpour::platform::OperatorLocale(QLocale::c())};
    const CellRange used = store.usedRange();
    if (used.isEmpty())
        return;
    for (int r = used.firstRow; r <= std::min(used.lastRow, used.firstRow + 20); ++r)
        for (int c = used.firstColumn; c <= std::min(used.lastColumn, used.firstColumn + 20); ++c)
            if (const CellValue *v = store.find(r, c))
                (void)formatter.text(*v, store.strings());
}

void run(const char *data, std::size_t size)
{
#if defined(FUZZ_TARGET_xlsx_sheet)
    MemorySource source(data, size);
    XlsxStyles styles;
    styles.dateStyle = {false, true};
    SheetBuilder builder(kXlsxMaxRows, kXlsxMaxColumns);
    for (const char *s : {"zero", "one", "two"})
        builder.strings().add(s);
    parseXlsxWorksheet(source, styles, false, 3, builder, QStringLiteral("sheet.xml"));
    SheetStore store = builder.finish();
    readSome(store);
#elif defined(FUZZ_TARGET_xlsx_shared_strings)
    MemorySource source(data, size);
    StringPool pool;
    parseXlsxSharedStrings(source, pool, QStringLiteral("sharedStrings.xml"));
#elif defined(FUZZ_TARGET_xls)
    SheetStore store = readXls(QByteArray(data, qsizetype(size)));
    readSome(store);
#elif defined(FUZZ_TARGET_ods_content)
    MemorySource source(data, size);
    SheetBuilder builder(kOdsMaxRows, kOdsMaxColumns);
    parseOdsContent(source, builder);
    SheetStore store = builder.finish();
    readSome(store);
#elif defined(FUZZ_TARGET_delimited_text)
    SheetStore store = readDelimitedText(QByteArray(data, qsizetype(size)));
    readSome(store);
#elif defined(FUZZ_TARGET_file)
    auto book = openWorkbookBytes(QByteArray(data, qsizetype(size)), QStringLiteral("input"),
                                  rowpour::platform::OperatorLocale(QLocale::c()));
    const CellRange used = book->usedRange();
    if (!used.isEmpty())
        (void)book->cellText(used.lastRow, used.lastColumn);
#endif
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        run(reinterpret_cast<const char *>(data), size);
    } catch (const std::exception &) {
        // A clear rejection is a correct result.
    }
    return 0;
}
