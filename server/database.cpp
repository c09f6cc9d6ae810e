#include "server/database.h"

namespace server {
namespace {

// How long a request waits for a connection when all are leased: a read
// takes a millisecond, so this is a database that stopped answering.
constexpr std::chrono::seconds kLeaseWait{5};
constexpr long long kMigrationLock = 0x4b56524e;  // advisory lock key: "KVRN"

bool shuttingDown(const std::string& sqlState) {
  // Class 08: connection exceptions; 57P01-57P03: the server is going away
  // or not yet accepting connections.
  return sqlState.compare(0, 2, "08") == 0 || sqlState == "57P01" || sqlState == "57P02" || sqlState == "57P03";
}

}  // namespace

Database::Lease::Lease(Database& database) : database_(database) {
  std::unique_lock<std::mutex> lock(database.mutex_);
  const auto free = [&] { return !database.idle_.empty() || database.open_ < database.maxOpen_; };
  if (!database.released_.wait_for(lock, kLeaseWait, free)) {
    throw Unavailable("every database connection stayed busy");
  }
  if (!database.idle_.empty()) {
    connection_ = std::move(database.idle_.back());
    database.idle_.pop_back();
    return;
  }
  ++database.open_;
  lock.unlock();
  try {
    connection_ = database.Open();
  } catch (...) {
    Release();
    throw;
  }
}

// A connection goes back to the pool only after a transaction that worked:
// one that failed may be broken, and a fresh one costs a few milliseconds.
Database::Lease::~Lease() { Release(); }

void Database::Lease::Release() {
  if (!keep_) connection_.reset();  // closed before another request may open one in its place
  {
    std::lock_guard<std::mutex> lock(database_.mutex_);
    if (connection_) {
      database_.idle_.push_back(std::move(connection_));
    } else {
      --database_.open_;
    }
  }
  database_.released_.notify_one();
}

// Every query of the server reads or writes a few index entries; parallel
// workers would cost more to start (10-30 ms) than such a query takes, and
// the planner's row estimates for a count within one score bucket are far
// too high, so it would start them.
std::unique_ptr<pqxx::connection> Database::Open() {
  try {
    auto connection = std::make_unique<pqxx::connection>(url_);
    pqxx::nontransaction(*connection).exec("SET max_parallel_workers_per_gather = 0");
    return connection;
  } catch (const std::exception& failure) {
    throw Unavailable(std::string("cannot connect to the database: ") + failure.what());
  }
}

void Database::DropIdle() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ -= static_cast<int>(idle_.size());
    idle_.clear();
  }
  released_.notify_all();
}

void Database::Rethrow(const std::exception& failure) {
  if (dynamic_cast<const Unavailable*>(&failure)) return;
  if (dynamic_cast<const pqxx::broken_connection*>(&failure)) throw Unavailable(failure.what());
  if (const auto* sql = dynamic_cast<const pqxx::sql_error*>(&failure)) {
    if (shuttingDown(sql->sqlstate())) throw Unavailable(failure.what());
  }
}

int Database::Migrate() {
  return InTransaction([](pqxx::work& tx) {
    tx.exec_params("SELECT pg_advisory_xact_lock($1)", kMigrationLock);
    tx.exec(
        "CREATE TABLE IF NOT EXISTS schema_migrations ("
        " number integer PRIMARY KEY, name text NOT NULL,"
        " applied_at timestamptz NOT NULL DEFAULT now())");
    const int done = tx.exec1("SELECT coalesce(max(number), 0) FROM schema_migrations")[0].as<int>();
    int applied = 0;
    for (const Migration& migration : Migrations()) {
      if (migration.number <= done) continue;
      tx.exec(migration.sql);
      tx.exec_params("INSERT INTO schema_migrations (number, name) VALUES ($1, $2)", migration.number,
                     std::string(migration.name));
      ++applied;
    }
    return applied;
  });
}

}  // namespace server
