#include "Dictionary.h"

#include <algorithm>

namespace devdb
{
namespace
{

ColumnDesc viewColumn(const std::string &name, OraType type, int size, bool nullable = true)
{
    ColumnDesc d;
    d.name = name;
    d.type = type;
    d.dataSize = size;
    d.nullable = nullable;
    if (type == OraType::Number) {
        d.dataSize = 22;
        d.scale = -127;
    }
    return d;
}

Datum text(const std::string &s)
{
    Datum d;
    if (!s.empty()) {
        d.kind = Value::Kind::Text;
        d.text = s;
    }
    return d;
}

Datum number(long long v)
{
    Datum d;
    d.kind = Value::Kind::Number;
    d.number = Decimal::fromLong(v);
    return d;
}

// The dictionary promises no order without ORDER BY; rows come in the order
// of a hash of their names, which is fixed but unlike the order of creation.
std::uint64_t nameHash(const std::string &name)
{
    std::uint64_t h = 14695981039346656037ULL;
    for (unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    h ^= h >> 33; // mixed, so that names alike do not keep their order
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return h;
}

std::vector<std::shared_ptr<TableInfo>> inHashOrder(std::vector<std::shared_ptr<TableInfo>> tables)
{
    std::stable_sort(tables.begin(), tables.end(),
                     [](const auto &a, const auto &b) { return nameHash(a->name) < nameHash(b->name); });
    return tables;
}

} // namespace

Relation userTablesView(const std::vector<std::shared_ptr<TableInfo>> &tables, int maxIdentifier)
{
    Relation r;
    int id = maxIdentifier;
    auto v = [&](const char *n, int size, bool nullable = true) {
        r.columns.push_back(viewColumn(n, OraType::Varchar2, size, nullable));
    };
    auto n = [&](const char *name) { r.columns.push_back(viewColumn(name, OraType::Number, 22)); };
    v("TABLE_NAME", id, false);
    v("TABLESPACE_NAME", 30);
    v("CLUSTER_NAME", id);
    v("IOT_NAME", id);
    v("STATUS", 8);
    n("PCT_FREE");
    n("PCT_USED");
    n("INI_TRANS");
    n("MAX_TRANS");
    n("INITIAL_EXTENT");
    n("NEXT_EXTENT");
    n("MIN_EXTENTS");
    n("MAX_EXTENTS");
    n("PCT_INCREASE");
    n("FREELISTS");
    n("FREELIST_GROUPS");
    v("LOGGING", 3);
    v("BACKED_UP", 1);
    n("NUM_ROWS");
    n("BLOCKS");
    n("EMPTY_BLOCKS");
    n("AVG_SPACE");
    n("CHAIN_CNT");
    n("AVG_ROW_LEN");
    n("AVG_SPACE_FREELIST_BLOCKS");
    n("NUM_FREELIST_BLOCKS");
    v("DEGREE", 10);
    v("INSTANCES", 10);
    v("CACHE", 5);
    v("TABLE_LOCK", 8);
    n("SAMPLE_SIZE");
    r.columns.push_back(viewColumn("LAST_ANALYZED", OraType::Date, 7));
    v("PARTITIONED", 3);
    v("IOT_TYPE", 12);
    v("TEMPORARY", 1);
    v("SECONDARY", 1);
    v("NESTED", 3);
    v("BUFFER_POOL", 7);
    v("ROW_MOVEMENT", 8);
    v("GLOBAL_STATS", 3);
    v("USER_STATS", 3);
    v("DURATION", 15);
    v("SKIP_CORRUPT", 8);
    v("MONITORING", 3);
    v("CLUSTER_OWNER", id);
    v("DEPENDENCIES", 8);
    v("COMPRESSION", 8);
    v("DROPPED", 3);
    for (const auto &t : inHashOrder(tables)) {
        Row row;
        row.values.resize(r.columns.size());
        auto set = [&](const char *name, Datum d) {
            for (std::size_t i = 0; i < r.columns.size(); ++i) {
                if (r.columns[i].name == name)
                    row.values[i] = d;
            }
        };
        set("TABLE_NAME", text(t->name));
        set("TABLESPACE_NAME", text("USERS"));
        set("STATUS", text("VALID"));
        set("PCT_FREE", number(10));
        set("INI_TRANS", number(1));
        set("MAX_TRANS", number(255));
        set("INITIAL_EXTENT", number(65536));
        set("MIN_EXTENTS", number(1));
        set("MAX_EXTENTS", number(2147483645));
        set("LOGGING", text("YES"));
        set("BACKED_UP", text("N"));
        set("DEGREE", text("         1"));
        set("INSTANCES", text("         1"));
        set("CACHE", text("    N"));
        set("TABLE_LOCK", text("ENABLED"));
        set("PARTITIONED", text("NO"));
        set("TEMPORARY", text("N"));
        set("SECONDARY", text("N"));
        set("NESTED", text("NO"));
        set("BUFFER_POOL", text("DEFAULT"));
        set("ROW_MOVEMENT", text("DISABLED"));
        set("GLOBAL_STATS", text("NO"));
        set("USER_STATS", text("NO"));
        set("SKIP_CORRUPT", text("DISABLED"));
        set("MONITORING", text("YES"));
        set("DEPENDENCIES", text("DISABLED"));
        set("COMPRESSION", text("DISABLED"));
        set("DROPPED", text("NO"));
        r.rows.push_back(std::move(row));
    }
    return r;
}

Relation userTabColumnsView(const std::vector<std::shared_ptr<TableInfo>> &tables, int maxIdentifier)
{
    Relation r;
    int id = maxIdentifier;
    auto v = [&](const char *n, int size, bool nullable = true) {
        r.columns.push_back(viewColumn(n, OraType::Varchar2, size, nullable));
    };
    auto n = [&](const char *name, bool nullable = true) {
        r.columns.push_back(viewColumn(name, OraType::Number, 22, nullable));
    };
    v("TABLE_NAME", id, false);
    v("COLUMN_NAME", id, false);
    v("DATA_TYPE", 106);
    v("DATA_TYPE_MOD", 3);
    v("DATA_TYPE_OWNER", id);
    n("DATA_LENGTH", false);
    n("DATA_PRECISION");
    n("DATA_SCALE");
    v("NULLABLE", 1);
    n("COLUMN_ID");
    n("DEFAULT_LENGTH");
    r.columns.push_back(viewColumn("DATA_DEFAULT", OraType::Long, 0));
    n("NUM_DISTINCT");
    r.columns.push_back(viewColumn("LOW_VALUE", OraType::Raw, 32));
    r.columns.push_back(viewColumn("HIGH_VALUE", OraType::Raw, 32));
    n("DENSITY");
    n("NUM_NULLS");
    n("NUM_BUCKETS");
    r.columns.push_back(viewColumn("LAST_ANALYZED", OraType::Date, 7));
    n("SAMPLE_SIZE");
    v("CHARACTER_SET_NAME", 44);
    n("CHAR_COL_DECL_LENGTH");
    v("GLOBAL_STATS", 3);
    v("USER_STATS", 3);
    n("AVG_COL_LEN");
    n("CHAR_LENGTH");
    v("CHAR_USED", 1);
    v("V80_FMT_IMAGE", 3);
    v("DATA_UPGRADED", 3);
    v("HISTOGRAM", 15);
    std::vector<std::pair<std::uint64_t, Row>> rows;
    for (const auto &t : tables) {
        for (std::size_t c = 0; c < t->columns.size(); ++c) {
            const ColumnInfo &col = t->columns[c];
            bool character = col.desc.charsetForm != 0;
            bool national = col.desc.charsetForm == 2;
            Row row;
            row.values = {
                text(t->name),
                text(col.desc.name),
                text(col.dataType),
                text(col.dataTypeMod),
                text(col.dataTypeOwner),
                number(col.desc.dataSize),
                col.hasPrecision ? number(col.dictPrecision) : Datum(),
                col.hasScale ? number(col.dictScale) : Datum(),
                text(col.desc.nullable ? "Y" : "N"),
                number(static_cast<long long>(c + 1)),
                col.hasDefault ? number(static_cast<long long>(col.defaultText.size())) : Datum(),
                text(col.defaultText),
                Datum(),
                Datum(),
                Datum(),
                Datum(),
                Datum(),
                Datum(),
                Datum(),
                Datum(),
                text(character ? (national ? "NCHAR_CS" : "CHAR_CS") : ""),
                character ? number(col.desc.dataSize) : Datum(),
                text("NO"),
                text("NO"),
                Datum(),
                number(character ? col.desc.charLength : 0),
                text(character && col.desc.type != OraType::Clob ? (col.desc.charUsed ? "C" : "B") : ""),
                text("NO"),
                text("NO"),
                text("NONE"),
            };
            rows.emplace_back(nameHash(t->name + "." + col.desc.name), std::move(row));
        }
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (auto &row : rows)
        r.rows.push_back(std::move(row.second));
    return r;
}

Relation dualView()
{
    Relation r;
    r.columns.push_back(viewColumn("DUMMY", OraType::Varchar2, 1));
    Row row;
    row.values.push_back(text("X"));
    r.rows.push_back(std::move(row));
    return r;
}

Relation sessionView(std::uint64_t prepares)
{
    Relation r;
    r.columns.push_back(viewColumn("PREPARES", OraType::Number, 22));
    Row row;
    row.values.push_back(number(static_cast<long long>(prepares)));
    r.rows.push_back(std::move(row));
    return r;
}

namespace
{

Relation parameterView(const std::vector<std::pair<const char *, std::string>> &values)
{
    Relation r;
    r.columns.push_back(viewColumn("PARAMETER", OraType::Varchar2, 30));
    r.columns.push_back(viewColumn("VALUE", OraType::Varchar2, 64));
    for (const auto &[name, value] : values) {
        Row row;
        row.values = {text(name), text(value)};
        r.rows.push_back(std::move(row));
    }
    return r;
}

} // namespace

Relation nlsSessionParametersView(const SessionSettings &s)
{
    return parameterView({
        {"NLS_LANGUAGE", s.language->name},
        {"NLS_TERRITORY", s.territory->name},
        {"NLS_NUMERIC_CHARACTERS", std::string{s.decimal, s.group}},
        {"NLS_DATE_FORMAT", s.dateFormat},
        {"NLS_DATE_LANGUAGE", s.dateLanguage->name},
        {"NLS_TIMESTAMP_FORMAT", s.timestampFormat},
        {"NLS_TIMESTAMP_TZ_FORMAT", s.timestampTzFormat},
        {"NLS_LENGTH_SEMANTICS", s.charSemantics ? "CHAR" : "BYTE"},
    });
}

Relation nlsDatabaseParametersView(int databaseCharset)
{
    return parameterView({
        {"NLS_CHARACTERSET", findCharset(databaseCharset)->name},
        {"NLS_NCHAR_CHARACTERSET", "AL16UTF16"},
        {"NLS_LANGUAGE", "AMERICAN"},
        {"NLS_TERRITORY", "AMERICA"},
        {"NLS_LENGTH_SEMANTICS", "BYTE"},
    });
}

} // namespace devdb
