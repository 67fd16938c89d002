#include "import/MappingSettings.h"
#include "platform/CodePage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

#include <gtest/gtest.h>

using namespace rowpour;

namespace
{

class MappingSettings : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("mapping.ini"));

    void writeText(const QString &text)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(platform::toCp1251(text));
    }
    QByteArray bytes() const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString text() const { return platform::decodeFileText(bytes()); }
};

TColumnMapping row(const char *ora, const char *type, const char *proceed, const char *xls, const char *code,
                   const char *defaultValue)
{
    return {QString::fromUtf8(ora), QString::fromUtf8(type), QString::fromUtf8(proceed),
            QString::fromUtf8(xls), QString::fromUtf8(code), QString::fromUtf8(defaultValue)};
}

MappingTable rowsNamed(const QStringList &names)
{
    QList<TColumnMapping> rows;
    for (const QString &name : names)
        rows.append({name, QStringLiteral("NUMBER"), QStringLiteral("1"), QStringLiteral("1"), {}, {}});
    return MappingTable(rows);
}

QStringList oraFields(const QList<TColumnMapping> &rows)
{
    QStringList names;
    for (const TColumnMapping &m : rows)
        names.append(m.OraField);
    return names;
}

} // namespace

TEST_F(MappingSettings, SaveWritesOneEntryPerRow)
{
    SaveMapping(file, MappingTable({row("ID", "NUMBER", "1", "1", "", ""),
                                    row("NAME", "VARCHAR2", "1", "3", "L2", "")}));
    EXPECT_EQ(bytes(), QByteArray("[Rows]\r\nRow1=ID,NUMBER,1,1,,\r\nRow2=NAME,VARCHAR2,1,3,L2,\r\n"));
}

TEST_F(MappingSettings, RoundTripInWindows1251OrUtf8)
{
    const QList<TColumnMapping> cyrillic = {row("ФИО", "VARCHAR2", "1", "2", "L1", ""),
                                            row("", "", "", "", "", "")};
    SaveMapping(file, MappingTable(cyrillic));
    EXPECT_TRUE(bytes().contains(platform::toCp1251(QStringLiteral("Row1=ФИО,"))));
    EXPECT_EQ(LoadMapping(file), cyrillic);

    const QList<TColumnMapping> wide = {row("表", "VARCHAR2", "1", "1", "", "Дом")};
    SaveMapping(file, MappingTable(wide));
    EXPECT_TRUE(bytes().startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(LoadMapping(file).front(), wide.front());
}

TEST_F(MappingSettings, LoadTakesEntriesInFileOrderAndSplitsAtCommas)
{
    EXPECT_TRUE(LoadMapping(file).isEmpty());
    writeText(QStringLiteral("[Rows]\r\n"
                             "Row1=A,NUMBER,1,1,,1,5\r\n" // a comma in a cell shifts the rest
                             "Row2=B,NUMBER,1\r\n"        // missing fields are empty
                             "Row10=C,T,1,2,L1,x  \r\n"   // trailing blanks are lost
                             "Other=\"D,T,1,2,,\"\r\n")); // enclosing quotes are dropped
    EXPECT_EQ(
        LoadMapping(file),
        (QList<TColumnMapping>{row("A", "NUMBER", "1", "1", "", "1"), row("B", "NUMBER", "1", "", "", ""),
                               row("C", "T", "1", "2", "L1", "x"), row("D", "T", "1", "2", "", "")}));
}

TEST_F(MappingSettings, SavingOverAnOldFile)
{
    SaveMapping(file, rowsNamed({"A", "B", "C", "D", "E"}));
    SaveMapping(file, rowsNamed({"X", "Y", "Z"}));
    EXPECT_EQ(oraFields(LoadMapping(file)), (QStringList{"X", "Y", "Z", "D", "E"}));

    writeText(QStringLiteral("[Rows]\r\nRow2=OLD\r\n"));
    SaveMapping(file, rowsNamed({"A", "B"}));
    EXPECT_EQ(text(), QStringLiteral("[Rows]\r\nRow2=B,NUMBER,1,1,,\r\nRow1=A,NUMBER,1,1,,\r\n"));
    EXPECT_EQ(oraFields(LoadMapping(file)), (QStringList{"B", "A"}));
}

TEST_F(MappingSettings, EmptyGridWritesNothing)
{
    SaveMapping(file, MappingTable());
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(MappingSettings, ReadIniSectionProfileRules)
{
    writeText(QStringLiteral("[other]\r\nk=x\r\n"
                             "[ ROWS ]\r\n"
                             "  Alpha =  spaced value  \r\n"
                             "; a comment\r\n"
                             "Single='quoted'\r\n"
                             "Mixed='quoted\"\r\n"
                             "Lone=\"\r\n"
                             "NoEquals\r\n"
                             "=nameless\r\n"
                             "ALPHA=second\r\n"
                             "[rows]\r\nLater=ignored\r\n"));
    EXPECT_EQ(ReadIniSection(file, QStringLiteral("Rows")),
              (QStringList{"Alpha=spaced value", "Single=quoted", "Mixed='quoted\"", "Lone=\"",
                           "NoEquals=", "ALPHA=spaced value"}));
    QStringList list{QStringLiteral("stale")};
    ReadIniSection(file, QStringLiteral("absent"), list);
    EXPECT_TRUE(list.isEmpty());
}

TEST_F(MappingSettings, WriteLeavesEverythingElseAsItWas)
{
    const QString before =
        QStringLiteral("; head\n[First]\n  a = 1 \n\n[rows]\nRow1 = old\nrow2=two\n\n; tail\n"
                       "[Last]\nz=26");
    const struct {
        const char *section;
        const char *key;
        const char *value;
        QString after;
    } cases[] = {
        {"ROWS", "ROW1", "new",
         QString(before).replace(QStringLiteral("Row1 = old"), QStringLiteral("Row1=new"))},
        {"Rows", "Row3", "3",
         QString(before).replace(QStringLiteral("row2=two\n"), QStringLiteral("row2=two\nRow3=3\r\n"))},
        {"Extra", "k", "v", before + QStringLiteral("\r\n[Extra]\r\nk=v\r\n")},
        {"last", "y", "25", before + QStringLiteral("\r\ny=25\r\n")},
    };
    for (const auto &c : cases) {
        writeText(before);
        WriteIniValue(file, QString::fromUtf8(c.section), QString::fromUtf8(c.key),
                      QString::fromUtf8(c.value));
        EXPECT_EQ(text(), c.after) << c.section << ' ' << c.key;
    }
}

TEST_F(MappingSettings, LineBreaksInAValueCannotAddEntries)
{
    WriteIniValue(file, QStringLiteral("Rows"), QStringLiteral("Row1"), QStringLiteral("a\r\nRow9=b"));
    EXPECT_EQ(ReadIniSection(file, QStringLiteral("Rows")), QStringList{QStringLiteral("Row1=a  Row9=b")});
}

TEST_F(MappingSettings, LongValuesAndManyKeysAreReadWhole)
{
    const QString longValue = QStringLiteral("x").repeated(5000) + QStringLiteral(",end");
    QList<std::pair<QString, QString>> entries{{QStringLiteral("Row1"), longValue}};
    for (int i = 2; i <= 3000; ++i) // far more key names than 16384 bytes hold
        entries.append({QStringLiteral("Row%1_kkkkkkkkkk").arg(i), QString::number(i)});
    WriteIniValues(file, QStringLiteral("Rows"), entries);

    const QStringList read = ReadIniSection(file, QStringLiteral("Rows"));
    ASSERT_EQ(read.size(), 3000);
    EXPECT_EQ(read.front(), QStringLiteral("Row1=") + longValue);
    EXPECT_EQ(read.back(), QStringLiteral("Row3000_kkkkkkkkkk=3000"));
    EXPECT_EQ(LoadMapping(file).front().OraFType, QStringLiteral("end"));
}

TEST_F(MappingSettings, UnwritableFileFailsWithItsName)
{
    writeText(QStringLiteral("[Rows]\r\nRow1=A\r\n"));
    const QString below = file + QStringLiteral("/mapping.ini"); // below a regular file, even root cannot
    try {
        SaveMapping(below, rowsNamed({"A"}));
        FAIL() << "no exception";
    } catch (const EIniWriteError &e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), QStringLiteral("Unable to write to ") + below);
    }
    ASSERT_TRUE(QDir().mkdir(dir.filePath(QStringLiteral("folder"))));
    EXPECT_THROW(WriteIniValue(dir.filePath(QStringLiteral("folder")), QStringLiteral("Rows"),
                               QStringLiteral("Row1"), QStringLiteral("A")),
                 EIniWriteError);
}

TEST_F(MappingSettings, ReadOnlyFileIsRefusedAndKeepsItsText)
{
    writeText(QStringLiteral("[Rows]\r\nRow1=A\r\n"));
    QFile::setPermissions(file, QFileDevice::ReadOwner);
    if (QFileInfo(file).isWritable())
        GTEST_SKIP() << "this user may write to read-only files (root), so no refusal can be seen";
    EXPECT_THROW(WriteIniValue(file, QStringLiteral("Rows"), QStringLiteral("Row1"), QStringLiteral("B")),
                 EIniWriteError);
    EXPECT_EQ(text(), QStringLiteral("[Rows]\r\nRow1=A\r\n"));
}

// A save goes to a new file renamed over the old one: a second name of the old
// file (a hard link, or a reader that has it open) still sees the whole old
// text, never a file cut off by a write in place.
TEST_F(MappingSettings, SaveReplacesTheFileInsteadOfRewritingItInPlace)
{
    writeText(QStringLiteral("[Rows]\r\nRow1=OLD,NUMBER,1,1,,\r\n"));
    const QByteArray old = bytes();
    const QString link = dir.filePath(QStringLiteral("link.ini"));
    ASSERT_EQ(::link(QFile::encodeName(file).constData(), QFile::encodeName(link).constData()), 0);

    SaveMapping(file, rowsNamed({"NEW"}));

    EXPECT_EQ(text(), QStringLiteral("[Rows]\r\nRow1=NEW,NUMBER,1,1,,\r\n"));
    QFile linked(link);
    ASSERT_TRUE(linked.open(QIODevice::ReadOnly));
    EXPECT_EQ(linked.readAll(), old);
}
