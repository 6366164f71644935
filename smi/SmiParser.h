// The SMI parser: reads one MIB module from the scanner's current file and
// adds its type and value assignments to the SMI tree. An IMPORTS clause
// naming a module the tree does not know yet opens that module's file on
// the scanner's file stack and parses it by a nested Parse.
//
// The grammar (SmiGrammar.y) is a pure LALR(1) parser; the state below is
// shared by the nested parses of one load.
#pragma once

#include "smi/SmiScanner.h"
#include "smi/SmiTree.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

class CSmiParser {
 public:
  CSmiParser(CSmiScanner& scanner, CSmiTree& tree);

  // 0 when the module was accepted; non-zero on a syntax error, memory
  // exhaustion, a scanner failure, an import that could not be loaded (the
  // error is then in the scanner's LastError()) or a stop request.
  int Parse();

  // A flag another thread may raise to cut a running Parse short: it is
  // read before every token, and Parse then returns non-zero with no error.
  void SetStopFlag(const std::atomic<bool>* stop) { m_stop = stop; }
  bool StopRequested() const { return m_stop != nullptr && m_stop->load(std::memory_order_relaxed); }

  CSmiScanner& Scanner() { return m_scanner; }
  CSmiTree& Tree() { return m_tree; }

  // The grammar's hooks (SmiGrammar.y), in the order they occur.
  int Lex(const CSmiToken** value);
  void SyntaxError(const char* message);
  void BeginParse();
  void RegisterDefinedModule(const std::wstring* name);
  void AddImportSymbol(const std::wstring* symbol);
  bool ImportFrom(const std::wstring* module);  // false: abort the parse

  void BeginType();
  void EndType();
  void SetType(uint32_t kind, const std::wstring* name = nullptr);

  void ConstraintListBegin();
  void ConstraintListEnd();
  void SizeConstraint();
  void DoubleDot();
  void MinNumber();
  void MaxNumber();
  void VerticalBar();
  void NamedNumberListBegin();
  void NamedNumberListEnd();
  void NamedNumberIdentifier(const std::wstring* name);
  // A label split by the scanner into a number and a word ("80211" "vRoam").
  void NamedNumberIdentifier(const std::wstring* digits, const std::wstring* rest);
  void NumberValue(const std::wstring* text);

  void BeginValue();
  void EndValue();
  void BeginDefaultValue();
  void EndDefaultValue();
  void AddOidByName(const std::wstring* name);
  void AddOidByNameAndNumber(const std::wstring* name, const std::wstring* number);
  void TrapEnterpriseEnd();

  void SetStatus(const std::wstring* text);
  void SetAccess(const std::wstring* text);
  void SetDescription(const CSmiToken* text);

  void TypeAssignment(const std::wstring* name);
  void ValueAssignment(const std::wstring* name);

  // Frees what only a running load needs (the tree keeps its own copies).
  void FreeLoadCaches();

  // For tests: the record being built.
  const CSmiObject& CurrentRecord() const { return m_current; }

 private:
  CSmiType* CurrentType();
  void AppendConstraint(const wchar_t* text);
  void AppendArc(const std::wstring& text);
  void ResetRecord();
  const CSmiModuleKey& CurrentFileKey() const;
  const CSmiSharedKey& CurrentSharedKey() const;
  void Declare(const std::wstring& name);

  // What Lex needs to close an IMPORTS clause that lacks its ';': after
  // "FROM Module", an identifier not followed by ',' or FROM starts the
  // module body, so a ';' is handed to the grammar before it.
  struct Token {
    int code;
    const CSmiToken* value;
  };
  enum ImportPhase { kNotInImports, kInSymbols, kAfterFrom, kAfterModule, kInModuleOid };
  struct LexState {
    ImportPhase phase = kNotInImports;
    int braces = 0;
    std::deque<Token> queue;
  };
  Token ReadToken();
  void TrackImports(const Token& token);

  int RunGrammar();

  CSmiScanner& m_scanner;
  CSmiTree& m_tree;
  LexState m_lex;
  // The file each running Parse reads its module from (innermost last).
  struct FileKey {
    CSmiModuleKey key;
    CSmiSharedKey shared;  // the same texts, for the records of the module
  };
  std::vector<FileKey> m_file_keys;
  mutable FileKey m_fallback_key;
  int m_depth = 0;  // nesting of Parse calls
  const std::atomic<bool>* m_stop = nullptr;

  bool m_in_constraint = false;
  bool m_in_named_number_list = false;
  bool m_in_value = false;
  bool m_in_default_value = false;
  CSmiObject m_current;
  CSmiName m_pending_name;  // of m_current's OID
  std::vector<int32_t> m_type_stack;
  CSmiText* m_description_target = nullptr;
  // Descriptions stay in the file being read (its serial in the scanner).
  CSmiTextBlockRef m_description_file;
  uint64_t m_description_file_serial = 0;
  // Where each imported module's file was found, for the rest of the load.
  const std::wstring& ModuleFile(const std::wstring& module);
  std::unordered_map<std::wstring, std::wstring> m_module_files;
};
