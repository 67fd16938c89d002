#include "Ast.h"
#include "Charset.h"
#include "Errors.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace devdb
{
namespace
{

struct Token {
    enum class Type { Word, QuotedWord, String, Number, Symbol, Bind, End } type = Type::End;
    std::string text; // Word, Bind: upper-cased name; QuotedWord/String: content; Symbol: the symbol
    int offset = 0;
    int end = 0;        // offset just past the token
    int bindIndex = -1; // Bind: the placeholder's occurrence, from 0
};

bool isWordStart(unsigned char c)
{
    return std::isalpha(c) || c >= 0x80;
}

bool isWordChar(unsigned char c)
{
    return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

std::string upper(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The name after a placeholder's colon: letters, digits and the name
// characters; empty when none follows.
std::size_t placeholderNameEnd(const std::string &sql, std::size_t start)
{
    std::size_t i = start;
    while (i < sql.size() && isWordChar(static_cast<unsigned char>(sql[i])))
        ++i;
    return i;
}

std::vector<Token> tokenize(const std::string &sql, int charsetId)
{
    std::vector<Token> out;
    int binds = 0;
    out.reserve(sql.size() / 3 + 4);
    std::size_t i = 0;
    const std::size_t n = sql.size();
    while (true) {
        while (i < n && std::isspace(static_cast<unsigned char>(sql[i])))
            ++i;
        // Comments: -- to end of line, /* ... */
        if (i + 1 < n && sql[i] == '-' && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n')
                ++i;
            continue;
        }
        if (i + 1 < n && sql[i] == '/' && sql[i + 1] == '*') {
            std::size_t e = sql.find("*/", i + 2);
            i = e == std::string::npos ? n : e + 2;
            continue;
        }
        Token t;
        t.offset = static_cast<int>(i);
        if (i >= n) {
            t.type = Token::Type::End;
            t.end = t.offset;
            out.push_back(t);
            return out;
        }
        unsigned char c = static_cast<unsigned char>(sql[i]);
        if (isWordStart(c)) {
            std::size_t s = i;
            while (i < n && isWordChar(static_cast<unsigned char>(sql[i])))
                ++i;
            t.type = Token::Type::Word;
            t.text = upper(sql.substr(s, i - s));
        } else if (std::isdigit(c) ||
                   (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            std::size_t s = i;
            while (i < n && std::isdigit(static_cast<unsigned char>(sql[i])))
                ++i;
            if (i < n && sql[i] == '.') {
                ++i;
                while (i < n && std::isdigit(static_cast<unsigned char>(sql[i])))
                    ++i;
            }
            if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
                std::size_t k = i + 1;
                if (k < n && (sql[k] == '+' || sql[k] == '-'))
                    ++k;
                if (k < n && std::isdigit(static_cast<unsigned char>(sql[k]))) {
                    i = k;
                    while (i < n && std::isdigit(static_cast<unsigned char>(sql[i])))
                        ++i;
                }
            }
            t.type = Token::Type::Number;
            t.text = sql.substr(s, i - s);
        } else if (c == '\'') {
            std::string v;
            ++i;
            while (true) {
                if (i >= n)
                    errors::raise(1756, errors::kQuotedNotTerminated, t.offset);
                if (sql[i] == '\'') {
                    if (i + 1 < n && sql[i + 1] == '\'') {
                        v += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                v += sql[i++];
            }
            if (encodedLength(v, charsetId) > 4000) // bytes of the database character set
                errors::raise(1704, "string literal too long", t.offset);
            t.type = Token::Type::String;
            t.text = std::move(v);
        } else if (c == ':') {
            std::size_t e = placeholderNameEnd(sql, i + 1);
            if (e == i + 1)
                errors::raise(1745, "invalid host/bind variable name", t.offset);
            t.type = Token::Type::Bind;
            t.text = upper(sql.substr(i + 1, e - i - 1));
            t.bindIndex = binds++;
            i = e;
        } else if (c == '"') {
            std::size_t e = sql.find('"', i + 1);
            if (e == std::string::npos)
                errors::raise(1740, "missing double quote in identifier", t.offset);
            t.type = Token::Type::QuotedWord;
            t.text = sql.substr(i + 1, e - i - 1);
            if (t.text.empty())
                errors::raise(1741, errors::kZeroLengthIdentifier, t.offset);
            i = e + 1;
        } else {
            static const char *const twoChar[] = {"||", "<>", "!=", "^=", "<=", ">="};
            t.type = Token::Type::Symbol;
            for (const char *s : twoChar) {
                if (i + 1 < n && sql[i] == s[0] && sql[i + 1] == s[1]) {
                    t.text = s;
                    break;
                }
            }
            if (t.text.empty()) {
                if (std::string("(),.*+-/=<>").find(static_cast<char>(c)) == std::string::npos)
                    errors::raise(911, errors::kInvalidCharacter, t.offset);
                t.text = std::string(1, static_cast<char>(c));
            }
            i += t.text.size();
        }
        t.end = static_cast<int>(i);
        out.push_back(std::move(t));
    }
}

// Words that cannot name a column or table without quotes.
const std::unordered_set<std::string> &reservedWords()
{
    static const std::unordered_set<std::string> words = {
        "ALL",    "ALTER",   "AND",   "ANY",     "AS",     "ASC",    "BETWEEN",  "BY",   "CHAR",
        "CHECK",  "CREATE",  "DATE",  "DEFAULT", "DELETE", "DESC",   "DISTINCT", "DROP", "ELSE",
        "EXISTS", "FLOAT",   "FOR",   "FROM",    "GRANT",  "GROUP",  "HAVING",   "IN",   "INDEX",
        "INSERT", "INTEGER", "INTO",  "IS",      "LIKE",   "LONG",   "NOT",      "NULL", "NUMBER",
        "OF",     "ON",      "OR",    "ORDER",   "RAW",    "REVOKE", "SELECT",   "SET",  "TABLE",
        "THEN",   "TO",      "UNION", "UNIQUE",  "UPDATE", "VALUES", "VARCHAR2", "VIEW", "WHERE",
        "WITH",   "SYSDATE", "USER",  "ROWID",   "PRIMARY"};
    return words;
}

// The first column reference inside an expression, if any.
const Expr *firstColumn(const Expr &e)
{
    if (e.kind == Expr::Kind::Column || e.kind == Expr::Kind::Rowid || e.kind == Expr::Kind::Rownum)
        return &e;
    for (const auto &a : e.args) {
        if (const Expr *c = firstColumn(*a))
            return c;
    }
    return nullptr;
}

// Oracle names no identifier when a keyword stands where a name belongs.
const char *const kEmptyInvalidIdentifier = ": invalid identifier";

class Parser
{
public:
    Parser(const std::string &sql, int maxIdentifier, int charsetId)
        : sql_(sql), tokens_(tokenize(sql, charsetId)), maxIdentifier_(maxIdentifier), charsetId_(charsetId)
    {
    }

    std::unique_ptr<Statement> statement()
    {
        auto st = std::make_unique<Statement>();
        const Token &first = peek();
        if (first.type != Token::Type::Word)
            fail(900, errors::kInvalidSql, first.offset);
        if (first.text == "SELECT")
            select(*st);
        else if (first.text == "INSERT")
            insert(*st);
        else if (first.text == "UPDATE")
            update(*st);
        else if (first.text == "DELETE")
            remove(*st);
        else if (first.text == "CREATE")
            create(*st);
        else if (first.text == "DROP")
            drop(*st);
        else if (first.text == "ALTER")
            alter(*st);
        else if (first.text == "GRANT" || first.text == "REVOKE")
            grant(*st);
        else if (first.text == "COMMIT" || first.text == "ROLLBACK") {
            st->kind = first.text == "COMMIT" ? Statement::Kind::Commit : Statement::Kind::Rollback;
            advance();
            acceptWord("WORK");
            if (st->kind == Statement::Kind::Rollback && acceptWord("TO")) {
                st->kind = Statement::Kind::RollbackTo;
                acceptWord("SAVEPOINT");
                st->savepoint = identifier(933, errors::kNotProperlyEnded);
            }
        } else if (first.text == "SAVEPOINT") {
            st->kind = Statement::Kind::Savepoint;
            advance();
            st->savepoint = identifier(933, errors::kNotProperlyEnded);
        } else
            fail(900, errors::kInvalidSql, first.offset);
        if (peek().type != Token::Type::End)
            fail(933, errors::kNotProperlyEnded, peek().offset);
        collectBinds(*st);
        return st;
    }

    ExprPtr standaloneCondition()
    {
        ExprPtr e = condition();
        if (peek().type != Token::Type::End)
            fail(933, errors::kNotProperlyEnded, peek().offset);
        return e;
    }

    ExprPtr standaloneExpression()
    {
        ExprPtr e = expression();
        if (peek().type != Token::Type::End)
            fail(933, errors::kNotProperlyEnded, peek().offset);
        return e;
    }

private:
    // The placeholders of the finished statement, by occurrence. Collected from
    // the trees (not while parsing) because a parse may try a branch and drop it.
    static void collectBinds(Statement &st)
    {
        std::vector<Expr *> found;
        auto walk = [&found](Expr *e, auto &self) -> void {
            if (!e)
                return;
            if (e->kind == Expr::Kind::Bind)
                found.push_back(e);
            for (auto &a : e->args)
                self(a.get(), self);
        };
        for (auto &item : st.items)
            walk(item.expr.get(), walk);
        walk(st.where.get(), walk);
        for (auto &o : st.orderBy)
            walk(o.expr.get(), walk);
        for (auto &v : st.values)
            walk(v.get(), walk);
        std::sort(found.begin(), found.end(),
                  [](const Expr *a, const Expr *b) { return a->bindIndex < b->bindIndex; });
        st.binds = std::move(found);
    }

    const std::string &sql_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    int maxIdentifier_; // bytes in the database character set
    int charsetId_;

    [[noreturn]] void fail(int code, const std::string &text, int offset)
    {
        errors::raise(code, text, offset);
    }

    const Token &peek(std::size_t ahead = 0) const
    {
        return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
    }
    const Token &advance()
    {
        const Token &t = tokens_[pos_];
        if (pos_ + 1 < tokens_.size())
            ++pos_;
        return t;
    }
    bool isWord(const char *w, std::size_t ahead = 0) const
    {
        const Token &t = peek(ahead);
        return t.type == Token::Type::Word && t.text == w;
    }
    bool isSymbol(const char *s) const
    {
        const Token &t = peek();
        return t.type == Token::Type::Symbol && t.text == s;
    }
    bool acceptWord(const char *w)
    {
        if (!isWord(w))
            return false;
        advance();
        return true;
    }
    bool acceptSymbol(const char *s)
    {
        if (!isSymbol(s))
            return false;
        advance();
        return true;
    }
    void expectWord(const char *w, int code = 905, const char *text = errors::kMissingKeyword)
    {
        if (!acceptWord(w))
            fail(code, text, peek().offset);
    }
    void expectLeftParen()
    {
        if (!acceptSymbol("("))
            fail(906, errors::kMissingLeftParen, peek().offset);
    }
    void expectRightParen()
    {
        if (!acceptSymbol(")"))
            fail(907, errors::kMissingRightParen, peek().offset);
    }

    // A name of a table, column or user. errorCode: what a missing name reports.
    Identifier identifier(int errorCode, const char *errorText)
    {
        const Token &t = peek();
        Identifier id;
        id.offset = t.offset;
        if (t.type == Token::Type::QuotedWord) {
            id.name = t.text;
            id.quoted = true;
        } else if (t.type == Token::Type::Word && !reservedWords().count(t.text)) {
            id.name = t.text;
        } else {
            fail(errorCode, errorText, t.offset);
        }
        if (static_cast<int>(encodedLength(id.name, charsetId_)) > maxIdentifier_)
            fail(972, errors::kIdentifierTooLong, t.offset);
        advance();
        return id;
    }

    TableRef tableName()
    {
        TableRef ref;
        ref.name = identifier(903, "invalid table name");
        if (isSymbol(".")) {
            advance();
            ref.owner = ref.name.name;
            ref.name = identifier(903, "invalid table name");
        }
        return ref;
    }

    // ---- select ----
    void select(Statement &st)
    {
        st.kind = Statement::Kind::Select;
        advance();
        do {
            SelectItem item;
            item.offset = peek().offset;
            bool qualifiedStar =
                (peek().type == Token::Type::Word || peek().type == Token::Type::QuotedWord) &&
                peek(1).type == Token::Type::Symbol && peek(1).text == "." &&
                peek(2).type == Token::Type::Symbol && peek(2).text == "*";
            if (qualifiedStar) {
                item.qualifier = identifier(936, errors::kMissingExpression).name;
                advance(); // .
                advance(); // *
            } else if (isSymbol("*")) {
                advance();
            } else {
                int start = peek().offset;
                item.expr = expression();
                item.expr->source = sql_.substr(static_cast<std::size_t>(start),
                                                static_cast<std::size_t>(previousEnd() - start));
                if (acceptWord("AS")) {
                    Identifier a = identifier(923, errors::kFromNotFound);
                    item.alias = a.name;
                    item.aliasQuoted = a.quoted;
                } else if (peek().type == Token::Type::QuotedWord ||
                           (peek().type == Token::Type::Word && !reservedWords().count(peek().text))) {
                    Identifier a = identifier(923, errors::kFromNotFound);
                    item.alias = a.name;
                    item.aliasQuoted = a.quoted;
                }
            }
            st.items.push_back(std::move(item));
        } while (acceptSymbol(","));
        if (!acceptWord("FROM"))
            fail(923, errors::kFromNotFound, peek().offset);
        st.table = tableName();
        if (peek().type == Token::Type::QuotedWord ||
            (peek().type == Token::Type::Word && !reservedWords().count(peek().text)))
            st.table.alias = identifier(933, errors::kNotProperlyEnded).name;
        if (acceptWord("WHERE"))
            st.where = condition();
        if (acceptWord("ORDER")) {
            expectWord("BY", 924, "missing BY keyword");
            do {
                OrderItem o;
                o.expr = expression();
                if (acceptWord("DESC"))
                    o.descending = true;
                else
                    acceptWord("ASC");
                st.orderBy.push_back(std::move(o));
            } while (acceptSymbol(","));
        }
    }

    int previousEnd() const { return tokens_[pos_ == 0 ? 0 : pos_ - 1].end; }

    // ---- insert ----
    void insert(Statement &st)
    {
        st.kind = Statement::Kind::Insert;
        advance();
        expectWord("INTO", 925, "missing INTO keyword");
        st.table = tableName();
        if (acceptSymbol("(")) {
            st.hasColumnList = true;
            if (!isSymbol(")")) {
                do {
                    st.columns.push_back(columnName());
                } while (acceptSymbol(","));
            }
            expectRightParen();
        }
        if (!acceptWord("VALUES")) {
            if (isWord("SELECT"))
                fail(3001, errors::kUnimplemented, peek().offset);
            fail(926, "missing VALUES keyword", peek().offset);
        }
        expectLeftParen();
        if (!isSymbol(")")) {
            do {
                st.values.push_back(expression());
            } while (acceptSymbol(","));
        } else {
            fail(936, errors::kMissingExpression, peek().offset);
        }
        if (!acceptSymbol(")")) {
            if (peek().type == Token::Type::End)
                fail(907, errors::kMissingRightParen, peek().offset);
            fail(917, errors::kMissingComma, peek().offset);
        }
    }

    Identifier columnName()
    {
        Identifier id = identifier(904, kEmptyInvalidIdentifier);
        // A qualified column (T.C) keeps the last part.
        while (acceptSymbol("."))
            id = identifier(904, kEmptyInvalidIdentifier);
        return id;
    }

    // ---- update / delete ----
    void update(Statement &st)
    {
        st.kind = Statement::Kind::Update;
        advance();
        st.table = tableName();
        if (peek().type == Token::Type::QuotedWord || (peek().type == Token::Type::Word && !isWord("SET")))
            st.table.alias = identifier(971, "missing SET keyword").name;
        expectWord("SET", 971, "missing SET keyword");
        do {
            st.columns.push_back(columnName());
            if (!acceptSymbol("="))
                fail(927, "missing equal sign", peek().offset);
            st.values.push_back(expression());
        } while (acceptSymbol(","));
        if (acceptWord("WHERE"))
            st.where = condition();
    }

    void remove(Statement &st)
    {
        st.kind = Statement::Kind::Delete;
        advance();
        acceptWord("FROM");
        st.table = tableName();
        if (peek().type == Token::Type::QuotedWord ||
            (peek().type == Token::Type::Word && !reservedWords().count(peek().text)))
            st.table.alias = identifier(933, errors::kNotProperlyEnded).name;
        if (acceptWord("WHERE"))
            st.where = condition();
    }

    // ---- DDL ----
    void create(Statement &st)
    {
        advance();
        if (acceptWord("TABLE"))
            createTable(st);
        else if (acceptWord("USER"))
            createUser(st);
        else
            fail(901, "invalid CREATE command", peek().offset);
    }

    int integer()
    {
        const Token &t = peek();
        if (t.type != Token::Type::Number || t.text.find_first_not_of("0123456789") != std::string::npos)
            fail(2017, "integer value required", t.offset);
        advance();
        // Values too large for any length or precision are clamped; the callers' range checks reject them.
        return t.text.size() > 9 ? 999999999 : std::stoi(t.text);
    }

    int signedInteger()
    {
        bool negative = acceptSymbol("-");
        if (!negative)
            acceptSymbol("+");
        int v = integer();
        return negative ? -v : v;
    }

    void dataType(ColumnDef &c)
    {
        const Token &t = peek();
        int offset = t.offset;
        c.typeOffset = offset;
        if (t.type != Token::Type::Word)
            fail(902, errors::kInvalidDatatype, offset);
        std::string name = t.text;
        advance();
        if (name == "VARCHAR2" || name == "VARCHAR" || name == "CHAR" || name == "NVARCHAR2" ||
            name == "NCHAR" || name == "RAW") {
            if (name == "VARCHAR")
                name = "VARCHAR2";
            c.typeName = name;
            c.length = 1;
            const bool fixed = name == "CHAR" || name == "NCHAR";
            const bool semanticsAllowed = name == "VARCHAR2" || name == "CHAR";
            if (acceptSymbol("(")) {
                c.length = integer();
                if (semanticsAllowed && acceptWord("BYTE"))
                    c.semantics = ColumnDef::Semantics::Byte;
                else if (semanticsAllowed && acceptWord("CHAR"))
                    c.semantics = ColumnDef::Semantics::Char;
                expectRightParen();
            } else if (!fixed) {
                fail(906, errors::kMissingLeftParen, peek().offset);
            }
            // National types count characters of AL16UTF16 (two bytes each).
            int maxLength = name == "VARCHAR2"    ? 4000
                            : name == "NVARCHAR2" ? 2000
                            : name == "NCHAR"     ? 1000
                                                  : 2000;
            if (c.length < 1 || c.length > maxLength)
                fail(910, "specified length too long for its datatype", offset);
        } else if (name == "NUMBER" || name == "DECIMAL" || name == "NUMERIC") {
            c.typeName = "NUMBER";
            if (acceptSymbol("(")) {
                if (acceptSymbol("*"))
                    c.precision = -1;
                else {
                    c.precision = integer();
                    if (c.precision < 1 || c.precision > 38)
                        fail(1727, "numeric precision specifier is out of range (1 to 38)", offset);
                }
                if (acceptSymbol(",")) {
                    c.scale = signedInteger();
                    if (c.scale < -84 || c.scale > 127)
                        fail(1728, "numeric scale specifier is out of range (-84 to 127)", offset);
                } else if (c.precision >= 0) {
                    c.scale = 0;
                }
                expectRightParen();
            }
        } else if (name == "INTEGER" || name == "INT" || name == "SMALLINT") {
            c.typeName = "INTEGER";
            c.scale = 0;
        } else if (name == "FLOAT") {
            c.typeName = "FLOAT";
            c.precision = 126;
            if (acceptSymbol("(")) {
                c.precision = integer();
                if (c.precision < 1 || c.precision > 126)
                    fail(1724, "floating point precision is out of range (1 to 126)", offset);
                expectRightParen();
            }
        } else if (name == "DATE") {
            c.typeName = "DATE";
        } else if (name == "LONG") {
            c.typeName = acceptWord("RAW") ? "LONG RAW" : "LONG";
        } else if (name == "TIMESTAMP") {
            c.typeName = "TIMESTAMP";
            c.scale = optionalPrecision(6, offset);
            if (acceptWord("WITH")) {
                c.typeName =
                    acceptWord("LOCAL") ? "TIMESTAMP WITH LOCAL TIME ZONE" : "TIMESTAMP WITH TIME ZONE";
                expectWord("TIME");
                expectWord("ZONE");
            }
        } else if (name == "INTERVAL") {
            if (acceptWord("YEAR")) {
                c.typeName = "INTERVAL YEAR TO MONTH";
                c.precision = optionalPrecision(2, offset);
                expectWord("TO");
                expectWord("MONTH");
            } else {
                expectWord("DAY", 902, errors::kInvalidDatatype);
                c.typeName = "INTERVAL DAY TO SECOND";
                c.precision = optionalPrecision(2, offset);
                expectWord("TO");
                expectWord("SECOND");
                c.scale = optionalPrecision(6, offset);
            }
        } else if (name == "CLOB" || name == "NCLOB" || name == "BLOB" || name == "BFILE" ||
                   name == "BINARY_FLOAT" || name == "BINARY_DOUBLE" || name == "ROWID") {
            c.typeName = name;
        } else if (name == "UROWID") {
            c.typeName = name;
            c.length = 4000;
            if (acceptSymbol("(")) {
                c.length = integer();
                if (c.length < 1 || c.length > 4000)
                    fail(910, "specified length too long for its datatype", offset);
                expectRightParen();
            }
        } else if (name == "REF") {
            c.typeName = "REF";
            objectType(c, peek().offset);
        } else {
            pos_--; // the type name is read again as a possibly qualified object type
            objectType(c, offset);
            c.typeName = c.objectType;
        }
    }

    // A precision in parentheses, or the default; 0 to 9.
    int optionalPrecision(int defaultValue, int offset)
    {
        if (!acceptSymbol("("))
            return defaultValue;
        int v = integer();
        if (v > 9)
            fail(30088, "datetime/interval precision is out of range", offset);
        expectRightParen();
        return v;
    }

    // The object types a table column may have: XMLTYPE of SYS and SDO_GEOMETRY of MDSYS.
    void objectType(ColumnDef &c, int offset)
    {
        static const std::pair<const char *, const char *> known[] = {{"XMLTYPE", "SYS"},
                                                                      {"SDO_GEOMETRY", "MDSYS"}};
        const Token &t = peek();
        if (t.type != Token::Type::Word)
            fail(902, errors::kInvalidDatatype, offset);
        std::string owner, type = advance().text;
        if (acceptSymbol(".")) {
            owner = type;
            if (peek().type != Token::Type::Word)
                fail(902, errors::kInvalidDatatype, offset);
            type = advance().text;
        }
        for (const auto &[name, typeOwner] : known) {
            if (type == name && (owner.empty() || owner == typeOwner)) {
                c.objectType = name;
                c.objectOwner = typeOwner;
                return;
            }
        }
        fail(902, errors::kInvalidDatatype, offset);
    }

    void createTable(Statement &st)
    {
        st.kind = Statement::Kind::CreateTable;
        st.table = tableName();
        expectLeftParen();
        do {
            if (isWord("CONSTRAINT") || isWord("PRIMARY") || isWord("UNIQUE") || isWord("CHECK")) {
                ConstraintDef k;
                if (acceptWord("CONSTRAINT"))
                    k.name = identifier(904, kEmptyInvalidIdentifier).name;
                if (acceptWord("CHECK")) {
                    checkCondition(k);
                    st.constraints.push_back(std::move(k));
                    continue;
                }
                if (acceptWord("PRIMARY")) {
                    expectWord("KEY");
                    k.primaryKey = true;
                } else {
                    expectWord("UNIQUE");
                }
                expectLeftParen();
                do {
                    k.columns.push_back(identifier(904, kEmptyInvalidIdentifier));
                } while (acceptSymbol(","));
                expectRightParen();
                st.constraints.push_back(std::move(k));
                continue;
            }
            ColumnDef c;
            c.name = identifier(904, kEmptyInvalidIdentifier);
            dataType(c);
            columnClauses(c);
            st.columnDefs.push_back(std::move(c));
        } while (acceptSymbol(","));
        expectRightParen();
        if (acceptWord("TABLESPACE"))
            identifier(2216, "tablespace name expected");
    }

    void columnClauses(ColumnDef &c)
    {
        while (true) {
            if (acceptWord("DEFAULT")) {
                int start = peek().offset;
                ExprPtr value = expression();
                if (const Expr *column = firstColumn(*value))
                    fail(984, "column not allowed here", column->offset);
                // Oracle keeps the default's text as written, up to the next clause.
                int end = peek().offset;
                c.hasDefault = true;
                c.defaultText =
                    sql_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
                if (peek().type == Token::Type::End)
                    c.defaultText = sql_.substr(static_cast<std::size_t>(start));
                continue;
            }
            std::string constraintName;
            if (acceptWord("CONSTRAINT"))
                constraintName = identifier(904, kEmptyInvalidIdentifier).name;
            if (acceptWord("NOT")) {
                expectWord("NULL");
                c.notNull = true;
            } else if (acceptWord("NULL")) {
            } else if (acceptWord("PRIMARY")) {
                expectWord("KEY");
                c.primaryKey = true;
                c.constraintName = constraintName;
            } else if (acceptWord("UNIQUE")) {
                c.unique = true;
                c.constraintName = constraintName;
            } else if (acceptWord("CHECK")) {
                ConstraintDef k;
                k.name = constraintName;
                checkCondition(k);
                c.checks.push_back(std::move(k));
            } else {
                if (!constraintName.empty())
                    fail(2253, "constraint specification not allowed here", peek().offset);
                return;
            }
        }
    }

    // "( condition )" of a CHECK constraint; keeps the condition's text.
    void checkCondition(ConstraintDef &k)
    {
        expectLeftParen();
        int start = peek().offset;
        k.checkOffset = start;
        condition();
        int end = peek().offset;
        expectRightParen();
        k.checkText = sql_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    }

    void drop(Statement &st)
    {
        advance();
        if (acceptWord("TABLE")) {
            st.kind = Statement::Kind::DropTable;
            st.table = tableName();
            acceptWord("PURGE");
        } else if (acceptWord("USER")) {
            st.kind = Statement::Kind::DropUser;
            st.user = identifier(1935, "missing user or role name");
            st.cascade = acceptWord("CASCADE");
        } else {
            fail(950, "invalid DROP option", peek().offset);
        }
    }

    std::string password()
    {
        const Token &t = peek();
        if (t.type == Token::Type::QuotedWord) {
            advance();
            return t.text;
        }
        // An unquoted password keeps its letter case too: passwords are case-sensitive.
        if (t.type == Token::Type::Word || t.type == Token::Type::Number) {
            advance();
            return sql_.substr(static_cast<std::size_t>(t.offset),
                               static_cast<std::size_t>(t.end - t.offset));
        }
        fail(988, "missing or invalid password(s)", t.offset);
    }

    void userClauses(Statement &st, bool creating)
    {
        while (peek().type != Token::Type::End) {
            if (acceptWord("IDENTIFIED")) {
                if (acceptWord("EXTERNALLY")) {
                    st.identifiedExternally = true;
                } else {
                    expectWord("BY");
                    st.identifiedBy = true;
                    st.password = password();
                }
            } else if (acceptWord("PASSWORD")) {
                if (acceptWord("EXPIRE")) {
                    st.expire = true;
                } else if (!creating && acceptWord("GRACE")) {
                    // The development database's own statement for the grace state.
                    st.grace = true;
                    if (peek().type == Token::Type::Number)
                        st.graceDays = integer();
                } else {
                    fail(922, "missing or invalid option", peek().offset);
                }
            } else if (!creating && acceptWord("LOGON")) {
                // The development database's own statement for a warning at logon.
                expectWord("WARNING", 922, "missing or invalid option");
                st.logonWarning = true;
                if (!acceptWord("NONE")) {
                    st.logonWarningCode = integer();
                    if (st.logonWarningCode < 1 || st.logonWarningCode > 99999)
                        fail(922, "missing or invalid option", peek().offset);
                }
            } else if (acceptWord("ACCOUNT")) {
                if (acceptWord("LOCK"))
                    st.lock = true;
                else if (acceptWord("UNLOCK"))
                    st.unlock = true;
                else
                    fail(922, "missing or invalid option", peek().offset);
            } else if (acceptWord("DEFAULT") || acceptWord("TEMPORARY")) {
                expectWord("TABLESPACE");
                identifier(922, "missing or invalid option");
            } else {
                fail(922, "missing or invalid option", peek().offset);
            }
        }
    }

    void createUser(Statement &st)
    {
        st.kind = Statement::Kind::CreateUser;
        st.user = identifier(1935, "missing user or role name");
        if (!isWord("IDENTIFIED"))
            fail(924, "missing BY keyword", peek().offset);
        userClauses(st, true);
    }

    void alter(Statement &st)
    {
        advance();
        if (acceptWord("USER")) {
            st.kind = Statement::Kind::AlterUser;
            st.user = identifier(1935, "missing user or role name");
            userClauses(st, false);
            if (!st.identifiedBy && !st.identifiedExternally && !st.expire && !st.lock && !st.unlock &&
                !st.grace && !st.logonWarning)
                fail(922, "missing or invalid option", peek().offset);
        } else if (acceptWord("SESSION")) {
            st.kind = Statement::Kind::AlterSession;
            expectWord("SET", 922, "missing or invalid option");
            const Token &p = peek();
            if (p.type != Token::Type::Word)
                fail(922, "missing or invalid option", p.offset);
            st.parameter = p.text;
            advance();
            if (!acceptSymbol("="))
                fail(927, "missing equal sign", peek().offset);
            const Token &v = peek();
            if (v.type == Token::Type::End)
                fail(922, "missing or invalid option", v.offset);
            st.parameterValue = v.text;
            advance();
        } else {
            fail(940, "invalid ALTER command", peek().offset);
        }
    }

    void grant(Statement &st)
    {
        st.kind = isWord("GRANT") ? Statement::Kind::Grant : Statement::Kind::Revoke;
        advance();
        do {
            std::string privilege;
            while (peek().type == Token::Type::Word && !isWord("TO") && !isWord("FROM")) {
                privilege += (privilege.empty() ? "" : " ") + peek().text;
                advance();
            }
            if (privilege.empty())
                fail(990, "missing or invalid privilege", peek().offset);
            st.privileges.push_back(privilege);
        } while (acceptSymbol(","));
        if (st.kind == Statement::Kind::Grant)
            expectWord("TO");
        else
            expectWord("FROM");
        st.user = identifier(987, "missing or invalid username(s)");
    }

    // ---- expressions ----
    // A node with two operands; the right one is parsed by the caller after the operator.
    static ExprPtr binaryNode(Expr::Kind kind, int offset, std::string op, ExprPtr left, ExprPtr right)
    {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->offset = offset;
        e->op = std::move(op);
        e->args.push_back(std::move(left));
        e->args.push_back(std::move(right));
        return e;
    }

    ExprPtr condition()
    {
        ExprPtr left = andCondition();
        while (isWord("OR")) {
            const int offset = advance().offset;
            left = binaryNode(Expr::Kind::Or, offset, {}, std::move(left), andCondition());
        }
        return left;
    }

    ExprPtr andCondition()
    {
        ExprPtr left = notCondition();
        while (isWord("AND")) {
            const int offset = advance().offset;
            left = binaryNode(Expr::Kind::And, offset, {}, std::move(left), notCondition());
        }
        return left;
    }

    ExprPtr notCondition()
    {
        if (isWord("NOT")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Not;
            e->offset = advance().offset;
            e->args.push_back(notCondition());
            return e;
        }
        // A parenthesised condition, or an expression starting with "(".
        if (isSymbol("(")) {
            std::size_t save = pos_;
            advance();
            try {
                ExprPtr inner = condition();
                if (acceptSymbol(")") && (inner->kind >= Expr::Kind::Compare) &&
                    !(isSymbol("=") || isSymbol("<") || isSymbol(">") || isSymbol("<>") || isSymbol("!=") ||
                      isSymbol("^=") || isSymbol("<=") || isSymbol(">=") || isSymbol("+") || isSymbol("-") ||
                      isSymbol("*") || isSymbol("/") || isSymbol("||")))
                    return inner;
            } catch (const OraError &) {
            }
            pos_ = save;
        }
        return predicate();
    }

    ExprPtr predicate()
    {
        ExprPtr left = expression();
        const Token &t = peek();
        auto e = std::make_unique<Expr>();
        e->offset = t.offset;
        if (t.type == Token::Type::Symbol &&
            (t.text == "=" || t.text == "<>" || t.text == "!=" || t.text == "^=" || t.text == "<" ||
             t.text == ">" || t.text == "<=" || t.text == ">=")) {
            e->kind = Expr::Kind::Compare;
            e->op = (t.text == "!=" || t.text == "^=") ? "<>" : t.text;
            advance();
            e->args.push_back(std::move(left));
            e->args.push_back(expression());
            return e;
        }
        if (acceptWord("IS")) {
            e->kind = Expr::Kind::IsNull;
            e->negated = acceptWord("NOT");
            expectWord("NULL", 908, "missing NULL keyword");
            e->args.push_back(std::move(left));
            return e;
        }
        bool negated = false;
        if (isWord("NOT") && (isWord("LIKE", 1) || isWord("IN", 1) || isWord("BETWEEN", 1))) {
            advance();
            negated = true;
        }
        e->negated = negated;
        if (acceptWord("LIKE")) {
            e->kind = Expr::Kind::Like;
            e->args.push_back(std::move(left));
            e->args.push_back(expression());
            return e;
        }
        if (acceptWord("IN")) {
            e->kind = Expr::Kind::In;
            e->args.push_back(std::move(left));
            expectLeftParen();
            do {
                e->args.push_back(expression());
            } while (acceptSymbol(","));
            expectRightParen();
            return e;
        }
        if (acceptWord("BETWEEN")) {
            e->kind = Expr::Kind::Between;
            e->args.push_back(std::move(left));
            e->args.push_back(expression());
            expectWord("AND");
            e->args.push_back(expression());
            return e;
        }
        fail(920, "invalid relational operator", t.offset);
    }

    ExprPtr expression()
    {
        ExprPtr left = term();
        while (isSymbol("+") || isSymbol("-") || isSymbol("||")) {
            const Token &op = advance();
            left = binaryNode(Expr::Kind::Binary, op.offset, op.text, std::move(left), term());
        }
        return left;
    }

    ExprPtr term()
    {
        ExprPtr left = factor();
        while (isSymbol("*") || isSymbol("/")) {
            const Token &op = advance();
            left = binaryNode(Expr::Kind::Binary, op.offset, op.text, std::move(left), factor());
        }
        return left;
    }

    ExprPtr factor()
    {
        if (isSymbol("-") || isSymbol("+")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Unary;
            e->offset = peek().offset;
            e->op = advance().text;
            e->args.push_back(factor());
            return e;
        }
        return primary();
    }

    ExprPtr primary()
    {
        const Token &t = peek();
        auto e = std::make_unique<Expr>();
        e->offset = t.offset;
        switch (t.type) {
        case Token::Type::String:
            e->kind = Expr::Kind::Literal;
            e->stringLiteral = true;
            if (!t.text.empty()) { // '' is NULL
                e->literal.kind = Value::Kind::Text;
                e->literal.text = t.text;
            }
            advance();
            return e;
        case Token::Type::Number: {
            e->kind = Expr::Kind::Literal;
            auto d = Decimal::parse(t.text);
            e->literal.kind = Value::Kind::Number;
            e->literal.number = d ? *d : Decimal();
            advance();
            return e;
        }
        case Token::Type::Symbol:
            if (t.text == "(") {
                advance();
                ExprPtr inner = expression();
                expectRightParen();
                return inner;
            }
            fail(936, errors::kMissingExpression, t.offset);
        case Token::Type::End:
            fail(936, errors::kMissingExpression, t.offset);
        case Token::Type::QuotedWord:
            return columnReference();
        case Token::Type::Bind:
            e->kind = Expr::Kind::Bind;
            e->name.name = t.text;
            e->name.offset = t.offset;
            e->bindIndex = t.bindIndex;
            advance();
            return e;
        case Token::Type::Word:
            break;
        }
        if (t.text == "NULL") {
            e->kind = Expr::Kind::Literal;
            advance();
            return e;
        }
        if (t.text == "ROWNUM") {
            e->kind = Expr::Kind::Rownum;
            advance();
            return e;
        }
        if (t.text == "SYSDATE" || t.text == "SYSTIMESTAMP" || t.text == "USER" || t.text == "ROWID") {
            e->kind = t.text == "SYSDATE"        ? Expr::Kind::Sysdate
                      : t.text == "SYSTIMESTAMP" ? Expr::Kind::Systimestamp
                      : t.text == "USER"         ? Expr::Kind::User
                                                 : Expr::Kind::Rowid;
            advance();
            return e;
        }
        if ((t.text == "DATE" || t.text == "TIMESTAMP" || t.text == "INTERVAL") &&
            peek(1).type == Token::Type::String)
            return datetimeLiteral();
        if (peek(1).type == Token::Type::Symbol && peek(1).text == "(" && !reservedWords().count(t.text))
            return functionCall();
        if (reservedWords().count(t.text))
            fail(936, errors::kMissingExpression, t.offset);
        return columnReference();
    }

    // DATE '...', TIMESTAMP '...' and INTERVAL '...' YEAR TO MONTH | DAY TO SECOND: calls of
    // functions whose names hold blanks, so that no statement can call them by name.
    ExprPtr datetimeLiteral()
    {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Function;
        e->offset = peek().offset;
        std::string word = advance().text;
        e->name.name = word + " LITERAL";
        e->name.offset = e->offset;
        e->args.push_back(primary());
        auto number = [&](int value) {
            auto n = std::make_unique<Expr>();
            n->kind = Expr::Kind::Literal;
            n->offset = e->offset;
            n->literal.kind = Value::Kind::Number;
            n->literal.number = Decimal::fromLong(value);
            e->args.push_back(std::move(n));
        };
        if (word == "INTERVAL") {
            int start = peek().offset;
            if (acceptWord("YEAR")) {
                e->name.name = "INTERVAL YEAR TO MONTH";
                number(optionalPrecision(2, start));
                expectWord("TO");
                expectWord("MONTH");
            } else {
                expectWord("DAY");
                e->name.name = "INTERVAL DAY TO SECOND";
                number(optionalPrecision(2, start));
                expectWord("TO");
                expectWord("SECOND");
                number(optionalPrecision(6, start));
            }
        }
        return e;
    }

    ExprPtr functionCall()
    {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Function;
        e->offset = peek().offset;
        e->name.name = advance().text;
        e->name.offset = e->offset;
        advance(); // (
        if (e->name.name == "COUNT" && isSymbol("*")) {
            advance();
            e->star = true;
        } else if (!isSymbol(")")) {
            do {
                e->args.push_back(expression());
            } while (acceptSymbol(","));
        }
        expectRightParen();
        return e;
    }

    ExprPtr columnReference()
    {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Column;
        e->offset = peek().offset;
        e->name = identifier(936, errors::kMissingExpression);
        if (isSymbol(".")) {
            advance();
            e->qualifier = e->name.name;
            if (isWord("ROWID")) {
                advance();
                e->kind = Expr::Kind::Rowid;
                return e;
            }
            e->name = identifier(936, errors::kMissingExpression);
        }
        return e;
    }
};

} // namespace

std::vector<std::string> placeholderNames(const std::string &sql)
{
    // Skips what the tokenizer skips (comments, literals, quoted names) without
    // its checks: a client finds placeholders before any syntax is known.
    std::vector<std::string> names;
    std::size_t i = 0;
    const std::size_t n = sql.size();
    while (i < n) {
        char c = sql[i];
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            std::size_t e = sql.find("*/", i + 2);
            i = e == std::string::npos ? n : e + 2;
        } else if (c == '\'') {
            ++i;
            while (i < n && !(sql[i] == '\'' && !(i + 1 < n && sql[i + 1] == '\'')))
                i += sql[i] == '\'' ? 2 : 1;
            ++i;
        } else if (c == '"') {
            std::size_t e = sql.find('"', i + 1);
            i = e == std::string::npos ? n : e + 1;
        } else if (c == ':') {
            std::size_t e = placeholderNameEnd(sql, i + 1);
            if (e > i + 1)
                names.push_back(upper(sql.substr(i + 1, e - i - 1)));
            i = std::max(e, i + 1);
        } else if (isWordStart(static_cast<unsigned char>(c)) ||
                   std::isdigit(static_cast<unsigned char>(c))) {
            // A name or number: a colon inside one cannot start a placeholder.
            while (i < n && isWordChar(static_cast<unsigned char>(sql[i])))
                ++i;
        } else {
            ++i;
        }
    }
    return names;
}

std::unique_ptr<Statement> parseStatement(const std::string &sql, int maxIdentifier, int charsetId)
{
    return Parser(sql, maxIdentifier, charsetId).statement();
}

ExprPtr parseExpression(const std::string &text)
{
    return Parser(text, 128, charset::AL32UTF8).standaloneExpression();
}

ExprPtr parseCondition(const std::string &text)
{
    return Parser(text, 128, charset::AL32UTF8).standaloneCondition();
}

} // namespace devdb
