// The server's PostgreSQL: a small pool of connections, the schema's
// migrations, and the one rule for a database that cannot answer.
//
// The pool holds at most a set number of connections: PostgreSQL runs one
// process per connection, and more of them than the machine has cores
// only take turns at the CPU (and count against max_connections, which
// several servers may share).
//
// Migrations are the numbered files of server/migrations, compiled in; the
// ones a database has not had run in order in one transaction, under an
// advisory lock, so that servers started together apply each once. A
// connection that breaks is dropped and the next lease opens a fresh one, so
// the server recovers by itself when the database comes back. Writes run in
// transactions; reads run outside transaction blocks, one statement each.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <pqxx/pqxx>
#include <stdexcept>
#include <string>
#include <vector>

namespace server {

struct Migration {
  int number;
  const char* name;
  const char* sql;
};
const std::vector<Migration>& Migrations();

// The database cannot be reached or is shutting down: the caller answers 503.
struct Unavailable : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A statement the server runs often: prepared on each connection at its
// first use there, so PostgreSQL plans it once per connection, not once per
// request (planning was a third of a short read's time in the database).
struct Statement {
  std::string name;
  std::string sql;
};

template <typename... Args>
pqxx::result Prepared(pqxx::transaction_base& tx, const Statement& statement, Args&&... args) {
  tx.conn().prepare(statement.name, statement.sql);  // nothing to do once the connection has it
  return tx.exec_prepared(statement.name, std::forward<Args>(args)...);
}

class Database {
 public:
  // At most `connections` open at once; a request that finds all of them
  // leased waits for one rather than opening more.
  Database(std::string url, int connections) : url_(std::move(url)), maxOpen_(connections) {}

  // Applies the migrations this database has not had; returns how many.
  int Migrate();

  // Runs `work` in one transaction on a pooled connection and commits it.
  // Throws Unavailable when the database is down.
  template <typename Work>
  auto InTransaction(Work&& work) {
    return Run<pqxx::work>(work);
  }

  // Runs `read` on a pooled connection outside any transaction block: each
  // statement is one round trip (BEGIN and COMMIT would add two) and sees
  // a snapshot of its own, so a read that must be consistent in itself is
  // one statement. Throws Unavailable when the database is down.
  template <typename Reading>
  auto Read(Reading&& read) {
    return Run<pqxx::nontransaction>(read);
  }

 private:
  template <typename Transaction, typename Work>
  auto Run(Work& work) {
    Lease lease(*this);
    try {
      Transaction transaction(lease.connection());
      auto result = work(transaction);
      transaction.commit();
      lease.Keep();
      return result;
    } catch (const std::exception& failure) {
      try {
        Rethrow(failure);
      } catch (const Unavailable&) {
        DropIdle();  // after a database restart every pooled connection is dead
        throw;
      }
      throw;
    }
  }

  class Lease {
   public:
    explicit Lease(Database& database);
    ~Lease();
    pqxx::connection& connection() { return *connection_; }
    void Keep() { keep_ = true; }

   private:
    void Release();
    Database& database_;
    std::unique_ptr<pqxx::connection> connection_;
    bool keep_ = false;
  };

  std::unique_ptr<pqxx::connection> Open();
  void DropIdle();
  // Turns a lost connection or a database shutting down into Unavailable.
  static void Rethrow(const std::exception& failure);

  const std::string url_;
  const int maxOpen_;
  std::mutex mutex_;
  std::condition_variable released_;
  std::vector<std::unique_ptr<pqxx::connection>> idle_;
  int open_ = 0;  // idle and leased
};

}  // namespace server
