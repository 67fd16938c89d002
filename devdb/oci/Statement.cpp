#include "devdb/oci/Statement.h"

#include "devdb/engine/Charset.h"
#include "devdb/oci/Binds.h"
#include "devdb/oci/Values.h"

#include <algorithm>
#include <cstring>

namespace devdb::oci
{

void Stmt::prepare(std::string_view sql)
{
    dropCursor();
    clientText.assign(sql);
    text = devdb::decodeText(sql, env->client.charsetId);
    kind = classifyStatement(text);
    placeholders = devdb::placeholderNames(text);
    // Binds belong to the placeholders of the text prepared before.
    binds.clear();
    prepared = true;
    described = executed = endReached = rowValid = false;
    columns.clear();
    rowCount = 0;
    rowsFetched = 0;
    parseErrorOffset = 0;
    dmlErrors = 0;
}

void Stmt::dropCursor()
{
    cursor.reset();
    if (cursorSession) {
        cursorSession->cursors.erase(this);
        cursorSession = nullptr;
    }
    executed = false;
    parsed = false;
    rowValid = false;
    received.clear();
    serverDone = false;
}

void Stmt::openCursor(Session &session)
{
    if (cursor && cursorSession == &session)
        return;
    dropCursor();
    cursor = session.engine->prepare(text);
    cursorSession = &session;
    session.cursors.insert(this);
}

void Stmt::parseOnce(Session &session)
{
    openCursor(session);
    if (parsed)
        return;
    const std::string &database = session.server ? session.server->databasePath : std::string();
    const std::string user = session.engine->userName();
    bool known = devdb::oci::parsedBefore(database, user, text);
    try {
        cursor->parse();
        if (isSelect()) {
            columns = cursor->columns();
            described = true;
        }
    } catch (const OraError &e) {
        // A text that does not parse is parsed in full every time.
        session.statistics->parse(true);
        parseErrorOffset = clientOffset(e.parseOffset);
        throw;
    }
    session.statistics->parse(!known);
    if (!known)
        rememberParsed(database, user, text);
    parsed = true;
}

void Stmt::runCursor()
{
    try {
        cursor->execute();
    } catch (const OraError &e) {
        parseErrorOffset = clientOffset(e.parseOffset);
        throw;
    }
}

// The server counts the offset in its own text; the client's text may take other bytes.
ub2 Stmt::clientOffset(int serverOffset) const
{
    std::size_t offset = std::min(static_cast<std::size_t>(std::max(serverOffset, 0)), text.size());
    return static_cast<ub2>(
        devdb::encodedLength(std::string_view(text).substr(0, offset), env->client.charsetId));
}

int Stmt::databaseCharset() const
{
    return cursorSession && cursorSession->engine ? cursorSession->engine->databaseCharset()
                                                  : devdb::charset::AL32UTF8;
}

int Stmt::clientCharsetOf(const devdb::ColumnDesc &column) const
{
    return column.charsetForm == 2 ? env->client.ncharsetId : env->client.charsetId;
}

void Stmt::describe(Session &session)
{
    if (!prepared)
        throw clientError(kNotPrepared);
    session.roundTrip();
    parseOnce(session);
}

std::vector<const Bind *> Stmt::bindsByOccurrence() const
{
    std::vector<const Bind *> slots(placeholders.size(), nullptr);
    for (const auto &b : binds) {
        if (b->position == 0)
            continue;
        if (b->position > placeholders.size())
            throw clientError(kIllegalVariable);
        slots[b->position - 1] = b.get();
    }
    // A bind by name serves every occurrence of the name not bound by position.
    for (const auto &b : binds) {
        if (b->position != 0)
            continue;
        for (std::size_t i = 0; i < slots.size(); ++i)
            if (!slots[i] && placeholders[i] == b->name)
                slots[i] = b.get();
    }
    for (const Bind *slot : slots)
        if (!slot)
            throw clientError(kNotAllBound);
    return slots;
}

void Stmt::sendBinds(const std::vector<const Bind *> &slots, ub4 row)
{
    std::vector<devdb::BindValue> values;
    values.reserve(slots.size());
    for (const Bind *slot : slots)
        values.push_back(bindValue(*slot, row));
    cursor->setBinds(std::move(values));
}

CallResult Stmt::execute(Session &session, ub4 iterations, ub4 rowOffset, ub4 mode)
{
    if (!prepared)
        throw clientError(kNotPrepared);
    parseErrorOffset = 0;
    executed = endReached = rowValid = false;
    rowCount = 0;
    rowsFetched = 0;
    dmlErrors = 0;
    failedRow = 0;
    if (!isSelect() && iterations == 0 && !(mode & OCI_DESCRIBE_ONLY))
        throw clientError(kZeroIterations);
    session.roundTrip();
    parseOnce(session);
    if (mode & (OCI_DESCRIBE_ONLY | OCI_PARSE_ONLY))
        return {};
    if (!isSelect())
        return executeDml(session, iterations, rowOffset, mode);
    auto slots = bindsByOccurrence();
    session.statistics->execution();
    received.clear();
    serverDone = false;
    sendBinds(slots, 0);
    runCursor();
    columns = cursor->columns();
    executed = true;
    // The execution brings the rows asked for and the prefetch rows with it.
    receive(ub8(iterations) + prefetchRows);
    return iterations > 0 ? deliver(iterations) : CallResult{};
}

// Each element of the bound arrays runs as a statement of its own: a failing
// one undoes only itself. Without batch errors the first failure ends the
// execution (the rows before it stay done); with them every row is tried.
CallResult Stmt::executeDml(Session &session, ub4 iterations, ub4 rowOffset, ub4 mode)
{
    auto slots = bindsByOccurrence();
    session.statistics->execution();
    CallResult result;
    const bool batch = (mode & OCI_BATCH_ERRORS) != 0;
    for (ub4 row = rowOffset; row < iterations; ++row) {
        try {
            sendBinds(slots, row);
            runCursor();
            rowCount += cursor->rowCount();
        } catch (const OraError &e) {
            if (batch) {
                result.rowErrors.push_back({row, e});
                continue;
            }
            // The failed row's offset is read where a parse error's offset is.
            if (e.parseOffset == 0)
                parseErrorOffset = static_cast<ub2>(row);
            failedRow = row;
            session.statistics->rowsProcessed(rowCount);
            throw;
        }
    }
    session.statistics->rowsProcessed(rowCount);
    executed = true;
    dmlErrors = static_cast<ub4>(result.rowErrors.size());
    if (dmlErrors > 0) {
        result.status = OCI_SUCCESS_WITH_INFO;
        OraError summary = clientError(kArrayDmlErrors);
        summary.warning = true;
        result.record = summary;
        return result;
    }
    if (mode & OCI_COMMIT_ON_SUCCESS)
        session.engine->commit();
    return result;
}

void Stmt::receive(ub8 rows)
{
    ub8 taken = 0;
    for (; taken < rows && !serverDone; ++taken) {
        std::vector<devdb::Value> next;
        if (!cursor->fetch(next)) {
            serverDone = true;
            break;
        }
        received.push_back(std::move(next));
    }
    if (cursorSession)
        cursorSession->statistics->rowsProcessed(taken);
}

CallResult Stmt::fetch(ub4 rows)
{
    if (!executed || !isSelect())
        throw clientError(endReached ? kFetchOutOfSequence : kNotExecuted);
    if (endReached)
        throw clientError(kFetchOutOfSequence);
    if (rows == 0) { // cancels the cursor
        endReached = true;
        rowsFetched = 0;
        return {};
    }
    if (received.size() < rows && !serverDone) {
        cursorSession->roundTrip();
        receive(std::max<ub8>(rows - received.size(), prefetchRows));
    }
    return deliver(rows);
}

CallResult Stmt::deliver(ub4 rows)
{
    bool truncated = false;
    ub4 n = 0;
    for (; n < rows && !received.empty(); ++n) {
        row = std::move(received.front());
        received.pop_front();
        rowValid = true;
        truncated |= storeRow(n);
        ++rowCount;
    }
    rowsFetched = n;
    if (n < rows) {
        endReached = true;
        return {OCI_NO_DATA, clientError(kNoDataFound), {}};
    }
    if (truncated)
        return {OCI_SUCCESS_WITH_INFO, clientError(kTruncationWarning), {}};
    return {};
}

const devdb::Value *Stmt::lastRowValue(ub4 position) const
{
    if (!rowValid || position == 0 || position > row.size())
        return nullptr;
    return &row[position - 1];
}

Bind *Stmt::bindAt(Bind *given, ub4 position, std::string_view name)
{
    std::string key;
    if (position == 0) {
        if (!name.empty() && name.front() == ':')
            name.remove_prefix(1);
        key = devdb::upperText(name);
        if (std::find(placeholders.begin(), placeholders.end(), key) == placeholders.end())
            throw clientError(kIllegalVariable);
    }
    auto same = std::find_if(binds.begin(), binds.end(), [&](const auto &b) {
        return position ? b->position == position : b->position == 0 && b->name == key;
    });
    Bind *bind = nullptr;
    if (same != binds.end()) {
        bind = same->get();
    } else if (given && given->stmt == this) {
        bind = given;
    } else {
        binds.push_back(std::make_unique<Bind>(env, this));
        bind = binds.back().get();
    }
    bind->position = position;
    bind->name = key;
    return bind;
}

Define *Stmt::defineAt(ub4 position)
{
    auto &slot = defines[position];
    if (!slot) {
        slot = std::make_unique<Define>(env, this);
        slot->position = position;
    }
    return slot.get();
}

Param *Stmt::paramAt(ub4 position)
{
    if (!described)
        throw clientError(kNotExecuted);
    if (position == 0 || position > columns.size())
        throw clientError(kNoDescriptor);
    params.push_back(std::make_unique<Param>(env, this, position, columns[position - 1]));
    const devdb::ColumnDesc &column = columns[position - 1];
    params.back()->clientName = devdb::encodeText(column.name, env->client.charsetId);
    params.back()->clientTypeName = devdb::encodeText(column.typeName, env->client.charsetId);
    params.back()->clientSchemaName = devdb::encodeText(column.typeOwner, env->client.charsetId);
    return params.back().get();
}

bool Stmt::freeParam(Param *param)
{
    auto it = std::find_if(params.begin(), params.end(), [&](const auto &p) { return p.get() == param; });
    if (it == params.end())
        return false;
    params.erase(it);
    return true;
}

namespace
{

template <class T> T *element(void *base, ub4 skip, ub4 index)
{
    return base ? reinterpret_cast<T *>(static_cast<char *>(base) + std::size_t(skip) * index) : nullptr;
}

} // namespace

bool Stmt::storeRow(ub4 index)
{
    bool truncated = false;
    for (auto &[position, define] : defines) {
        if (position > row.size())
            throw clientError(kNotInSelectList);
        const devdb::Value &value = row[position - 1];
        if (position <= columns.size())
            checkDefine(columns[position - 1], define->type);
        if (define->mode == OCI_DYNAMIC_FETCH) {
            truncated |= storeDynamic(*define, index, value);
            continue;
        }
        if (define->type == SQLT_CLOB || define->type == SQLT_BLOB || define->type == SQLT_BFILEE) {
            storeLocator(*define, index, value);
            continue;
        }
        ValueSlot slot;
        ub4 valueSkip =
            define->valueSkip ? define->valueSkip : static_cast<ub4>(std::max(define->valueSize, 0));
        slot.buffer = element<char>(define->value, valueSkip, index);
        slot.size = define->valueSize;
        slot.type = define->type;
        slot.columnType = position <= columns.size() ? columns[position - 1].type : devdb::OraType::Date;
        slot.charsetId =
            position <= columns.size() ? clientCharsetOf(columns[position - 1]) : env->client.charsetId;
        slot.indicator =
            element<sb2>(define->indicators, define->indicatorSkip ? define->indicatorSkip : 2, index);
        slot.length = element<ub2>(define->lengths, define->lengthSkip ? define->lengthSkip : 2, index);
        slot.returnCode =
            element<ub2>(define->returnCodes, define->returnCodeSkip ? define->returnCodeSkip : 2, index);
        truncated |= storeValue(value, slot, cursorSession->engine.get());
    }
    return truncated;
}

// A LOB define's buffer holds the program's locator pointers; the value is
// copied into the locator of the row.
void Stmt::storeLocator(Define &define, ub4 index, const devdb::Value &value)
{
    // A buffer too small for a pointer holds no locators (the program defined the wrong type).
    if (define.valueSize > 0 && static_cast<std::size_t>(define.valueSize) < sizeof(void *))
        throw clientError(kInvalidLobLocator);
    ub4 skip = define.valueSkip ? define.valueSkip : static_cast<ub4>(sizeof(void *));
    void **slot = element<void *>(define.value, skip, index);
    auto *locator =
        slot ? handleCast<LobLocator>(*slot, define.type == SQLT_BFILEE ? OCI_DTYPE_FILE : OCI_DTYPE_LOB)
             : nullptr;
    if (!locator && slot)
        locator = handleCast<LobLocator>(*slot, define.type == SQLT_BFILEE ? OCI_DTYPE_LOB : OCI_DTYPE_FILE);
    if (!locator)
        throw clientError(kInvalidLobLocator);
    auto *indicator = element<sb2>(define.indicators, define.indicatorSkip ? define.indicatorSkip : 2, index);
    auto *returnCode =
        element<ub2>(define.returnCodes, define.returnCodeSkip ? define.returnCodeSkip : 2, index);
    const devdb::ColumnDesc &column = columns[define.position - 1];
    locator->polling = false;
    if (value.kind == devdb::Value::Kind::Null) {
        if (!indicator)
            throw clientError(kNullFetched);
        *indicator = -1;
        if (returnCode)
            *returnCode = kNullFetched;
        locator->initialized = false;
        return;
    }
    if (indicator)
        *indicator = 0;
    if (returnCode)
        *returnCode = 0;
    locator->initialized = true;
    locator->type = column.type;
    locator->charsetForm = column.charsetForm;
    locator->databaseCharset = databaseCharset();
    locator->data.clear();
    locator->directory.clear();
    locator->fileName.clear();
    if (column.type == devdb::OraType::Bfile) {
        auto separator = value.text.find('\0');
        locator->directory = value.text.substr(0, separator);
        locator->fileName = separator == std::string::npos ? std::string() : value.text.substr(separator + 1);
    } else {
        locator->data = value.text;
    }
}

// Hands a value to the program piece by piece through its define callback:
// each call gets a buffer, we fill it and say how much we put there.
bool Stmt::storeDynamic(Define &define, ub4 index, const devdb::Value &value)
{
    if (!define.callback)
        throw clientError(kUnimplemented);
    bool isNull = value.kind == devdb::Value::Kind::Null;
    const devdb::ColumnDesc *column =
        define.position <= columns.size() ? &columns[define.position - 1] : nullptr;
    std::string bytes = isNull ? std::string()
                               : valueAsBytes(value, define.type, cursorSession->engine.get(),
                                              column ? column->type : devdb::OraType::Date,
                                              column ? clientCharsetOf(*column) : env->client.charsetId);
    std::size_t offset = 0;
    ub1 piece = OCI_FIRST_PIECE;
    int emptyBuffers = 0;
    for (;;) {
        void *buffer = nullptr;
        ub4 *length = nullptr;
        void *indicator = nullptr;
        ub2 *returnCode = nullptr;
        sb4 rc = define.callback(define.callbackContext, reinterpret_cast<OCIDefine *>(&define), index,
                                 &buffer, &length, &piece, &indicator, &returnCode);
        if (rc != OCI_CONTINUE)
            throw clientError(kCallbackError);
        auto *ind = static_cast<sb2 *>(indicator);
        if (isNull) {
            if (!ind)
                throw clientError(kNullFetched);
            *ind = -1;
            if (length)
                *length = 0;
            if (returnCode)
                *returnCode = kNullFetched;
            return false;
        }
        ub4 room = (length && buffer) ? *length : 0;
        std::size_t n = std::min<std::size_t>(room, bytes.size() - offset);
        if (n > 0)
            std::memcpy(buffer, bytes.data() + offset, n);
        offset += n;
        if (length)
            *length = static_cast<ub4>(n);
        if (ind)
            *ind = 0;
        if (returnCode)
            *returnCode = 0;
        if (offset >= bytes.size())
            return false;
        if (n == 0 && ++emptyBuffers > 1) {
            if (ind)
                *ind = -2;
            if (returnCode)
                *returnCode = kTruncated;
            return true;
        }
        piece = OCI_NEXT_PIECE;
    }
}

} // namespace devdb::oci
