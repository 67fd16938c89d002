// Placeholders: where a client finds them, how the server converts bound
// values (as it converts literals), re-execution with new values, and the
// errors for missing ones.

#include "TestDatabase.h"

namespace devdb::test
{
namespace
{

using Rows = std::vector<std::vector<std::string>>;

BindValue text(const std::string &value, OraType type = OraType::Varchar2)
{
    BindValue b;
    b.type = type;
    b.value.kind = Value::Kind::Text;
    b.value.text = value;
    return b;
}

BindValue number(const std::string &canonical)
{
    BindValue b;
    b.type = OraType::Number;
    b.value.kind = Value::Kind::Number;
    b.value.text = canonical;
    return b;
}

BindValue null()
{
    BindValue b;
    b.value.kind = Value::Kind::Null;
    return b;
}

void execute(Cursor &cursor, std::vector<BindValue> values)
{
    cursor.setBinds(std::move(values));
    cursor.execute();
}

Rows fetchAll(Session &session, Cursor &cursor)
{
    Rows rows;
    std::vector<Value> row;
    while (cursor.fetch(row)) {
        std::vector<std::string> texts;
        for (std::size_t i = 0; i < row.size(); ++i)
            texts.push_back(row[i].kind == Value::Kind::Null
                                ? "<null>"
                                : session.toText(row[i], cursor.columns()[i].type));
        rows.push_back(std::move(texts));
    }
    return rows;
}

TEST(Placeholders, AreFoundOutsideLiteralsNamesAndComments)
{
    const std::pair<const char *, std::vector<std::string>> cases[] = {
        {"insert into t values (:1, :2, :b3)", {"1", "2", "B3"}},
        {"select a from t where a = :x and b = :X", {"X", "X"}},
        {"select ':no' from t where a = :yes", {"YES"}},
        {"select 'it''s :no' from t where a=:yes", {"YES"}},
        {"select \"A:NO\" from t -- :no\n where a = :yes /* :no */", {"YES"}},
        {"select to_char(d, 'HH24:MI') from t where a=:1", {"1"}},
        {"select a from t where a = : x", {}},
        {"select a from t", {}},
    };
    for (const auto &[sql, names] : cases) {
        SCOPED_TRACE(sql);
        EXPECT_EQ(placeholderNames(sql), names);
    }
}

class Binds : public ::testing::Test
{
protected:
    void SetUp() override
    {
        session = db.logon();
        run(*session, "create table t (id number(4) primary key, amount number(6,2), day date,"
                      " name varchar2(10), code char(4))");
    }
    TempDatabase db;
    std::unique_ptr<Session> session;
};

int errorOf(Cursor &cursor, std::vector<BindValue> values)
{
    try {
        execute(cursor, std::move(values));
    } catch (const OraError &e) {
        return e.code;
    }
    return 0;
}

TEST_F(Binds, TextConvertsLikeTheSameLiteral)
{
    run(*session, "alter session set nls_territory = 'RUSSIA'");
    auto insert = session->prepare("insert into t (id, amount, day, name, code) values (:1, :2, :3, :4, :5)");
    execute(*insert, {text("1"), text("1,5"), text("15.03.20"), text("Smith"), text("AB")});
    EXPECT_EQ(insert->rowCount(), 1u);
    run(*session,
        "insert into t (id, amount, day, name, code) values ('2', '1,5', '15.03.20', 'Smith', 'AB')");
    EXPECT_EQ(run(*session, "select amount, to_char(day, 'YYYY-MM-DD'), name, code from t order by id"),
              (Rows{{"1,5", "2020-03-15", "Smith", "AB  "}, {"1,5", "2020-03-15", "Smith", "AB  "}}));

    // What a literal may not hold, a bound text may not either.
    EXPECT_EQ(errorOf(*insert, {text("3"), text("1.5"), null(), null(), null()}), 1722);
    EXPECT_EQ(errorOf(*insert, {text("3"), null(), text("31.02.20"), null(), null()}), 1839);
    EXPECT_EQ(errorOf(*insert, {text("3"), null(), null(), text("Smithsonian"), null()}), 12899);
    EXPECT_EQ(errorOf(*insert, {text("3"), text("12345"), null(), null(), null()}), 1438);
    EXPECT_EQ(errorOf(*insert, {text("1"), null(), null(), null(), null()}), 1);
    EXPECT_EQ(single(*session, "select count(*) from t"), "2");

    // '' is NULL, as a literal is.
    execute(*insert, {number("4"), text(""), null(), text(""), text("")});
    EXPECT_EQ(run(*session, "select amount, name, code from t where id = 4"),
              (Rows{{"<null>", "<null>", "<null>"}}));
}

TEST_F(Binds, MissingValuesFailTheExecutionNotThePrepare)
{
    auto insert = session->prepare("insert into t (id, name) values (:id, :name)");
    EXPECT_EQ(errorOf(*insert, {number("1")}), 1008);
    EXPECT_EQ(errorOf(*insert, {number("1"), BindValue{OraType::Varchar2, {}, false}}), 1008);
    EXPECT_EQ(errorOf(*insert, {number("1"), text("x")}), 0);
    // A syntax error is found before the missing values.
    auto bad = session->prepare("insert into t (id) valuez (:id)");
    EXPECT_EQ(errorOf(*bad, {}), 926);
    auto ddl = session->prepare("create table u (a number default :x)");
    EXPECT_EQ(errorOf(*ddl, {number("1")}), 1027);
}

TEST_F(Binds, PreparedSeekFindsRowsByNewValuesEachTime)
{
    run(*session, "insert into t (id, name, code) values (1, 'Smith', 'AB')");
    run(*session, "insert into t (id, name, code) values (2, 'Jones', 'CD')");
    auto seek = session->prepare("select id from t where name = :1 and id = :2");
    execute(*seek, {text("Smith"), text("1")});
    EXPECT_EQ(fetchAll(*session, *seek), (Rows{{"1"}}));
    execute(*seek, {text("Jones"), number("2")});
    EXPECT_EQ(fetchAll(*session, *seek), (Rows{{"2"}}));
    execute(*seek, {text("Jones"), number("1")});
    EXPECT_EQ(fetchAll(*session, *seek), Rows{});
    execute(*seek, {null(), number("1")});
    EXPECT_EQ(fetchAll(*session, *seek), Rows{});
}

TEST_F(Binds, CharColumnsMatchOnlyBlankPaddedBinds)
{
    run(*session, "insert into t (id, code) values (1, 'AB')");
    auto seek = session->prepare("select id from t where code = :1");
    // A VARCHAR2 value compares without padding, as Oracle compares it; a CHAR one with.
    execute(*seek, {text("AB")});
    EXPECT_EQ(fetchAll(*session, *seek), Rows{});
    execute(*seek, {text("AB", OraType::Char)});
    EXPECT_EQ(fetchAll(*session, *seek), (Rows{{"1"}}));
    execute(*seek, {text("AB  ")});
    EXPECT_EQ(fetchAll(*session, *seek), (Rows{{"1"}}));
    // A literal is a CHAR value.
    EXPECT_EQ(run(*session, "select id from t where code = 'AB'"), (Rows{{"1"}}));
}

TEST_F(Binds, ValuesOfAnotherTypeAreResolvedAnew)
{
    run(*session, "insert into t (id, name) values (1, '10')");
    run(*session, "insert into t (id, name) values (2, '9')");
    auto seek = session->prepare("select id from t where name > :1 order by id");
    // Text against text compares as text; a number makes the column convert.
    execute(*seek, {text("5")});
    EXPECT_EQ(fetchAll(*session, *seek), (Rows{{"2"}}));
    execute(*seek, {number("5")});
    EXPECT_EQ(fetchAll(*session, *seek), (Rows{{"1"}, {"2"}}));
}

TEST_F(Binds, UpdateAndDeleteTakeBindsInEveryClause)
{
    run(*session, "insert into t (id, amount) values (1, 10)");
    run(*session, "insert into t (id, amount) values (2, 20)");
    auto update = session->prepare("update t set amount = amount + :add where id >= :low");
    execute(*update, {number("0.5"), number("2")});
    EXPECT_EQ(update->rowCount(), 1u);
    auto remove = session->prepare("delete from t where amount < :limit");
    execute(*remove, {text("15")});
    EXPECT_EQ(remove->rowCount(), 1u);
    EXPECT_EQ(run(*session, "select id, amount from t"), (Rows{{"2", "20.5"}}));
}

} // namespace
} // namespace devdb::test
