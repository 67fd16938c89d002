#include "import/ColumnMapping.h"

#include <gtest/gtest.h>

using namespace rowpour;

namespace
{

TColumnMapping proceeding(const char *proceed)
{
    return {QStringLiteral("COL"), {}, QString::fromUtf8(proceed), {}, {}, {}};
}

} // namespace

TEST(ColumnMapping, InitialGridReportsEveryRow)
{
    EXPECT_EQ(ValidateMapping(MappingTable::initialGrid()),
              QStringLiteral("Ошибки при заполненнии матрицы:"
                             "\r\nстрока матрицы 1-незаполненна"
                             "\r\nстрока матрицы 2-незаполненна"
                             "\r\nстрока матрицы 3-незаполненна"
                             "\r\nстрока матрицы 4-незаполненна"));
    EXPECT_EQ(mapping_texts::kValidationCaption, QStringLiteral("Ошибка"));
}

TEST(ColumnMapping, OnlyEmptyProceedCellsAreReported)
{
    // "0" and " 1" do not take part but are filled in.
    const MappingTable table(
        {proceeding("1"), proceeding(""), proceeding("0"), proceeding(" 1"), proceeding("")});
    EXPECT_EQ(ValidateMapping(table),
              mapping_texts::kValidationHeading + QStringLiteral("\r\nстрока матрицы 2-"
                                                                 "незаполненна\r\nстрока "
                                                                 "матрицы 5-незаполненна"));
    EXPECT_TRUE(ValidateMapping(MappingTable({proceeding("0"), proceeding("x")})).isEmpty());
    EXPECT_TRUE(ValidateMapping(MappingTable()).isEmpty());
}
