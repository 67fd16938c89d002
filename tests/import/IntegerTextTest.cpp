#include "import/IntegerText.h"

#include <gtest/gtest.h>

#include <climits>

using namespace rowpour;

// Leading blanks, a sign and "$" / "0x" hexadecimal are accepted; anything
// after the digits, a trailing blank included, is not.
TEST(IntegerText, Forms)
{
    // clang-format off
    const struct {
        const char *text;
        std::optional<int> value;
    } cases[] = {
        {"7", 7}, {"  12", 12}, {"+5", 5}, {"-7", -7}, {"$1F", 31}, {"0x10", 16}, {"-$10", -16},
        {"$FFFFFFFF", -1}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
        {"", {}}, {" ", {}}, {"12 ", {}}, {"\t1", {}}, {"A", {}}, {"1a", {}}, {"-", {}}, {"$", {}},
        {"1.5", {}}, {"2147483648", {}}, {"$100000000", {}}, {"1F", {}},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(tryParseInteger(QString::fromUtf8(c.text)), c.value) << '"' << c.text << '"';
}

TEST(IntegerText, FailureCarriesTheText)
{
    try {
        parseInteger(QStringLiteral("12 "));
        FAIL() << "no exception";
    } catch (const EInvalidInteger &e) {
        EXPECT_STREQ(e.what(), "'12 ' is not a valid integer value");
        EXPECT_EQ(e.text(), QStringLiteral("12 "));
    }
}
