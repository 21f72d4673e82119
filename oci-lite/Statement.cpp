#include "oci-lite/Statement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "oci-lite/BinaryOrderRewrite.h"
#include "oci-lite/CursorSharing.h"
#include "oci-lite/Diagnostics.h"
#include "oci-lite/Limits.h"
#include "oci-lite/NlsSettings.h"

namespace ocilite {

namespace {

// Integer widths that SQLT_INT accepts.
bool IsIntegerSize(sb4 size)
{
    return size == 1 || size == 2 || size == 4 || size == 8;
}

// Converts a value to an integer as Oracle converts a NUMBER or a numeric text.
OraError ToInteger(const ValueView& value, long long* result)
{
    switch (value.kind) {
    case Value::kInteger:
        *result = value.integer;
        return OraError();
    case Value::kReal:
        if (!(std::fabs(value.real) < 9.2e18))
            return MakeOraError(kOraIntegerOverflow);
        *result = std::llround(value.real);
        return OraError();
    default: {
        const std::string text(value.text);
        const char* begin = text.c_str();
        char* end = nullptr;
        double number = std::strtod(begin, &end);
        while (end != nullptr && (*end == ' ' || *end == '\t'))
            ++end;
        if (end == begin || end == nullptr || *end != '\0')
            return MakeOraError(kOraInvalidNumber);
        if (!(std::fabs(number) < 9.2e18))
            return MakeOraError(kOraIntegerOverflow);
        *result = std::llround(number);
        return OraError();
    }
    }
}

// Converts a value to a floating point number.
OraError ToReal(const ValueView& value, double* result)
{
    if (value.kind == Value::kInteger) {
        *result = static_cast<double>(value.integer);
        return OraError();
    }
    if (value.kind == Value::kReal) {
        *result = value.real;
        return OraError();
    }
    const std::string text(value.text);
    char* end = nullptr;
    *result = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0')
        return MakeOraError(kOraInvalidNumber);
    return OraError();
}

// Stores an integer into a buffer of 1, 2, 4 or 8 bytes, refusing values that do not fit.
OraError StoreInteger(long long number, void* target, sb4 size)
{
    switch (size) {
    case 1: {
        if (number < -128 || number > 127)
            return MakeOraError(kOraIntegerOverflow);
        signed char narrow = static_cast<signed char>(number);
        std::memcpy(target, &narrow, 1);
        return OraError();
    }
    case 2: {
        if (number < -32768 || number > 32767)
            return MakeOraError(kOraIntegerOverflow);
        short narrow = static_cast<short>(number);
        std::memcpy(target, &narrow, 2);
        return OraError();
    }
    case 4: {
        if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) {
            return MakeOraError(kOraIntegerOverflow);
        }
        int narrow = static_cast<int>(number);
        std::memcpy(target, &narrow, 4);
        return OraError();
    }
    default:
        std::memcpy(target, &number, 8);
        return OraError();
    }
}

// Reads element `element` of a bind as a signed integer of its size.
long long LoadInteger(const char* source, sb4 size)
{
    switch (size) {
    case 1: {
        signed char v;
        std::memcpy(&v, source, 1);
        return v;
    }
    case 2: {
        short v;
        std::memcpy(&v, source, 2);
        return v;
    }
    case 4: {
        int v;
        std::memcpy(&v, source, 4);
        return v;
    }
    default: {
        long long v;
        std::memcpy(&v, source, 8);
        return v;
    }
    }
}

}  // namespace

// Runs at OCIDefineByPos.
bool IsSupportedDefine(ub2 type, sb4 size)
{
    switch (type) {
    case SQLT_CHR:
    case SQLT_STR:
    case SQLT_AFC:
    case SQLT_AVC:
    case SQLT_LNG:
        return size >= 0;
    case SQLT_INT:
        return IsIntegerSize(size);
    case SQLT_FLT:
        return size == 4 || size == 8;
    default:
        return false;
    }
}

// Runs at OCIBindByPos.
bool IsSupportedBind(ub2 type, sb4 size)
{
    return IsSupportedDefine(type, size);
}

// Runs for each defined column of each delivered row.
OraError DeliverValue(const ValueView& value, const DefineSlot& define, ub4 element,
                      bool* truncated)
{
    char* target = static_cast<char*>(define.value) + static_cast<size_t>(define.size) * element;
    sb2* indicator = define.indicator ? define.indicator + element : nullptr;
    ub2* length = define.length ? define.length + element : nullptr;
    ub2* returnCode = define.returnCode ? define.returnCode + element : nullptr;
    size_t size = static_cast<size_t>(define.size);

    if (value.kind == Value::kNull) {
        if (returnCode)
            *returnCode = kOraFetchedNull;
        if (length)
            *length = 0;
        if (indicator == nullptr)
            return MakeOraError(kOraFetchedNull);
        *indicator = -1;
        return OraError();
    }

    // A length argument is a ub2: a value longer than it can tell is cut there and reported.
    size_t lengthLimit = length != nullptr ? 0xffff : static_cast<size_t>(-1);
    size_t delivered = 0;
    bool cut = false;
    switch (define.type) {
    case SQLT_INT: {
        long long number = 0;
        OraError error = ToInteger(value, &number);
        if (!error.IsError())
            error = StoreInteger(number, target, define.size);
        if (error.IsError())
            return error;
        delivered = size;
        break;
    }
    case SQLT_FLT: {
        double number = 0;
        OraError error = ToReal(value, &number);
        if (error.IsError())
            return error;
        if (size == 4) {
            float narrow = static_cast<float>(number);
            std::memcpy(target, &narrow, 4);
        } else {
            std::memcpy(target, &number, 8);
        }
        delivered = size;
        break;
    }
    case SQLT_STR:
    case SQLT_AVC: {
        // Room for the terminating zero comes out of the buffer.
        size_t room = std::min(size > 0 ? size - 1 : 0, lengthLimit);
        delivered = value.text.size() <= room ? value.text.size() : room;
        cut = value.text.size() > room;
        std::memcpy(target, value.text.data(), delivered);
        if (define.type == SQLT_AVC) {
            std::memset(target + delivered, ' ', room - delivered);
            delivered = room;
        }
        if (size > 0)
            target[delivered] = '\0';
        break;
    }
    default: {  // SQLT_CHR, SQLT_LNG, SQLT_AFC: length-specified, no terminator
        size_t room = std::min(size, lengthLimit);
        delivered = value.text.size() <= room ? value.text.size() : room;
        cut = value.text.size() > room;
        std::memcpy(target, value.text.data(), delivered);
        if (define.type == SQLT_AFC) {
            std::memset(target + delivered, ' ', room - delivered);
            delivered = room;
        }
        break;
    }
    }

    if (length)
        *length = static_cast<ub2>(delivered);
    if (cut) {
        *truncated = true;
        if (indicator)
            *indicator = value.text.size() > 32767 ? -2 : static_cast<sb2>(value.text.size());
        if (returnCode)
            *returnCode = kOraFetchedTruncated;
    } else {
        if (indicator)
            *indicator = 0;
        if (returnCode)
            *returnCode = 0;
    }
    return OraError();
}

// Runs at OCIStmtPrepare.
void Statement::Prepare(const std::string& sql)
{
    m_sql = sql;
    m_prepared = true;
    m_executed = false;
    m_ranOnce = false;
    m_isQuery = false;
    m_endReached = false;
    m_finished = false;
    m_cache.Clear();
    m_held = false;
    m_pendingError = OraError();
    m_cursor.Finalize();
}

// Runs at execute: reads the caller's bind buffers now, not earlier.
OraError Statement::ApplyBinds(const std::map<ub4, BindSlot>& binds, ub4 element)
{
    int parameters = m_cursor.ParameterCount();
    if (!binds.empty() && binds.rbegin()->first > static_cast<ub4>(parameters)) {
        return MakeOraError(kOraIllegalVariable);
    }
    for (int position = 1; position <= parameters; ++position) {
        auto it = binds.find(static_cast<ub4>(position));
        if (it == binds.end())
            return MakeOraError(kOraNotAllBound);
        const BindSlot& bind = it->second;
        const char* source = bind.value ? static_cast<const char*>(bind.value) +
                                              static_cast<size_t>(bind.size) * element
                                        : nullptr;
        bool isNull = source == nullptr || (bind.indicator && bind.indicator[element] == -1);
        size_t length = bind.length ? bind.length[element] : static_cast<size_t>(bind.size);
        if (length > static_cast<size_t>(bind.size))
            length = static_cast<size_t>(bind.size);
        OraError error;
        if (isNull) {
            error = m_cursor.BindNull(position);
        } else if (bind.type == SQLT_INT) {
            error = m_cursor.BindInteger(position, LoadInteger(source, bind.size));
        } else if (bind.type == SQLT_FLT) {
            double number = 0;
            if (bind.size == 4) {
                float narrow;
                std::memcpy(&narrow, source, 4);
                number = narrow;
            } else {
                std::memcpy(&number, source, 8);
            }
            error = m_cursor.BindReal(position, number);
        } else {
            if (bind.type == SQLT_STR || bind.type == SQLT_AVC) {
                const void* zero = std::memchr(source, '\0', length);
                if (zero)
                    length = static_cast<size_t>(static_cast<const char*>(zero) - source);
            }
            // Oracle keeps no empty strings: a zero-length text is NULL.
            error = length == 0
                        ? m_cursor.BindNull(position)
                        : m_cursor.BindText(position, ToDatabase(std::string(source, length)));
        }
        if (error.IsError())
            return error;
    }
    return OraError();
}

// Runs at OCIStmtExecute.
CallResult Statement::Execute(const std::shared_ptr<Database>& database,
                              const std::map<ub4, BindSlot>& binds,
                              const std::map<ub4, DefineSlot>& defines, ub4 iters,
                              bool describeOnly)
{
    CallResult result;
    Database::Call call(*database);
    m_executed = false;
    m_finished = false;
    m_rowsFetched = 0;
    m_rowCount = 0;
    m_endReached = false;
    m_cache.Clear();
    m_held = false;
    m_pendingError = OraError();

    if (IsAlterSession(m_sql))
        return AlterSession(database, call);
    if (database)
        m_databaseSet = database->Charset();
    std::string sql = BinaryEqualityRewrite::Apply(
        BinaryOrderRewrite::Apply(SessionUserRewrite::Apply(ToDatabase(m_sql))));
    if (database && database->ForcesCursorSharing() && !CursorSharing::KeepsLiterals(sql))
        sql = CursorSharing::ReplaceLiterals(sql);
    OraError error = m_cursor.Prepare(database, sql);
    if (error.IsError()) {
        Database::Call::Trip trip = call.RoundTrip(false);  // the server parsed it and said no
        if (trip != Database::Call::Trip::kDone)
            return Cancel(call);
        result.status = OCI_ERROR;
        result.record = error;
        return result;
    }
    m_isQuery = m_cursor.IsQuery();
    m_ranOnce = true;
    m_definedRowBytes = 0;
    m_longColumns.assign(static_cast<size_t>(m_cursor.ColumnCount()), false);
    m_selectsLong = false;
    for (int i = 0; i < m_cursor.ColumnCount(); ++i) {
        m_longColumns[static_cast<size_t>(i)] = m_cursor.IsLongColumn(i);
        m_selectsLong = m_selectsLong || m_longColumns[static_cast<size_t>(i)];
    }
    if (!describeOnly) {
        if (!m_isQuery && iters == 0)
            error = MakeOraError(kOraZeroIterations);
        if (m_isQuery && iters > 0 && defines.empty())
            error = MakeOraError(kOraDefineNotDone);
        if (!error.IsError() && !defines.empty() &&
            defines.rbegin()->first > static_cast<ub4>(m_cursor.ColumnCount())) {
            error = MakeOraError(kOraNotInSelectList);
        }
        if (error.IsError()) {
            result.status = OCI_ERROR;
            result.record = error;
            return result;
        }
    }
    if (call.RoundTrip(!describeOnly) != Database::Call::Trip::kDone)
        return Cancel(call);
    if (describeOnly)
        return result;

    if (!m_isQuery) {
        for (ub4 i = 0; i < iters && !error.IsError(); ++i) {
            m_cursor.Reset();
            error = ApplyBinds(binds, i);
            Row ignored;
            bool done = false;
            while (!error.IsError() && !done)
                error = m_cursor.Step(&ignored, &done);
        }
        if (call.WasBroken())
            return Cancel(call);
        if (error.IsError()) {
            result.status = OCI_ERROR;
            result.record = error;
        }
        return result;
    }

    error = ApplyBinds(binds, 0);
    if (error.IsError()) {
        result.status = OCI_ERROR;
        result.record = error;
        return result;
    }
    m_executed = true;
    // The execute's own trip brings the first rows back; more trips follow while the requested
    // rows have not all come.
    CarryTrip(iters);
    if (call.WasBroken())
        return Cancel(call);
    while (NeedsAnotherTrip(iters)) {
        if (call.RoundTrip(true) != Database::Call::Trip::kDone)
            return Cancel(call);
        CarryTrip(iters);
        if (call.WasBroken())
            return Cancel(call);
    }
    if (iters == 0)
        return result;
    return Deliver(defines, iters);
}

// A break (or the time budget) ended the call: its rows are dropped, the cursor is done, and a
// break's answer takes one more round trip.
CallResult Statement::Cancel(Database::Call& call)
{
    if (call.WasBroken())
        call.CarryBreak();
    m_cache.Clear();
    m_held = false;
    m_pendingError = OraError();
    m_finished = true;
    CallResult result;
    result.status = OCI_ERROR;
    result.record = MakeOraError(kOraUserCancel);
    return result;
}

namespace {

// What this library holds of a row: the bytes of its values (numbers as printed, NULL nothing).
size_t RowBytes(const Row& row)
{
    size_t bytes = 0;
    for (const Value& value : row)
        bytes += value.text.size();
    return bytes;
}

constexpr size_t kLongestVarchar2 = 4000;

// The defined size of a dictionary column; 0 for any other name.
// A dictionary column's definition: its size in the database set's bytes, and whether it is a
// NUMBER (whose buffer no character set changes).
struct DictionaryColumn {
    const char* name;
    size_t bytes;
    bool number;
};

const DictionaryColumn* FindDictionaryColumn(const std::string& name)
{
    static const DictionaryColumn kColumns[] = {
        {"TEXT", kLongestVarchar2, false},
        {"NAME", 128, false},
        {"OBJECT_NAME", 128, false},
        {"OWNER", 128, false},
        {"TYPE", 12, false},
        {"OBJECT_TYPE", 23, false},
        {"LINE", 22, true},
        {"STATUS", 7, false},
        {"DUMMY", 1, false},
        {"VIEW_NAME", 128, false},
        {"TEXT_VC", kLongestVarchar2, false},
        {"TEXT_LENGTH", 22, true},
        {"TYPE_TEXT", kLongestVarchar2, false},
        {"VIEW_TYPE", 128, false},
        {"EDITIONING_VIEW", 1, false},
        {"BEQUEATH", 12, false},
        {"TABLE_NAME", 128, false},
        {"COLUMN_NAME", 128, false},
        {"COLUMN_ID", 22, true},
    };
    for (const DictionaryColumn& column : kColumns) {
        if (name == column.name)
            return &column;
    }
    return nullptr;
}

size_t DictionaryColumnBytes(const std::string& name)
{
    const DictionaryColumn* column = FindDictionaryColumn(name);
    return column != nullptr ? column->bytes : 0;
}

// SUBSTRB(column,1,n) with a literal n, written without blanks: the column's size or n, the
// smaller (as the server describes it); 0 when the name is not of that form.
size_t SubstrBBytes(const std::string& name)
{
    static const char kPrefix[] = "SUBSTRB(";
    if (name.compare(0, sizeof kPrefix - 1, kPrefix) != 0 || name.back() != ')')
        return 0;
    const std::string arguments = name.substr(sizeof kPrefix - 1, name.size() - sizeof kPrefix);
    const size_t lastComma = arguments.rfind(',');
    const size_t positionAt = lastComma == std::string::npos || lastComma == 0
                                  ? std::string::npos
                                  : arguments.rfind(',', lastComma - 1);
    if (positionAt == std::string::npos ||
        arguments.compare(positionAt, lastComma - positionAt + 1, ",1,") != 0)
        return 0;
    const std::string length = arguments.substr(lastComma + 1);
    if (length.empty() || length.size() > 4 ||
        length.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const size_t column = DictionaryColumnBytes(arguments.substr(0, positionAt));
    const size_t bytes = static_cast<size_t>(std::stoul(length));
    return std::min(bytes, column != 0 ? column : kLongestVarchar2);
}

constexpr size_t kNumberBytes = 22;

// The size of a select-list column as the client sizes its prefetch buffer. The server
// describes the dictionary columns by their definitions, SUBSTRB(column,1,n) by the smaller of
// the two, numbers at 22 bytes (an expression whose first row is a number is one), and any
// other expression as the longest VARCHAR2, the unkind side; all in the database set's bytes.
// A client whose set is not the database's holds each byte of a character column as a
// character of its own set at its widest (textBytesPerByte), as Oracle's client sizes a
// character column's buffer; a NUMBER is no text and keeps its 22 bytes in any set.
size_t DefinedColumnBytes(const std::string& name, const Value& first, size_t textBytesPerByte)
{
    if (const DictionaryColumn* column = FindDictionaryColumn(name))
        return column->number ? kNumberBytes : column->bytes * textBytesPerByte;
    if (const size_t bytes = SubstrBBytes(name))
        return bytes * textBytesPerByte;
    return first.kind == Value::kInteger || first.kind == Value::kReal
               ? kNumberBytes
               : kLongestVarchar2 * textBytesPerByte;
}

std::string UpperTrimmed(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    size_t last = text.find_last_not_of(" \t\r\n;");
    std::string upper =
        first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// The words of an ALTER SESSION text, "=" as a word of its own, quotes taken off values.
std::vector<std::string> AlterWords(const std::string& upper)
{
    std::vector<std::string> words;
    std::string word;
    auto flush = [&]() {
        if (!word.empty())
            words.push_back(word);
        word.clear();
    };
    for (char c : upper) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            flush();
        } else if (c == '=') {
            flush();
            words.push_back("=");
        } else if (c != '\'' && c != '"') {
            word += c;
        }
    }
    flush();
    return words;
}

}  // namespace

bool IsAlterSession(const std::string& sql)
{
    std::vector<std::string> words = AlterWords(UpperTrimmed(sql));
    return words.size() >= 2 && words[0] == "ALTER" && words[1] == "SESSION";
}

// ALTER SESSION SET NLS_COMP = ... NLS_SORT = ...: one round trip; any other setting is refused
// (this database changes nothing else).
CallResult Statement::AlterSession(const std::shared_ptr<Database>& database, Database::Call& call)
{
    CallResult result;
    m_isQuery = false;
    m_ranOnce = true;
    if (call.RoundTrip(false) != Database::Call::Trip::kDone)
        return Cancel(call);
    std::vector<std::string> words = AlterWords(UpperTrimmed(m_sql));
    OraError error;
    std::string nlsComp;
    std::string nlsSort;
    if (words.size() < 6 || words[2] != "SET" || (words.size() - 3) % 3 != 0)
        error = MakeOraError(kOraInvalidOption);
    for (size_t i = 3; !error.IsError() && i + 2 < words.size(); i += 3) {
        if (words[i + 1] != "=") {
            error = MakeOraError(kOraInvalidOption);
        } else if (words[i] == "NLS_COMP") {
            if (words[i + 2] != "BINARY" && words[i + 2] != "LINGUISTIC" && words[i + 2] != "ANSI")
                error = MakeOraError(kOraInvalidNlsEnvironment);
            nlsComp = words[i + 2];
        } else if (words[i] == "NLS_SORT") {
            if (!NlsSettings::IsKnownSort(words[i + 2]))
                error = MakeOraError(kOraInvalidNlsEnvironment);
            nlsSort = words[i + 2];
        } else {
            error = MakeOraError(kOraInvalidAlterSessionOption);
        }
    }
    if (!error.IsError()) {
        if (!database || !database->IsOpen())
            error = MakeOraError(kOraNotConnected);
        else
            error = database->AlterSession(nlsComp, nlsSort);
    }
    if (error.IsError()) {
        result.status = OCI_ERROR;
        result.record = error;
    }
    return result;
}

size_t Statement::DefinedRowBytes(const Row& first) const
{
    const size_t textBytesPerByte =
        m_charset.Id() == m_databaseSet.Id() ? 1 : m_charset.MaxBytesPerCharacter();
    size_t bytes = 0;
    for (int i = 0; i < m_cursor.ColumnCount() && i < static_cast<int>(first.size()); ++i) {
        bytes += DefinedColumnBytes(m_cursor.ColumnName(i), first[static_cast<size_t>(i)],
                                    textBytesPerByte);
    }
    return bytes;
}

// The client's text as the database holds it: in the database's set, in UTF-8 (a character
// the database set lacks becomes its replacement character).
std::string Statement::ToDatabase(const std::string& clientText) const
{
    return m_databaseSet.ToDatabase(m_databaseSet.ToClient(m_charset.ToDatabase(clientText)));
}

// The rows one round trip carries: until the cache holds the requested rows and
// OCI_ATTR_PREFETCH_ROWS more, or the trip's rows would pass OCI_ATTR_PREFETCH_MEMORY (the row
// that would pass it waits for the next trip; every trip carries at least one), or the result
// ends. Prefetched rows past Limits::kPrefetchBytes of row bytes (counted as the memory limit
// counts them), or past Limits::kPrefetchHeldBytes of this library's own memory (which rows of
// NULLs take without any row bytes), wait too, whatever the memory limit. Counts in 64 bits, so
// that no prefetch count can wrap around.
void Statement::CarryTrip(ub4 requested)
{
    // A LONG turns prefetching off, and its rows travel one a trip.
    const unsigned long long rowLimit =
        m_selectsLong ? std::min<unsigned long long>(requested, m_cache.Size() + 1)
                      : static_cast<unsigned long long>(requested) + m_prefetchRows;
    unsigned long long tripBytes = 0;
    unsigned long long prefetchedBytes = 0;
    unsigned long long prefetchedHeldBytes = 0;
    bool carriedOne = false;
    while (m_cache.Size() < rowLimit && !m_endReached && !m_pendingError.IsError()) {
        if (m_cache.Size() >= requested && (prefetchedBytes >= Limits::kPrefetchBytes ||
                                            prefetchedHeldBytes >= Limits::kPrefetchHeldBytes)) {
            break;
        }
        Row& row = m_row;
        if (m_held) {
            row.swap(m_heldRow);
            m_held = false;
        } else {
            bool done = false;
            OraError error = m_cursor.Step(&row, &done);
            if (error.IsError()) {
                m_pendingError = error;
                continue;
            }
            if (done) {
                m_endReached = true;
                continue;
            }
            // A Unicode client takes the database's UTF-8 as it is.
            if (!m_charset.IsUnicode()) {
                for (Value& value : row) {
                    if (value.kind == Value::kText)
                        value.text = m_charset.ToClient(value.text);
                }
            }
        }
        if (m_definedRowBytes == 0)
            m_definedRowBytes = DefinedRowBytes(row);
        const size_t heldBytes = RowBytes(row);
        const size_t bytes = m_definedRowBytes;
        if (m_prefetchMemory != 0 && carriedOne && tripBytes + bytes > m_prefetchMemory) {
            m_heldRow.swap(row);
            m_held = true;
            break;
        }
        tripBytes += bytes;
        carriedOne = true;
        if (m_cache.Size() >= requested) {
            prefetchedBytes += bytes;
            prefetchedHeldBytes += sizeof(Row) + sizeof(Value) * row.size() + heldBytes;
        }
        m_cache.Push(row);
    }
}

// True while the cache lacks rows the call asked for and the server may still have them.
bool Statement::NeedsAnotherTrip(ub4 requested) const
{
    return m_cache.Size() < requested && !m_endReached && !m_pendingError.IsError();
}

// Runs at OCIStmtFetch.
CallResult Statement::Fetch(const std::map<ub4, DefineSlot>& defines, ub4 nrows)
{
    CallResult result;
    m_rowsFetched = 0;
    if (!m_executed) {
        result.status = OCI_ERROR;
        result.record = MakeOraError(m_ranOnce && !m_isQuery ? kOraDefineNotDone : kOraNotExecuted);
        return result;
    }
    if (m_finished) {
        result.status = OCI_ERROR;
        result.record = MakeOraError(kOraFetchOutOfSequence);
        return result;
    }
    if (nrows == 0) {  // cancels the cursor
        m_finished = true;
        m_cache.Clear();
        m_held = false;
        return result;
    }
    if (defines.empty()) {
        result.status = OCI_ERROR;
        result.record = MakeOraError(kOraDefineNotDone);
        return result;
    }
    if (NeedsAnotherTrip(nrows)) {
        // Only a round trip needs the connection; prefetched rows are served without it.
        const std::shared_ptr<Database>& database = m_cursor.GetDatabase();
        if (!database) {
            result.status = OCI_ERROR;
            result.record = MakeOraError(kOraNotConnected);
            return result;
        }
        Database::Call call(*database);
        do {
            if (call.RoundTrip(true) != Database::Call::Trip::kDone)
                return Cancel(call);
            CarryTrip(nrows);
            if (call.WasBroken())
                return Cancel(call);
        } while (NeedsAnotherTrip(nrows));
    }
    return Deliver(defines, nrows);
}

// Runs at the end of an execute or a fetch of a query.
CallResult Statement::Deliver(const std::map<ub4, DefineSlot>& defines, ub4 nrows)
{
    CallResult result;
    ub4 count = 0;
    bool truncated = false;
    OraError failure;
    while (count < nrows && !m_cache.Empty()) {
        const RowView& row = m_cache.Front();
        for (const auto& entry : defines) {
            if (entry.first == 0 || entry.first > row.size())
                continue;
            bool cut = false;
            OraError error = DeliverValue(row[entry.first - 1], entry.second, count, &cut);
            // A LONG cut short is an error, not a warning: only a piecewise read may take it in
            // parts.
            if (cut && entry.first <= m_longColumns.size() && m_longColumns[entry.first - 1] &&
                !error.IsError())
                error = MakeOraError(kOraFetchedTruncated);
            truncated = truncated || cut;
            if (error.IsError() && !failure.IsError())
                failure = error;
        }
        m_cache.PopFront();
        ++count;
    }
    m_rowsFetched = count;
    m_rowCount += count;
    if (failure.IsError()) {
        result.status = OCI_ERROR;
        result.record = failure;
        return result;
    }
    if (count < nrows) {
        if (count == 0 && m_pendingError.IsError()) {
            result.status = OCI_ERROR;
            result.record = m_pendingError;
            m_pendingError = OraError();
            m_finished = true;
            return result;
        }
        m_finished = true;
        result.status = OCI_NO_DATA;
        result.record = MakeOraError(kOraNoDataFound);
        return result;
    }
    if (truncated) {
        result.status = OCI_SUCCESS_WITH_INFO;
        result.record = MakeOraError(kOraTruncationOrNull);
    }
    return result;
}

}  // namespace ocilite
