// A throwaway PostgreSQL cluster and a real korvane-server for the server's
// tests.
//
// The cluster lives in a temporary folder, listens on a Unix socket only (no
// TCP port) and belongs to an unprivileged user: initdb and pg_ctl run
// through `runuser -u nobody` when the tests run as root. It is stopped and
// removed when the test program ends. Each test case gets a database of its
// own; each server runs as a child process on a free loopback port.
#pragma once

#include <sys/types.h>

#include <httplib.h>

#include <map>
#include <memory>
#include <string>

namespace servertest {

class Cluster {
 public:
  // Starts the shared cluster on first use; nullptr (with the reason in
  // `Problem`) when PostgreSQL cannot be started here.
  static Cluster* Shared();
  static const std::string& Problem();
  static void StopShared();

  // A fresh, empty database; returns its libpq connection string.
  std::string NewDatabase();
  bool Stop();
  bool Start();
  const std::string& folder() const { return folder_; }

 private:
  bool Run(const std::string& command);
  std::string folder_;
  int databases_ = 0;
};

class ServerProcess {
 public:
  // Starts korvane-server with the given environment added, on `port` (0: a
  // free one); waits until it answers /api/v1/health (or gives up after a
  // few seconds).
  ServerProcess(const std::string& databaseUrl, std::map<std::string, std::string> environment = {}, int port = 0);
  ~ServerProcess();
  bool Up() const { return up_; }
  bool Stop();  // SIGTERM; true when it exited by itself with status 0
  httplib::Client& client() { return *client_; }
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  bool up_ = false;
  std::unique_ptr<httplib::Client> client_;
};

// A port nobody listens on now, from the kernel.
int FreePort();

}  // namespace servertest
