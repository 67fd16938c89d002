// The database alias list: where tnsnames.ora is looked for, and how it is read.

#include "TestEnvironment.h"

#include "oracle/OracleCI.h"
#include "platform/Environment.h"

#include <QDir>

namespace rowpour::oracle::testing
{
namespace
{

namespace Environment = platform::Environment;

struct ParserCase {
    const char *name;
    QByteArray main;     // tnsnames.ora; "@INC@" stands for the path of inc.ora
    QByteArray included; // inc.ora ("" = no such file)
    QStringList aliases; // in the order read
};
void PrintTo(const ParserCase &c, std::ostream *os)
{
    *os << c.name;
}

class TnsNamesParserTest : public OracleLayerTest, public ::testing::WithParamInterface<ParserCase>
{
};

TEST_P(TnsNamesParserTest, ReadsTheAliases)
{
    const ParserCase &c = GetParam();
    const QString included = path(QStringLiteral("inc.ora"));
    if (!c.included.isEmpty())
        writeFile(QStringLiteral("inc.ora"), QByteArray(c.included).replace("@SELF@", included.toUtf8()));
    const QString main =
        writeFile(QStringLiteral("tnsnames.ora"), QByteArray(c.main).replace("@INC@", included.toUtf8()));
    EXPECT_EQ(ReadTnsNamesAliases(main), c.aliases);
}

const QByteArray descriptor = "(DESCRIPTION = (ADDRESS = (PROTOCOL = TCP)(HOST = h)(PORT = 1521))"
                              "(CONNECT_DATA = (SERVICE_NAME = s)))";

INSTANTIATE_TEST_SUITE_P(
    Files, TnsNamesParserTest,
    ::testing::Values(
        ParserCase{"OneLine", "ORCL = " + descriptor + "\n", "", {"ORCL"}},
        ParserCase{
            "CommentedLineIsSkipped", "# OLD = " + descriptor + "\nNEW = " + descriptor + "\n", "", {"NEW"}},
        ParserCase{"DescriptorOverSeveralLines",
                   "ORCL =\n  (DESCRIPTION =\n    (ADDRESS = (PROTOCOL = TCP)(HOST = h = x)(PORT = 1521))\n"
                   "    (CONNECT_DATA =\n      (SID = orcl)\n    )\n  )\nTEST = " +
                       descriptor + "\n",
                   "",
                   {"ORCL", "TEST"}},
        ParserCase{"WorldSuffixIsCut",
                   "SALES.WORLD = " + descriptor + "\nhr.world=" + descriptor + "\n",
                   "",
                   {"SALES", "hr"}},
        ParserCase{"TabBeforeEquals", "TABBED\t= " + descriptor + "\n", "", {"TABBED"}},
        ParserCase{
            "CrLfLineEnds", "WIN = " + descriptor + "\r\nDOWS = " + descriptor + "\r\n", "", {"WIN", "DOWS"}},
        ParserCase{"IfileWithValue",
                   "A = " + descriptor + "\nIFILE = @INC@\nZ = " + descriptor + "\n",
                   "B = " + descriptor + "\n",
                   {"A", "B", "Z"}},
        ParserCase{"IfileNamedOnTheNextLine",
                   "ifile =\n@INC@\nA = " + descriptor + "\n",
                   "B = " + descriptor + "\n",
                   {"B", "A"}},
        ParserCase{
            "MissingIncludeIsIgnored", "IFILE = /no/such/file.ora\nA = " + descriptor + "\n", "", {"A"}},
        ParserCase{"IncludeCycleIsReadOnce",
                   "A = " + descriptor + "\nIFILE = @INC@\n",
                   "B = " + descriptor + "\nIFILE = @SELF@\n",
                   {"A", "B"}},
        ParserCase{
            "EmptyNameIsNotAnAlias", "LONELY\n= " + descriptor + "\nX = " + descriptor + "\n", "", {"X"}},
        ParserCase{"EmptyFile", "", "", {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(OracleLayerTest, MissingTnsNamesFileGivesNoAliases)
{
    EXPECT_TRUE(ReadTnsNamesAliases(path(QStringLiteral("none.ora"))).isEmpty());
}

class TnsNamesPathTest : public OracleLayerTest
{
protected:
    void SetUp() override
    {
        OracleLayerTest::SetUp();
        home_ = path(QStringLiteral("home"));
        QDir().mkpath(home_);
        Environment::setVariable("ORACLE_HOME", home_);
    }
    void useLibrary(const char *variant)
    {
        ClientLibrary::instance().SetOCIDLL(stubLibrary(QLatin1String(variant)));
    }
    QString home_;
};

TEST_F(TnsNamesPathTest, HomeNetworkAdminByDefault)
{
    useLibrary("full");
    EXPECT_EQ(ClientLibrary::instance().TnsNamesPath(),
              home_ + QStringLiteral("/network/admin/tnsnames.ora"));
}

TEST_F(TnsNamesPathTest, Net80AdminWhenTheOracle81NamesAreMissing)
{
    useLibrary("no81");
    EXPECT_EQ(ClientLibrary::instance().TnsNamesPath(), home_ + QStringLiteral("/net80/admin/tnsnames.ora"));
}

TEST_F(TnsNamesPathTest, TnsAdminEnvironmentWins)
{
    useLibrary("full");
    Environment::setVariable("TNS_ADMIN", path(QStringLiteral("net")));
    writeMachineRegistry("[SOFTWARE\\ORACLE]\nTNS_ADMIN=/elsewhere\n");
    EXPECT_EQ(ClientLibrary::instance().TnsNamesPath(), path(QStringLiteral("net/tnsnames.ora")));
}

TEST_F(TnsNamesPathTest, TnsAdminFromTheMachineRegistry)
{
    useLibrary("full");
    writeMachineRegistry("[SOFTWARE\\ORACLE]\nTNS_ADMIN=/etc/oracle\n");
    EXPECT_EQ(ClientLibrary::instance().TnsNamesPath(), QStringLiteral("/etc/oracle/tnsnames.ora"));
}

TEST_F(TnsNamesPathTest, AliasesAreSortedAndUniqueWithoutRegardToCase)
{
    useLibrary("full");
    writeFile(QStringLiteral("home/network/admin/tnsnames.ora"),
              "zeta = " + descriptor + "\nAlpha = " + descriptor + "\nALPHA.WORLD = " + descriptor +
                  "\nbeta = " + descriptor + "\n");
    EXPECT_EQ(ClientLibrary::instance().DatabaseAliases(),
              (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("zeta")}));
}

TEST_F(OracleLayerTest, AliasListIsEmptyWhenTheLibraryCannotBeLoaded)
{
    EXPECT_TRUE(ClientLibrary::instance().DatabaseAliases().isEmpty());
}

} // namespace
} // namespace rowpour::oracle::testing
