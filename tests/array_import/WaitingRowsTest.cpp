// Which waiting rows a later row's seek could find: the rule may send a batch
// early, but must never keep back a row the server would find.

#include "import/ArrayImport.h"

#include <gtest/gtest.h>

namespace rowpour
{
namespace
{

const QStringList kColumns = {QStringLiteral("ID"), QStringLiteral("name"), QStringLiteral("\"Code\"")};

SeekComparison binaryAscii()
{
    return {{QStringLiteral("NAME"), QStringLiteral("Code")}, true, false};
}

TEST(WaitingRows, CharacterColumnsComparedByCodesSeparateRowsWithOtherTexts)
{
    WaitingRows waiting(kColumns, binaryAscii());
    EXPECT_FALSE(waiting.mayBeFoundBy({"1", "Ann", "AB"})) << "nothing waits";
    waiting.add({"1", "Ann", "AB"});
    EXPECT_TRUE(waiting.mayBeFoundBy({"1", "Ann", "AB"}));
    // The ID is a number: "01" may be the same number, so only the texts tell.
    EXPECT_TRUE(waiting.mayBeFoundBy({"01", "Ann", "AB"}));
    // CHAR columns pad with blanks: trailing blanks may be equal.
    EXPECT_TRUE(waiting.mayBeFoundBy({"1", "Ann  ", "AB "}));
    EXPECT_FALSE(waiting.mayBeFoundBy({"1", "ann", "AB"}));
    EXPECT_FALSE(waiting.mayBeFoundBy({"1", " Ann", "AB"}));
    EXPECT_FALSE(waiting.mayBeFoundBy({"1", "Ann", "AC"}));
    waiting.clear();
    EXPECT_FALSE(waiting.mayBeFoundBy({"1", "Ann", "AB"}));
}

TEST(WaitingRows, EmptyValuesAreNullAndNeverFound)
{
    WaitingRows waiting(kColumns, binaryAscii());
    waiting.add({"1", "", "AB"});
    EXPECT_FALSE(waiting.mayBeFoundBy({"1", "", "AB"}));
    EXPECT_FALSE(waiting.mayBeFoundBy({"1", "Ann", "AB"}));
    waiting.add({"1", "Ann", "AB"});
    EXPECT_FALSE(waiting.mayBeFoundBy({"", "Ann", "AB"}));
}

TEST(WaitingRows, TextsTheDatabaseMayChangeOrCompareLooselyMayBeFound)
{
    // Not a Unicode database: two letters outside ASCII may become the same character.
    WaitingRows narrow(kColumns, binaryAscii());
    narrow.add({"1", QStringLiteral("Jos\u00e9"), "AB"});
    EXPECT_TRUE(narrow.mayBeFoundBy({"1", QStringLiteral("Jos\u00e8"), "AB"}));
    EXPECT_TRUE(narrow.mayBeFoundBy({"1", "Jose", "AB"}));
    EXPECT_FALSE(narrow.mayBeFoundBy({"1", "Jose", "CD"})) << "another column still tells them apart";
    narrow.add({"2", "Ann", "AB"});
    EXPECT_TRUE(narrow.mayBeFoundBy({"2", "Ann", "AB"}));

    SeekComparison unicode = binaryAscii();
    unicode.unicodeDatabase = true;
    WaitingRows wide(kColumns, unicode);
    wide.add({"1", QStringLiteral("Jos\u00e9"), "AB"});
    EXPECT_FALSE(wide.mayBeFoundBy({"1", QStringLiteral("Jos\u00e8"), "AB"}));
    EXPECT_TRUE(wide.mayBeFoundBy({"1", QStringLiteral("Jos\u00e9"), "AB"}));

    SeekComparison linguistic = binaryAscii();
    linguistic.binary = false;
    WaitingRows loose(kColumns, linguistic);
    loose.add({"1", "Ann", "AB"});
    EXPECT_TRUE(loose.mayBeFoundBy({"1", "ANN", "ab"}));
}

TEST(WaitingRows, NoCharacterColumnMeansAnyRowMayBeFound)
{
    WaitingRows waiting(kColumns, SeekComparison{});
    waiting.add({"1", "Ann", "AB"});
    EXPECT_TRUE(waiting.mayBeFoundBy({"2", "Bob", "CD"}));
}

} // namespace
} // namespace rowpour
