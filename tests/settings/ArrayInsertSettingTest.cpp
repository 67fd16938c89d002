// "Array insert" beside the mapping: a file of the plain form still loads,
// and a reader of section [Rows] sees the same rows with the option saved.

#include "app/ArrayInsertSetting.h"
#include "app/MappingSettings.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace rowpour;

namespace
{

TEST(ArrayInsertSetting, SavedBesideTheRowsWithoutChangingThem)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("mapping.ini"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Rows]\r\nRow1=NAME,VARCHAR2,1,1,L2,\r\nRow2=BORN,DATE,1,2,D,\r\n");
    }
    const QList<TColumnMapping> rows = LoadMapping(file);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(LoadArrayInsertSetting(file), std::nullopt) << "a file of the plain form has no choice";
    // Off, and never saved on: the file keeps its plain form.
    SaveArrayInsertSetting(file, false);
    EXPECT_EQ(LoadArrayInsertSetting(file), std::nullopt);
    EXPECT_TRUE(ReadIniSection(file, settings_texts::kOptionsSection).isEmpty());
    // No mapping file saved: none is made for the option.
    SaveArrayInsertSetting(dir.filePath(QStringLiteral("none.ini")), true);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("none.ini"))));

    SaveArrayInsertSetting(file, true);
    EXPECT_EQ(LoadArrayInsertSetting(file), true);
    EXPECT_EQ(LoadMapping(file), rows);
    EXPECT_EQ(ReadIniSection(file, settings_texts::kRowsSection),
              QStringList({"Row1=NAME,VARCHAR2,1,1,L2,", "Row2=BORN,DATE,1,2,D,"}));

    // Saving the mapping again keeps the option; saving the option again replaces it.
    SaveMapping(file, MappingTable(rows));
    EXPECT_EQ(LoadArrayInsertSetting(file), true);
    SaveArrayInsertSetting(file, false);
    EXPECT_EQ(LoadArrayInsertSetting(file), false);
    EXPECT_EQ(ReadIniSection(file, settings_texts::kOptionsSection), QStringList({"ArrayInsert=0"}));
    EXPECT_EQ(LoadMapping(file), rows);
}

} // namespace
