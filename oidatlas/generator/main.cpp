// oidatlas_gen: builds the OID table of liboidatlas.
//
//   oidatlas_gen [--records LIST.tsv]... [--tsv OUT.tsv] [--cpp OUT.cpp]
//   oidatlas_gen --mib-folder DIR [--modules-file NAMES] [--fill-from-folder]
//                [--max-records N] [--records LIST.tsv]... [--tsv OUT.tsv] [--cpp OUT.cpp]
//
// Records come from record lists and, when built with the SMI loader, from
// MIB modules: those named in NAMES (one a line) first, then with
// --fill-from-folder the folder's other modules in name order, as long as
// the table stays within N records. The root arcs are added, duplicates per
// module dropped and the records sorted; of records with equal keys from
// modules, the one of a listed module before others and of an SMIv2 module
// before SMIv1 is placed where lookups find it; the result is written as a record
// list (--tsv) and/or as the table source compiled into the library (--cpp).
// Outputs are replaced only when the whole run succeeds.
#include "oidatlas/generator/OidRecordList.h"
#include "oidatlas/generator/TableWriter.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>
#ifdef OIDATLAS_WITH_SMI
#include "oidatlas/generator/MibRecordSource.h"
#endif

namespace {

using oidatlas::gen::OidRecordList;
using oidatlas::gen::TableWriter;

struct Options {
  std::vector<std::string> records;
  std::string mibFolder;
  std::string modulesFile;
  bool fill = false;
  size_t maxRecords = 150000;
  std::string tsvOut;
  std::string cppOut;
};

int Usage(const std::string& problem) {
  std::cerr << "oidatlas_gen: " << problem << "\n"
            << "usage: oidatlas_gen [--records LIST.tsv]... [--tsv OUT.tsv] [--cpp OUT.cpp]\n"
            << "       oidatlas_gen --mib-folder DIR [--modules-file NAMES] [--fill-from-folder]\n"
            << "                    [--max-records N] [--records LIST.tsv]... [--tsv OUT.tsv] [--cpp OUT.cpp]\n";
  return 2;
}

bool ParseCount(const std::string& text, size_t* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9) return false;
  *value = std::stoul(text);
  return *value > 0;
}

bool ParseArgs(int argc, char** argv, Options* opt, std::string* problem) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--fill-from-folder") {
      opt->fill = true;
      continue;
    }
    if (i + 1 >= argc) {
      *problem = arg.rfind("--", 0) == 0 ? "missing value after " + arg : "unexpected argument '" + arg + "'";
      return false;
    }
    const std::string value = argv[++i];
    if (arg == "--records") {
      opt->records.push_back(value);
    } else if (arg == "--mib-folder") {
      opt->mibFolder = value;
    } else if (arg == "--modules-file") {
      opt->modulesFile = value;
    } else if (arg == "--max-records") {
      if (!ParseCount(value, &opt->maxRecords)) {
        *problem = "--max-records needs a positive number, not '" + value + "'";
        return false;
      }
    } else if (arg == "--tsv") {
      opt->tsvOut = value;
    } else if (arg == "--cpp") {
      opt->cppOut = value;
    } else {
      *problem = "unknown option '" + arg + "'";
      return false;
    }
  }
  if (opt->records.empty() && opt->mibFolder.empty()) {
    *problem = "no record list and no MIB folder given";
    return false;
  }
  if (opt->mibFolder.empty() && (!opt->modulesFile.empty() || opt->fill)) {
    *problem = "--modules-file and --fill-from-folder need --mib-folder";
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

#ifdef OIDATLAS_WITH_SMI
bool ReadNames(const std::string& path, std::vector<std::string>* names, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (!line.empty() && line[0] != '#') names->push_back(line);
  }
  return true;
}

// Loads the listed modules, then (fill) the folder's others while the
// records stay within the limit; adds the records of the loaded ones.
bool AddMibRecords(const Options& opt, OidRecordList* list, std::vector<std::string>* comments, std::string* error) {
  oidatlas::gen::MibRecordSource source(opt.mibFolder);
  std::vector<std::string> listed;
  if (!opt.modulesFile.empty() && !ReadNames(opt.modulesFile, &listed, error)) return false;
  std::vector<std::string> chosen;
  std::map<std::string, int> rank;  // 0 best: listed SMIv2, listed SMIv1, other SMIv2, other SMIv1
  std::map<std::string, std::vector<std::string>> imports;
  size_t total = 0;
  size_t failed = 0;
  auto load = [&](const std::string& module, bool mustFit) {
    const oidatlas::gen::MibModuleResult r = source.Load(module);
    if (!r.error.empty()) {
      std::cerr << "oidatlas_gen: skipped " << module << ": " << r.error << "\n";
      ++failed;
      return true;
    }
    if (mustFit && total + r.records > opt.maxRecords) return false;
    total += r.records;
    chosen.push_back(module);
    rank[module] = (mustFit ? 2 : 0) + (r.smiv2 ? 0 : 1);
    imports[module] = r.imports;
    return true;
  };
  const std::set<std::string> seen(listed.begin(), listed.end());
  for (const std::string& module : listed) load(module, false);
  if (opt.fill) {
    for (const std::string& module : source.FolderModules()) {
      if (seen.count(module) == 0 && !load(module, true)) break;
    }
  }
  std::cerr << "oidatlas_gen: " << chosen.size() << " modules give " << total << " records; " << failed
            << " modules did not load\n";
  comments->push_back("Generated by oidatlas_gen from " + std::to_string(chosen.size()) + " MIB modules (" +
                      std::to_string(failed) + " did not load).");
  // An OID several modules define is named by the best-ranked of them; of
  // equal rank, the module more others import (the base one, such as
  // SNMPv2-SMI for the upper arcs others re-declare), then load order.
  std::map<std::string, size_t> importers;
  for (const std::string& module : chosen)
    for (const std::string& source : imports[module]) ++importers[source];
  std::stable_sort(chosen.begin(), chosen.end(), [&](const std::string& a, const std::string& b) {
    if (rank[a] != rank[b]) return rank[a] < rank[b];
    return importers[a] > importers[b];
  });
  return source.AddTo(chosen, list, error);
}
#endif

int Fail(const std::string& error) {
  std::cerr << "oidatlas_gen: " << error << "\n";
  return 1;
}

int Run(const Options& opt) {
  OidRecordList list;
  std::string error;
  std::vector<std::string> comments;
  if (!opt.mibFolder.empty()) {
#ifdef OIDATLAS_WITH_SMI
    if (!std::filesystem::is_directory(opt.mibFolder)) return Fail("no folder " + opt.mibFolder);
    if (!AddMibRecords(opt, &list, &comments, &error)) return Fail(error);
#else
    return Fail("this build has no SMI loader: --mib-folder is not available");
#endif
  }
  for (const std::string& path : opt.records) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail("cannot open " + path);
    if (!list.ReadTsv(in, path, &error)) return Fail(error);
  }
  list.Finish();
  if (!opt.mibFolder.empty()) list.PlaceFirstOfEachRun();
  std::string tsv;
  std::string cpp;
  if (!opt.tsvOut.empty()) {
    std::ostringstream out;
    list.WriteTsv(out, comments);
    tsv = out.str();
  }
  if (!opt.cppOut.empty()) {
    std::ostringstream out;
    const std::string origin = opt.records.empty() ? std::filesystem::path(opt.mibFolder).filename().string()
                                                   : std::filesystem::path(opt.records.front()).filename().string();
    if (!TableWriter::Write(list, origin, out, &error)) return Fail(error);
    cpp = out.str();
  }
  if (!opt.tsvOut.empty() && !WriteFile(opt.tsvOut, tsv, &error)) return Fail(error);
  if (!opt.cppOut.empty() && !WriteFile(opt.cppOut, cpp, &error)) return Fail(error);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  std::string problem;
  if (!ParseArgs(argc, argv, &opt, &problem)) return Usage(problem);
  return Run(opt);
}
