#pragma once
// A statement handle: the text, the engine cursor on the session it last ran
// on, the program's defines and the fetch position. The OCI7 cursor data
// area calls run on one of these as well.

#include "devdb/oci/Handles.h"
#include "devdb/oci/SqlText.h"

#include <deque>
#include <optional>
#include <string_view>

namespace devdb::oci
{

// The outcome of an execute or fetch that did not fail: the status and, for
// OCI_SUCCESS_WITH_INFO and OCI_NO_DATA, the record the error handle gets;
// in batch error mode the rows that failed.
struct CallResult {
    sword status = OCI_SUCCESS;
    std::optional<OraError> record;
    std::vector<RowError> rowErrors;
};

struct Stmt : Handle, CursorHolder {
    explicit Stmt(Env *env) : Handle(OCI_HTYPE_STMT, env) {}
    ~Stmt() override { dropCursor(); }

    void prepare(std::string_view text);
    // Runs the statement on the session in one round trip. A DML statement runs
    // once for each element rowOffset .. iterations-1 of the bound arrays; a
    // select runs once and brings iterations rows (plus the prefetch rows).
    CallResult execute(Session &session, ub4 iterations, ub4 rowOffset, ub4 mode);
    // Describes a select without running it (its columns become available): one round trip.
    void describe(Session &session);
    // Hands the program rows; a round trip only when the rows already received do not suffice.
    CallResult fetch(ub4 rows);

    // The bind handle for a placeholder by position (1-based) or by name
    // (":name" or "name", any letter case): the one bound there before, else
    // the program's handle given, else a new one.
    Bind *bindAt(Bind *given, ub4 position, std::string_view name);
    Define *defineAt(ub4 position);
    Param *paramAt(ub4 position);
    bool freeParam(Param *param);
    bool isSelect() const { return kind.statementType == OCI_STMT_SELECT; }
    // The value of a column (1-based) in the last fetched row, or nullptr.
    const devdb::Value *lastRowValue(ub4 position) const;

    void dropCursor() override;

    std::string text;                      // as the server reads it (UTF-8)
    std::string clientText;                // as the program handed it over, in the client character set
    std::vector<std::string> placeholders; // by occurrence, upper-cased
    bool prepared = false;
    bool parsed = false; // the server has parsed the text for the current cursor
    StatementKind kind;
    std::unique_ptr<devdb::Cursor> cursor;
    Session *cursorSession = nullptr;
    bool described = false;
    bool executed = false;
    bool endReached = false; // OCI_NO_DATA was returned; another fetch is out of sequence
    std::vector<devdb::ColumnDesc> columns;
    std::map<ub4, std::unique_ptr<Define>> defines;
    std::vector<std::unique_ptr<Bind>> binds;
    std::vector<std::unique_ptr<Param>> params;
    ub8 rowCount = 0;
    ub4 rowsFetched = 0;
    ub2 parseErrorOffset = 0;
    ub4 dmlErrors = 0; // rows that failed in batch error mode
    ub4 failedRow = 0; // the element whose row ended the last array execution
    ub4 prefetchRows = 1;
    ub4 prefetchMemory = 0;
    // Rows of a select the server has sent that the program has not fetched yet.
    std::deque<std::vector<devdb::Value>> received;
    bool serverDone = false; // the server has sent the last row
    std::vector<devdb::Value> row;
    bool rowValid = false;

    // The database character set of the session the statement last ran on.
    int databaseCharset() const;
    // The client character set a column's text arrives in (the national one for NCHAR columns).
    int clientCharsetOf(const devdb::ColumnDesc &column) const;

private:
    ub2 clientOffset(int serverOffset) const;
    void openCursor(Session &session);
    // Has the server parse the text once per cursor, counting a hard or soft parse.
    void parseOnce(Session &session);
    void runCursor();
    // The bind of each placeholder occurrence (ORA-01036, ORA-01008 when they do not fit).
    std::vector<const Bind *> bindsByOccurrence() const;
    void sendBinds(const std::vector<const Bind *> &slots, ub4 row);
    CallResult executeDml(Session &session, ub4 iterations, ub4 rowOffset, ub4 mode);
    // Takes up to rows rows from the server within the current round trip.
    void receive(ub8 rows);
    CallResult deliver(ub4 rows);
    bool storeRow(ub4 index);
    bool storeDynamic(Define &define, ub4 index, const devdb::Value &value);
    void storeLocator(Define &define, ub4 index, const devdb::Value &value);
};

} // namespace devdb::oci
