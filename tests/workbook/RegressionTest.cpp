// Inputs that once crashed, hung or misread a reader (from fuzzing and
// review): each must now end with a clear result.

#include "WorkbookTestSupport.h"

#include <gtest/gtest.h>

using namespace rowpour::workbook;
using namespace rowpour::workbook::test;

namespace
{

struct Regression {
    const char *name;
    QByteArray bytes;
    bool opens; // or fails with a message
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const Regression &c, std::ostream *os)
{
    *os << c.name;
}

const Regression kRegressions[] = {
    {"empty_file", QByteArray(), false},
    {"only_a_byte_order_mark", "\xEF\xBB\xBF", true},
    {"lone_quote", "\"", false},
};

class Regressions : public testing::TestWithParam<Regression>
{
};

TEST_P(Regressions, EndCleanly)
{
    std::string message;
    const bool opened = [&] {
        try {
            auto book = openWorkbookBytes(GetParam().bytes, QStringLiteral("input"), cLocale());
            const CellRange used = book->usedRange();
            if (!used.isEmpty())
                readRows(*book, used.firstRow, std::min(used.lastRow, used.firstRow + 50), used.firstColumn,
                         std::min(used.lastColumn, used.firstColumn + 50));
            return true;
        } catch (const std::exception &e) {
            message = e.what();
            return false;
        }
    }();
    EXPECT_EQ(opened, GetParam().opens) << message;
    if (!opened) {
        EXPECT_EQ(message.rfind("Cannot open the workbook \"input\": ", 0), 0u) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Regressions, testing::ValuesIn(kRegressions),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
