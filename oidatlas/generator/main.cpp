// oidatlas_gen: builds the OID table of liboidatlas.
//
//   oidatlas_gen [--records LIST.tsv]... [--tsv OUT.tsv] [--cpp OUT.cpp]
//
// Record lists are read, the root arcs added, duplicates per module dropped
// and the records sorted; the result is written as a record list (--tsv)
// and/or as the table source compiled into the library (--cpp). Outputs are
// replaced only when the whole run succeeds.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "oidatlas/generator/OidRecordList.h"
#include "oidatlas/generator/TableWriter.h"

namespace {

using oidatlas::gen::OidRecordList;
using oidatlas::gen::TableWriter;

struct Options {
  std::vector<std::string> records;
  std::string tsvOut;
  std::string cppOut;
};

int Usage(const std::string& problem) {
  std::cerr << "oidatlas_gen: " << problem << "\n"
            << "usage: oidatlas_gen [--records LIST.tsv]... [--tsv OUT.tsv] [--cpp OUT.cpp]\n";
  return 2;
}

bool ParseArgs(int argc, char** argv, Options* opt, std::string* problem) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) {
      *problem = arg.rfind("--", 0) == 0 ? "missing value after " + arg : "unexpected argument '" + arg + "'";
      return false;
    }
    const std::string value = argv[++i];
    if (arg == "--records") {
      opt->records.push_back(value);
    } else if (arg == "--tsv") {
      opt->tsvOut = value;
    } else if (arg == "--cpp") {
      opt->cppOut = value;
    } else {
      *problem = "unknown option '" + arg + "'";
      return false;
    }
  }
  if (opt->records.empty()) {
    *problem = "no record list given";
    return false;
  }
  if (opt->tsvOut.empty() && opt->cppOut.empty()) {
    *problem = "no output given (--tsv or --cpp)";
    return false;
  }
  return true;
}

// Writes through a temporary file renamed over the target, so a failed run
// leaves the previous output as it was.
bool WriteFile(const std::string& path, const std::string& content, std::string* error) {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << content;
    out.flush();
    if (!out) {
      *error = "cannot write " + tmp;
      std::remove(tmp.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    *error = "cannot rename " + tmp + " to " + path + ": " + ec.message();
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

int Run(const Options& opt) {
  OidRecordList list;
  std::string error;
  for (const std::string& path : opt.records) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      std::cerr << "oidatlas_gen: cannot open " << path << "\n";
      return 1;
    }
    if (!list.ReadTsv(in, path, &error)) {
      std::cerr << "oidatlas_gen: " << error << "\n";
      return 1;
    }
  }
  list.Finish();
  std::string tsv;
  std::string cpp;
  if (!opt.tsvOut.empty()) {
    std::ostringstream out;
    list.WriteTsv(out);
    tsv = out.str();
  }
  if (!opt.cppOut.empty()) {
    std::ostringstream out;
    const std::string origin = std::filesystem::path(opt.records.front()).filename().string();
    if (!TableWriter::Write(list, origin, out, &error)) {
      std::cerr << "oidatlas_gen: " << error << "\n";
      return 1;
    }
    cpp = out.str();
  }
  if (!opt.tsvOut.empty() && !WriteFile(opt.tsvOut, tsv, &error)) {
    std::cerr << "oidatlas_gen: " << error << "\n";
    return 1;
  }
  if (!opt.cppOut.empty() && !WriteFile(opt.cppOut, cpp, &error)) {
    std::cerr << "oidatlas_gen: " << error << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  std::string problem;
  if (!ParseArgs(argc, argv, &opt, &problem)) return Usage(problem);
  return Run(opt);
}
