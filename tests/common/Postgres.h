// A PostgreSQL server of our own for the tests: initdb into a temporary
// folder and postgres on a free port of 127.0.0.1, with password (SCRAM)
// log-in. As root, initdb and postgres run as the `postgres` user (they
// refuse root).
#pragma once

#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/TempDir.h"

#include <filesystem>
#include <fstream>
#include <glob.h>
#include <pwd.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace pgtest {

// Runs a program (no shell), killed after `timeout_s` seconds; standard
// output and error together in *output. Its exit code, or -1.
inline int Run(const std::vector<std::string>& args, std::string* output, int timeout_s = 60) {
  char path[] = "/tmp/tavelo-pg-run-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd >= 0) ::close(fd);
  const pid_t pid = netsnmp::Spawn(args, path);
  int status = -1;
  const bool ended = pid > 0 && WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, timeout_s * 1000);
  if (pid > 0 && !ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  if (output) *output = netsnmp::ReadAll(path);
  ::unlink(path);
  return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Server {
 public:
  Server() = default;
  ~Server() { Stop(); }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Creates the cluster and starts the server; on failure *error says why.
  bool Start(std::string* error) {
    glob_t found{};
    if (::glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &found) == 0) {
      m_bin = std::filesystem::path(found.gl_pathv[found.gl_pathc - 1]).parent_path().string();
    }
    ::globfree(&found);
    if (m_bin.empty()) return Fail(error, "no PostgreSQL programs under /usr/lib/postgresql/*/bin");
    ::chmod(m_dir.str().c_str(), 0755);
    for (const char* sub : {"data", "run"}) std::filesystem::create_directories(m_dir.path() / sub);
    std::ofstream(m_dir.str("run/pw")) << m_password << "\n";
    if (!GiveToServerUser()) return Fail(error, "cannot hand the folder to the postgres user");
    if (AsServer({"initdb", "-D", m_dir.str("data"), "-U", m_user, "--pwfile=" + m_dir.str("run/pw"), "-A",
                  "scram-sha-256", "-E", "UTF8", "--no-sync"},
                 error, 120) != 0) {
      return Fail(error, "initdb failed: " + *error);
    }
    for (int attempt = 0; attempt < 3 && !m_running; ++attempt) {  // a taken TCP port fails the start
      m_port = netsnmp::FreeUdpPort();
      const std::string options =
          "-p " + std::to_string(m_port) + " -k " + m_dir.str("run") + " -c listen_addresses=127.0.0.1 -c fsync=off";
      m_running = AsServer({"pg_ctl", "-D", m_dir.str("data"), "-l", m_dir.str("run/server.log"), "-w", "-t", "60",
                            "-o", options, "start"},
                           error, 90) == 0;
    }
    if (!m_running) return Fail(error, *error + netsnmp::ReadAll(m_dir.str("run/server.log")));
    return Psql("postgres", "CREATE DATABASE " + m_user, error) == 0;
  }

  void Stop() {
    if (!m_running) return;
    std::string output;
    AsServer({"pg_ctl", "-D", m_dir.str("data"), "-m", "fast", "-w", "-t", "60", "stop"}, &output, 90);
    m_running = false;
  }

  // Runs SQL with psql; rows one a line, fields separated by '|'.
  int Psql(const std::string& database, const std::string& sql, std::string* output) const {
    return Run({"env",
                "PGPASSWORD=" + m_password,
                "PGCONNECT_TIMEOUT=10",
                m_bin + "/psql",
                "-X",
                "-q",
                "-A",
                "-t",
                "-v",
                "ON_ERROR_STOP=1",
                "-h",
                "127.0.0.1",
                "-p",
                std::to_string(m_port),
                "-U",
                m_user,
                "-d",
                database,
                "-c",
                sql},
               output, 60);
  }

  uint16_t port() const { return m_port; }
  const std::string& user() const { return m_user; }
  const std::string& password() const { return m_password; }

 private:
  static bool Fail(std::string* error, const std::string& why) {
    *error = why;
    return false;
  }

  bool GiveToServerUser() {
    if (::geteuid() != 0) return true;
    const passwd* pw = ::getpwnam("postgres");
    if (pw == nullptr) return false;
    for (const char* sub : {"data", "run", "run/pw"}) {
      if (::chown(m_dir.str(sub).c_str(), pw->pw_uid, pw->pw_gid) != 0) return false;
    }
    return ::chmod(m_dir.str("data").c_str(), 0700) == 0;
  }

  // Runs one of the server's programs, as `postgres` when we are root.
  int AsServer(std::vector<std::string> args, std::string* output, int timeout_s) const {
    args[0] = m_bin + "/" + args[0];
    if (::geteuid() == 0) args.insert(args.begin(), {"runuser", "-u", "postgres", "--"});
    return Run(args, output, timeout_s);
  }

  TempDir m_dir;
  std::string m_bin;
  std::string m_user = "tavelo";
  std::string m_password = "Pg-s3cret;word";
  uint16_t m_port = 0;
  bool m_running = false;
};

}  // namespace pgtest
