// A PostgreSQL server of our own for the tests: initdb into a temporary
// folder and postgres on a free port of 127.0.0.1, with password (SCRAM)
// log-in. When the tests run as root, initdb and postgres run as the
// `postgres` user (they refuse root). Programs run with an argument vector
// and a time bound; psql reads results back.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <glob.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/TempDir.h"

extern char** environ;

namespace pgtest {

// Runs a program (no shell) for at most `timeout_s` seconds; standard
// output and error together in *output. Returns its exit code, or -1 when
// it could not start, died of a signal or was killed at the bound.
inline int Run(const std::vector<std::string>& args, std::string* output, int timeout_s = 60) {
  char path[] = "/tmp/tavelo-pg-run-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) return -1;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fd, 1);
  posix_spawn_file_actions_adddup2(&actions, fd, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(fd);
  int status = -1;
  bool ended = pid <= 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
  while (!ended) {
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      ended = true;
    } else if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      status = -1;
      ended = true;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  if (output) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    *output = text.str();
  }
  ::unlink(path);
  return pid > 0 && status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A TCP port on 127.0.0.1 that was free a moment ago.
inline uint16_t FreeTcpPort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(s);
  return ntohs(a.sin_port);
}

// The folder of the newest installed PostgreSQL's programs, empty if none.
inline std::string BinFolder() {
  glob_t found{};
  std::string folder;
  if (::glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &found) == 0 && found.gl_pathc > 0) {
    folder = std::filesystem::path(found.gl_pathv[found.gl_pathc - 1]).parent_path().string();
  }
  ::globfree(&found);
  return folder;
}

class Server {
 public:
  Server() = default;
  ~Server() { Stop(); }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Creates the cluster and starts the server; on failure *error says why.
  bool Start(std::string* error) {
    bin_ = BinFolder();
    if (bin_.empty()) return Fail(error, "no PostgreSQL programs under /usr/lib/postgresql/*/bin");
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::all & ~std::filesystem::perms::others_write &
                                                  ~std::filesystem::perms::group_write);
    for (const char* sub : {"data", "run"}) std::filesystem::create_directories(dir_.path() / sub);
    std::ofstream(dir_.str("run/pw")) << password_ << "\n";
    if (!GiveToServerUser()) return Fail(error, "cannot hand the folder to the postgres user");
    std::string output;
    if (AsServer({bin_ + "/initdb", "-D", dir_.str("data"), "-U", user_, "--pwfile=" + dir_.str("run/pw"),
                  "-A", "scram-sha-256", "-E", "UTF8", "--no-sync"},
                 &output, 120) != 0) {
      return Fail(error, "initdb failed: " + output);
    }
    for (int attempt = 0; attempt < 3 && !running_; ++attempt) {
      port_ = FreeTcpPort();
      const std::string options = "-p " + std::to_string(port_) + " -k " + dir_.str("run") +
                                  " -c listen_addresses=127.0.0.1 -c fsync=off";
      running_ = AsServer({bin_ + "/pg_ctl", "-D", dir_.str("data"), "-l", dir_.str("run/server.log"), "-w",
                           "-t", "60", "-o", options, "start"},
                          &output, 90) == 0;
    }
    if (!running_) return Fail(error, "the server did not start: " + output + ReadLog());
    if (Psql("postgres", "CREATE DATABASE " + user_, &output) != 0) return Fail(error, "createdb: " + output);
    return true;
  }

  void Stop() {
    if (!running_) return;
    std::string output;
    AsServer({bin_ + "/pg_ctl", "-D", dir_.str("data"), "-m", "fast", "-w", "-t", "60", "stop"}, &output, 90);
    running_ = false;
  }

  // Runs SQL with psql; rows come back unaligned, one a line, fields
  // separated by '|'.
  int Psql(const std::string& database, const std::string& sql, std::string* output) const {
    return Run({"env", "PGPASSWORD=" + password_, "PGCONNECT_TIMEOUT=10", bin_ + "/psql", "-X", "-q", "-A", "-t",
                "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p", std::to_string(port_), "-U", user_, "-d",
                database, "-c", sql},
               output, 60);
  }

  uint16_t port() const { return port_; }
  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }

 private:
  static bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
  }

  bool AsRoot() const { return ::geteuid() == 0; }

  bool GiveToServerUser() {
    if (!AsRoot()) return true;
    const passwd* pw = ::getpwnam("postgres");
    if (pw == nullptr) return false;
    for (const char* sub : {"data", "run", "run/pw"}) {
      if (::chown(dir_.str(sub).c_str(), pw->pw_uid, pw->pw_gid) != 0) return false;
    }
    return ::chmod(dir_.str("data").c_str(), 0700) == 0;
  }

  int AsServer(std::vector<std::string> args, std::string* output, int timeout_s) const {
    if (AsRoot()) args.insert(args.begin(), {"runuser", "-u", "postgres", "--"});
    return Run(args, output, timeout_s);
  }

  std::string ReadLog() const {
    std::ifstream in(dir_.str("run/server.log"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TempDir dir_;
  std::string bin_;
  std::string user_ = "tavelo";
  std::string password_ = "Pg-s3cret;word";
  uint16_t port_ = 0;
  bool running_ = false;
};

}  // namespace pgtest
