// The server's connection pool (server/database.h) on a throwaway cluster:
// it never holds more connections than it is given, requests beyond them
// wait for one, and a failed request gives its place back.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "server/database.h"
#include "tests/server/server_fixture.h"

namespace {

using servertest::Cluster;

// Client connections to this database, as PostgreSQL counts them.
const server::Statement kConnected{
    "connected",
    "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND backend_type = 'client backend'"};

class ConnectionPool : public ::testing::Test {
 protected:
  void SetUp() override {
    cluster = Cluster::Shared();
    if (!cluster) GTEST_SKIP() << Cluster::Problem();
    url = cluster->NewDatabase();
  }

  Cluster* cluster = nullptr;
  std::string url;
};

TEST_F(ConnectionPool, RequestsBeyondItsConnectionsWaitForOne) {
  constexpr int kConnections = 2, kRequests = 8;
  server::Database database(url, kConnections);
  std::atomic<long long> most{0};
  std::atomic<int> answered{0};
  std::vector<std::thread> requests;
  for (int i = 0; i < kRequests; ++i) {
    requests.emplace_back([&] {
      const long long seen = database.Read([](pqxx::nontransaction& tx) {
        tx.exec("SELECT pg_sleep(0.05)");
        return server::Prepared(tx, kConnected).at(0)[0].as<long long>();
      });
      long long before = most.load();
      while (seen > before && !most.compare_exchange_weak(before, seen)) {
      }
      ++answered;
    });
  }
  for (std::thread& request : requests) request.join();
  EXPECT_EQ(answered, kRequests) << "every request got a connection in turn";
  EXPECT_GE(most, 1);
  EXPECT_LE(most, kConnections) << "the pool opened more connections than it may";
}

TEST_F(ConnectionPool, AFailedRequestGivesItsConnectionBack) {
  server::Database database(url, 1);
  const auto one = [](pqxx::nontransaction& tx) { return tx.exec1("SELECT 1")[0].as<int>(); };
  EXPECT_THROW(database.Read([](pqxx::nontransaction& tx) { return tx.exec("SELECT no_such_column").size(); }),
               pqxx::sql_error);
  EXPECT_EQ(database.Read(one), 1) << "a failed statement's connection was not given back";

  ASSERT_TRUE(cluster->Stop());
  EXPECT_THROW(database.Read(one), server::Unavailable);
  EXPECT_THROW(database.Read(one), server::Unavailable) << "a failed connect holds no place either";
  ASSERT_TRUE(cluster->Start());
  EXPECT_EQ(database.Read(one), 1) << "the pool recovers when the database is back";
}

}  // namespace
