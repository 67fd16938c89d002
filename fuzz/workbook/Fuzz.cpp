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

// Reads every block, and the text of a corner of each, as an import would.
[[maybe_unused]] void readAll(SheetRows &rows, const StringPool &shared)
{
    const CellTextFormatter formatter{rowpour::platform::OperatorLocale(QLocale::c())};
    RowBlock block;
    while (rows.next(block))
        for (std::size_t i = 0; i < std::min<std::size_t>(block.runs.size(), 20); ++i)
            (void)formatter.text(block.runs[i].value, shared, &block);
}

[[maybe_unused]] std::unique_ptr<ByteSource> memory(const char *data, std::size_t size)
{
    return std::make_unique<MemorySource>(data, size);
}

void run(const char *data, std::size_t size)
{
#if defined(FUZZ_TARGET_xlsx_sheet)
    XlsxStyles styles;
    styles.kinds = {NumberFormatKind::Number, NumberFormatKind::Date, NumberFormatKind::Duration};
    StringPool shared;
    for (const char *s : {"zero", "one", "two"})
        shared.add(s);
    const auto rows =
        xlsxWorksheetRows(memory(data, size), styles, false, shared, QStringLiteral("sheet.xml"));
    readAll(*rows, shared);
#elif defined(FUZZ_TARGET_xlsx_shared_strings)
    MemorySource source(data, size);
    StringPool pool;
    parseXlsxSharedStrings(source, pool, QStringLiteral("sharedStrings.xml"));
#elif defined(FUZZ_TARGET_xls)
    const auto sheet = openXls(QByteArray(data, qsizetype(size)), {});
    readAll(*sheet->rows(), sheet->sharedStrings());
#elif defined(FUZZ_TARGET_ods_content)
    const StringPool shared;
    readAll(*odsContentRows(memory(data, size)), shared);
#elif defined(FUZZ_TARGET_delimited_text)
    const auto sheet = openDelimitedText([&] { return memory(data, size); });
    readAll(*sheet->rows(), sheet->sharedStrings());
#elif defined(FUZZ_TARGET_file)
    auto book = openWorkbookBytes(QByteArray(data, qsizetype(size)), QStringLiteral("input"),
                                  rowpour::platform::OperatorLocale(QLocale::c()));
    const CellRange used = book->usedRange();
    if (!used.isEmpty()) {
        (void)book->cellText(used.lastRow, used.lastColumn);
        (void)book->cellText(used.firstRow, used.firstColumn);
    }
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
