// ODBC set-up shared by the ODBC tests: the drivers registered in an
// odbcinst.ini of a temporary folder (ODBCSYSINI, ODBCINSTINI), so the
// real /etc/odbcinst.ini is never read or written; the sqlite3 program to
// read rows back; one PostgreSQL server for the suites that need it.
//
// unixODBC reads ODBCSYSINI once per process, so the folder is set up once,
// before the first test, by a global test environment.
#pragma once

#include <glob.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "tests/common/Postgres.h"
#include "tests/common/TempDir.h"

namespace odbctest {

inline constexpr const char* kSqliteDriver = "Tavelo SQLite3";
inline constexpr const char* kPostgresDriver = "Tavelo PostgreSQL";

// The first file matching the pattern, empty if none.
inline std::string FindFile(const char* pattern) {
  glob_t found{};
  std::string path;
  if (::glob(pattern, 0, nullptr, &found) == 0 && found.gl_pathc > 0) path = found.gl_pathv[0];
  ::globfree(&found);
  return path;
}

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    home_ = std::make_unique<TempHome>();
    const std::string folder = home_->str("odbc");
    std::filesystem::create_directories(folder);
    std::ofstream ini(folder + "/odbcinst.ini");
    ini << "[" << kSqliteDriver << "]\nDescription=SQLite3 for the tests\nDriver="
        << FindFile("/usr/lib/*/odbc/libsqlite3odbc.so") << "\n\n";
    ini << "[" << kPostgresDriver << "]\nDescription=PostgreSQL Unicode for the tests\nDriver="
        << FindFile("/usr/lib/*/odbc/psqlodbcw.so") << "\n";
    ini.close();
    std::ofstream(folder + "/odbc.ini").close();
    ::setenv("ODBCSYSINI", folder.c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
    ::setenv("ODBCINI", (folder + "/odbc.ini").c_str(), 1);
  }
  void TearDown() override { home_.reset(); }

 private:
  std::unique_ptr<TempHome> home_;
};

// Runs SQL with the sqlite3 program on a database file; rows one a line,
// fields separated by '|'.
inline std::string Sqlite(const std::string& database, const std::string& sql) {
  std::string output;
  pgtest::Run({"sqlite3", "-batch", database, sql}, &output, 60);
  return output;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// UTF-16LE bytes of an ASCII or wide text, with the byte order mark.
inline std::string Utf16File(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t wc : text) {
    auto unit = [&](uint32_t u) {
      bytes += static_cast<char>(u & 0xFF);
      bytes += static_cast<char>(u >> 8);
    };
    const uint32_t c = static_cast<uint32_t>(wc);
    if (c < 0x10000) {
      unit(c);
    } else {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return bytes;
}

// A test suite whose tests share one PostgreSQL server, started once.
class PostgresSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<pgtest::Server>();
    if (!server_->Start(&start_error_)) server_.reset();
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override { ASSERT_TRUE(server_) << "PostgreSQL did not start: " << start_error_; }

  static std::string Server() { return "127.0.0.1"; }
  static std::string Port() { return std::to_string(server_->port()); }

  static inline std::unique_ptr<pgtest::Server> server_;
  static inline std::string start_error_;
};

}  // namespace odbctest
