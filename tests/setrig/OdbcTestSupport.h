// ODBC set-up shared by the ODBC tests: the drivers registered in an
// odbcinst.ini of a temporary folder (ODBCSYSINI), never the real one;
// sqlite3 to read rows back.
// unixODBC reads ODBCSYSINI once per process: a global environment, added
// once per program, sets it.
#pragma once

#include "setrig/Setrig.h"
#include "tests/common/Postgres.h"  // pgtest::Run
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <glob.h>
#include <memory>
#include <stdlib.h>
#include <string>

namespace odbctest {

inline constexpr const char* kSqliteDriver = "Tavelo SQLite3";
inline constexpr const char* kPostgresDriver = "Tavelo PostgreSQL";

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    m_home = std::make_unique<TempHome>();
    const std::string folder = m_home->str("odbc");
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/odbcinst.ini")
        << "[" << kSqliteDriver << "]\nDriver=" << FindFile("/usr/lib/*/odbc/libsqlite3odbc.so") << "\n\n["
        << kPostgresDriver << "]\nDriver=" << FindFile("/usr/lib/*/odbc/psqlodbcw.so") << "\n";
    std::ofstream(folder + "/odbc.ini").close();
    ::setenv("ODBCSYSINI", folder.c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
    ::setenv("ODBCINI", (folder + "/odbc.ini").c_str(), 1);
    char buffer[8];
    Setrig_OdbcGetDriver(0, buffer, sizeof buffer);  // registers with the log before any capture
  }
  void TearDown() override { m_home.reset(); }

 private:
  static std::string FindFile(const char* pattern) {
    glob_t found{};
    std::string path = ::glob(pattern, 0, nullptr, &found) == 0 ? found.gl_pathv[0] : "";
    ::globfree(&found);
    return path;
  }
  std::unique_ptr<TempHome> m_home;
};

// Runs SQL with the sqlite3 program; rows one a line, fields separated by '|'.
inline std::string Sqlite(const std::string& database, const std::string& sql) {
  std::string output;
  pgtest::Run({"sqlite3", "-batch", database, sql}, &output, 60);
  return output;
}

// UTF-16LE bytes of a text, with the byte order mark.
inline std::string Utf16File(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  auto unit = [&](uint32_t u) { bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)}; };
  for (wchar_t wc : text) {
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

inline const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

}  // namespace odbctest
