#include "tests/server/server_fixture.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <pqxx/pqxx>
#include <thread>
#include <vector>

namespace servertest {
namespace {

const std::string kPgBin = "/usr/lib/postgresql/15/bin/";
constexpr int kStartTries = 200;  // of 25 ms: five seconds for a server to answer

Cluster* shared = nullptr;
std::string problem;

std::string asOwner() { return geteuid() == 0 ? "runuser -u nobody -- " : ""; }

}  // namespace

bool Cluster::Run(const std::string& command) {
  return std::system((asOwner() + command + " >>" + folder_ + "/setup.log 2>&1").c_str()) == 0;
}

Cluster* Cluster::Shared() {
  if (shared || !problem.empty()) return shared;
  std::string pattern = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + std::string("/korvane-pg-XXXXXX");
  if (!mkdtemp(pattern.data()) || !std::filesystem::exists(kPgBin + "initdb")) {
    problem = "PostgreSQL 15 is not installed (tools/install-deps.sh installs it)";
    return nullptr;
  }
  auto cluster = std::make_unique<Cluster>();
  cluster->folder_ = pattern;
  if (geteuid() == 0) std::system(("chown nobody " + pattern).c_str());
  if (!cluster->Run(kPgBin + "initdb -D " + pattern + "/data -A trust -U korvane") || !cluster->Start()) {
    problem = "cannot start a PostgreSQL cluster in " + pattern + " (see setup.log there)";
    return nullptr;
  }
  shared = cluster.release();
  std::atexit(StopShared);
  return shared;
}

const std::string& Cluster::Problem() { return problem; }

void Cluster::StopShared() {
  if (!shared) return;
  shared->Stop();
  std::filesystem::remove_all(shared->folder_);
  delete shared;
  shared = nullptr;
}

bool Cluster::Start() {
  return Run(kPgBin + "pg_ctl -D " + folder_ + "/data -o \"-k " + folder_ + " -c listen_addresses=''\" -l " + folder_ +
             "/log -w start");
}

bool Cluster::Stop() { return Run(kPgBin + "pg_ctl -D " + folder_ + "/data -m fast -w stop"); }

std::string Cluster::NewDatabase() {
  const std::string name = "case" + std::to_string(++databases_);
  pqxx::connection admin("host=" + folder_ + " user=korvane dbname=postgres");
  pqxx::nontransaction(admin).exec("CREATE DATABASE " + name);
  return "host=" + folder_ + " user=korvane dbname=" + name;
}

int FreePort() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  close(probe);
  return ntohs(address.sin_port);
}

ServerProcess::ServerProcess(const std::string& databaseUrl, std::map<std::string, std::string> environment, int port) {
  port_ = port ? port : FreePort();
  environment["KORVANE_DATABASE_URL"] = databaseUrl;
  environment["KORVANE_LISTEN"] = "127.0.0.1:" + std::to_string(port_);
  environment.emplace("KORVANE_DATA", KORVANE_DATA_FOLDER);
  environment.emplace("KORVANE_WORKERS", "2");
  pid_ = fork();
  if (pid_ == 0) {
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    execl(KORVANE_SERVER, KORVANE_SERVER, static_cast<char*>(nullptr));
    _exit(127);
  }
  client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
  client_->set_read_timeout(30, 0);
  for (int i = 0; i < kStartTries && !up_; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    const auto res = client_->Get("/api/v1/health");
    up_ = res && res->status == 200;
  }
}

bool ServerProcess::Stop() {
  if (pid_ <= 0) return false;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

ServerProcess::~ServerProcess() {
  if (pid_ > 0) Stop();
}

}  // namespace servertest
