#include "sqlite_db.h"

namespace vnservice {

SqliteDb::SqliteDb(const std::string& path) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError("cannot open database " + path + ": " + message);
    }
    sqlite3_extended_result_codes(db_, 1);
    // The database is ours alone: refuse schema tricks and extension loading.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_busy_timeout(db_, 5000);
}

SqliteDb::~SqliteDb() { sqlite3_close_v2(db_); }

void SqliteDb::Fail(const std::string& what) const { throw StoreError(what + ": " + sqlite3_errmsg(db_)); }

void SqliteDb::Exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errmsg(db_);
        sqlite3_free(error);
        throw StoreError(message);
    }
}

namespace {
struct AuthorizerContext {
    const std::function<bool(int, const char*, const char*)>* allow;
};

int Authorize(void* context, int action, const char* a, const char* b, const char*, const char*) {
    const auto* ctx = static_cast<AuthorizerContext*>(context);
    return (*ctx->allow)(action, a, b) ? SQLITE_OK : SQLITE_DENY;
}
}  // namespace

void SqliteDb::ExecRestricted(const std::string& sql,
                              const std::function<bool(int action, const char* a, const char* b)>& allow) {
    AuthorizerContext ctx{&allow};
    sqlite3_set_authorizer(db_, Authorize, &ctx);
    try {
        Exec(sql);
    } catch (...) {
        sqlite3_set_authorizer(db_, nullptr, nullptr);
        throw;
    }
    sqlite3_set_authorizer(db_, nullptr, nullptr);
}

Statement SqliteDb::Prepare(std::string_view sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK)
        Fail("cannot prepare \"" + std::string(sql) + "\"");
    return Statement(*this, stmt);
}

int64_t SqliteDb::LastInsertRowId() const { return sqlite3_last_insert_rowid(db_); }
int SqliteDb::Changes() const { return sqlite3_changes(db_); }

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) { other.stmt_ = nullptr; }

Statement& Statement::Bind(int index, std::string_view text) {
    // SQLITE_TRANSIENT: SQLite copies the text, so temporaries are safe to bind.
    if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        throw StoreError(std::string("cannot bind text: ") + sqlite3_errmsg(db_->Handle()));
    return *this;
}

Statement& Statement::Bind(int index, int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK)
        throw StoreError(std::string("cannot bind number: ") + sqlite3_errmsg(db_->Handle()));
    return *this;
}

Statement& Statement::BindBlob(int index, std::string_view bytes) {
    if (sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        throw StoreError(std::string("cannot bind blob: ") + sqlite3_errmsg(db_->Handle()));
    return *this;
}

Statement& Statement::BindNull(int index) {
    sqlite3_bind_null(stmt_, index);
    return *this;
}

bool Statement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw StoreError(std::string("statement failed: ") + sqlite3_errmsg(db_->Handle()));
}

void Statement::Run() {
    while (Step()) {
    }
    Reset();
}

void Statement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string Statement::Text(int column) const {
    const auto* text = sqlite3_column_text(stmt_, column);
    if (!text) return {};
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

bool Statement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

Transaction::Transaction(SqliteDb& db) : db_(db) { db_.Exec("BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
    if (!done_) {
        try {
            db_.Exec("ROLLBACK");
        } catch (...) {
            // A failed rollback leaves SQLite to roll back when the connection closes.
        }
    }
}

void Transaction::Commit() {
    db_.Exec("COMMIT");
    done_ = true;
}

}  // namespace vnservice
