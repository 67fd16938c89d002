#pragma once
// A statement handle: the text, the engine cursor on the session it last ran
// on, the program's defines and the fetch position. The OCI7 cursor data
// area calls run on one of these as well.

#include "devdb/oci/Handles.h"
#include "devdb/oci/SqlText.h"

#include <optional>
#include <string_view>

namespace devdb::oci
{

// The outcome of an execute or fetch that did not fail: the status and, for
// OCI_SUCCESS_WITH_INFO and OCI_NO_DATA, the record the error handle gets.
struct CallResult {
    sword status = OCI_SUCCESS;
    std::optional<OraError> record;
};

struct Stmt : Handle, CursorHolder {
    explicit Stmt(Env *env) : Handle(OCI_HTYPE_STMT, env) {}
    ~Stmt() override { dropCursor(); }

    void prepare(std::string_view text);
    // Runs the statement on the session; a select with iterations > 0 also fetches that many rows.
    CallResult execute(Session &session, ub4 iterations, ub4 mode);
    // Describes a select without running it (its columns become available).
    void describe(Session &session);
    CallResult fetch(ub4 rows);

    Define *defineAt(ub4 position);
    Param *paramAt(ub4 position);
    bool freeParam(Param *param);
    bool isSelect() const { return kind.statementType == OCI_STMT_SELECT; }
    // The value of a column (1-based) in the last fetched row, or nullptr.
    const devdb::Value *lastRowValue(ub4 position) const;

    void dropCursor() override;

    std::string text;       // as the server reads it (UTF-8)
    std::string clientText; // as the program handed it over, in the client character set
    bool prepared = false;
    StatementKind kind;
    std::unique_ptr<devdb::Cursor> cursor;
    Session *cursorSession = nullptr;
    bool described = false;
    bool executed = false;
    bool endReached = false; // OCI_NO_DATA was returned; another fetch is out of sequence
    std::vector<devdb::ColumnDesc> columns;
    std::map<ub4, std::unique_ptr<Define>> defines;
    std::vector<std::unique_ptr<Param>> params;
    ub8 rowCount = 0;
    ub4 rowsFetched = 0;
    ub2 parseErrorOffset = 0;
    ub4 prefetchRows = 1;
    ub4 prefetchMemory = 0;
    std::vector<devdb::Value> row;
    bool rowValid = false;

    // The database character set of the session the statement last ran on.
    int databaseCharset() const;
    // The client character set a column's text arrives in (the national one for NCHAR columns).
    int clientCharsetOf(const devdb::ColumnDesc &column) const;

private:
    ub2 clientOffset(int serverOffset) const;
    void openCursor(Session &session);
    void runCursor();
    bool storeRow(ub4 index);
    bool storeDynamic(Define &define, ub4 index, const devdb::Value &value);
    void storeLocator(Define &define, ub4 index, const devdb::Value &value);
};

} // namespace devdb::oci
