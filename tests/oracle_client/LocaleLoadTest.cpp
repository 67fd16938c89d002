// A workbook with date, date-and-time, decimal, code D and Cyrillic cells
// loaded by rowpour-batch under the C, Russian and American locales, with
// NLS_LANG unset or naming another character set, in both call modes: the
// session reads the program's literals as the values the cells hold.

#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <ostream>
#include <string>

namespace rowpour::testing
{
namespace
{

struct LoadCase {
    const char *name;
    const char *locale;  // LC_ALL of the program
    const char *nlsLang; // nullptr: unset
    bool oci7;
};

void PrintTo(const LoadCase &c, std::ostream *os)
{
    *os << c.name;
}

// One row: 15 March 2020, the same at 10:11:12, 1.5, 12 May 1985 and the
// text "1985г." (both for code D), and a Cyrillic name.
void writeWorkbook(const QString &path)
{
    lxw_workbook *book = workbook_new(path.toUtf8().constData());
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    lxw_format *date = workbook_add_format(book);
    format_set_num_format(date, "dd.mm.yyyy");
    lxw_format *dateTime = workbook_add_format(book);
    format_set_num_format(dateTime, "dd.mm.yyyy hh:mm:ss");
    lxw_datetime day{2020, 3, 15, 0, 0, 0};
    lxw_datetime moment{2020, 3, 15, 10, 11, 12};
    lxw_datetime born{1985, 5, 12, 0, 0, 0};
    worksheet_write_datetime(sheet, 0, 0, &day, date);
    worksheet_write_datetime(sheet, 0, 1, &moment, dateTime);
    worksheet_write_number(sheet, 0, 2, 1.5, nullptr);
    worksheet_write_datetime(sheet, 0, 3, &born, date);
    worksheet_write_string(sheet, 0, 4, "1985г.", nullptr);
    worksheet_write_string(sheet, 0, 5, "Иванов", nullptr);
    workbook_close(book);
}

class LocaleLoad : public ::testing::TestWithParam<LoadCase>
{
protected:
    static void SetUpTestSuite() { database_ = TestDatabase::open(); }
    static void TearDownTestSuite() { database_.reset(); }

    void SetUp() override
    {
        if (GetParam().oci7 && database_->oci7Library().isEmpty())
            GTEST_SKIP() << "only the development database has a client library with the OCI7 call set alone";
        ASSERT_TRUE(dir_.isValid());
        writeWorkbook(path("book.xlsx"));
    }

    QString path(const char *name) const { return dir_.filePath(QString::fromLatin1(name)); }

    void writeMapping(const char *name, const QByteArray &rows) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Rows]\r\n" + rows);
    }

    // The program's surrounding: the operator's locale and NLS_LANG, no
    // session formats of the operator's own.
    QStringList surrounding() const
    {
        const LoadCase &c = GetParam();
        QStringList env{QStringLiteral("LC_ALL=") + QLatin1String(c.locale),
                        QStringLiteral("LANG=") + QLatin1String(c.locale),
                        QStringLiteral("NLS_DATE_FORMAT"),
                        QStringLiteral("NLS_TIMESTAMP_FORMAT"),
                        QStringLiteral("NLS_TIMESTAMP_TZ_FORMAT"),
                        QStringLiteral("NLS_NUMERIC_CHARACTERS")};
        env << (c.nlsLang ? QStringLiteral("NLS_LANG=") + QLatin1String(c.nlsLang)
                          : QStringLiteral("NLS_LANG"));
        return env;
    }

    ProcessResult load(const QString &table, const char *mapping, const QStringList &options = {})
    {
        QStringList args{QStringLiteral("load"),
                         QStringLiteral("--userid"),
                         database_->userId(),
                         QStringLiteral("--table"),
                         table,
                         QStringLiteral("--file"),
                         path("book.xlsx"),
                         QStringLiteral("--mapping"),
                         path(mapping),
                         QStringLiteral("--end"),
                         QStringLiteral("1"),
                         QStringLiteral("--errors"),
                         path("errors.log")};
        if (GetParam().oci7)
            args << QStringLiteral("OCIDLL=") + database_->oci7Library();
        return database_->batch(args + options, surrounding());
    }

    QByteArray errorLog() const
    {
        QFile file(path("errors.log"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static std::unique_ptr<TestDatabase> database_;
    QTemporaryDir dir_;
};

std::unique_ptr<TestDatabase> LocaleLoad::database_;

TEST_P(LocaleLoad, DatesCodeDAndCyrillicArriveAsTheCellsHoldThem)
{
    const QString table = database_->createTable(
        QStringLiteral("DATES"),
        QStringLiteral("(D date, DT date, CD1 date, CD2 date, "
                       "NAME varchar2(20), TS timestamp, TZ timestamp with time zone)"));
    writeMapping("dates.ini", "Row1=D,DATE,1,1,,\r\nRow2=DT,DATE,1,2,,\r\nRow3=CD1,DATE,1,4,D,\r\n"
                              "Row4=CD2,DATE,1,5,D,\r\nRow5=NAME,VARCHAR2,1,6,,\r\n"
                              "Row6=TS,TIMESTAMP,1,2,,\r\nRow7=TZ,TIMESTAMP,1,2,,\r\n");
    const ProcessResult loaded = load(table, "dates.ini");
    ASSERT_EQ(loaded.exitCode, 0) << loaded.out.toStdString() << loaded.err.toStdString()
                                  << errorLog().toStdString();

    const ProcessResult rows = database_->sql(
        {QStringLiteral(
             "select to_char(D, 'YYYY-MM-DD HH24:MI:SS') A, to_char(DT, 'YYYY-MM-DD HH24:MI:SS') B, "
             "to_char(CD1, 'YYYY-MM-DD') C, to_char(CD2, 'YYYY-MM-DD') E, NAME, "
             "to_char(TS, 'YYYY-MM-DD HH24:MI:SS') F, to_char(TZ, 'YYYY-MM-DD HH24:MI:SS') G from ") +
         table});
    ASSERT_EQ(rows.exitCode, 0) << rows.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(rows.out).section(QLatin1Char('\n'), 1, 1).toStdString(),
              std::string("2020-03-15 00:00:00\t2020-03-15 10:11:12\t1985-05-12\t1985-01-01\tИванов\t"
                          "2020-03-15 10:11:12\t2020-03-15 10:11:12"))
        << rows.out.toStdString();
}

// The decimal separator of the locale is the session's: a number cell's
// decimal comma reaches the database as the locale writes it, and the
// session reads it back as the same number.
TEST_P(LocaleLoad, DecimalsArriveAsTheCellsNumbers)
{
    const QString table =
        database_->createTable(QStringLiteral("AMOUNTS"), QStringLiteral("(N number(10,2))"));
    writeMapping("amounts.ini", "Row1=N,NUMBER,1,3,,\r\n");
    const ProcessResult loaded = load(table, "amounts.ini", {QStringLiteral("--no-seek")});
    const ProcessResult rows =
        database_->sql({QStringLiteral("select count(*) C, sum(N * 10) S from ") + table});
    ASSERT_EQ(rows.exitCode, 0) << rows.err.toStdString();
    EXPECT_EQ(loaded.exitCode, 0) << loaded.err.toStdString() << errorLog().toStdString();
    EXPECT_EQ(QString::fromUtf8(rows.out).section(QLatin1Char('\n'), 1, 1), QStringLiteral("1\t15"));
}

std::vector<LoadCase> loadCases()
{
    struct Locale {
        const char *tag;
        const char *name;
    };
    const Locale locales[] = {{"C", "C"}, {"Russian", "ru_RU.UTF-8"}, {"American", "en_US.UTF-8"}};
    struct Nls {
        const char *tag;
        const char *value;
    };
    const Nls presets[] = {{"NlsLangUnset", nullptr},
                           {"AmericanIso8859", "AMERICAN_AMERICA.WE8ISO8859P1"},
                           {"RussianWindows1251", "RUSSIAN_RUSSIA.CL8MSWIN1251"}};
    static std::vector<std::string> names;
    std::vector<LoadCase> cases;
    names.reserve(std::size(locales) * std::size(presets) * 2);
    for (const Locale &locale : locales)
        for (const Nls &nls : presets)
            for (const bool oci7 : {false, true}) {
                names.push_back(std::string(locale.tag) + "_" + nls.tag + (oci7 ? "_OCI7" : "_OCI8"));
                cases.push_back({names.back().c_str(), locale.name, nls.value, oci7});
            }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, LocaleLoad, ::testing::ValuesIn(loadCases()),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace rowpour::testing
