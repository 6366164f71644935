#include "smi/SmiParser.h"

#include "SmiGrammar.h"
#include "quillog/Quillog.h"
#include "smi/MibFolders.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <new>

#define SMI_TRACE(feature, ...)                                                    \
  do {                                                                             \
    if (quillog::FeatureOn(feature)) QuillogW(QUILLOG_INFO, feature, __VA_ARGS__); \
  } while (0)

namespace {

const std::wstring kNullText;

const std::wstring& Text(const std::wstring* text) { return text ? *text : kNullText; }

// Restores the nesting counter whatever way a Parse call ends.
class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : m_depth(depth) { ++m_depth; }
  ~DepthGuard() { --m_depth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& m_depth;
};

// Unwinds the nested parses when a stop is requested.
struct ParseStopped {};

}  // namespace

CSmiParser::CSmiParser(CSmiScanner& scanner, CSmiTree& tree) : m_scanner(scanner), m_tree(tree) {
  m_description_target = &m_current.description;
}

CSmiParser::Token CSmiParser::ReadToken() {
  if (!m_lex.queue.empty()) {
    Token token = m_lex.queue.front();
    m_lex.queue.pop_front();
    return token;
  }
  if (StopRequested()) throw ParseStopped{};
  Token token{0, nullptr};
  token.code = m_scanner.NextToken(&token.value);
  return token;
}

namespace {

bool IsSymbolToken(int code) {
  switch (code) {
    case UPPER_STRING:
    case LOWER_STRING:
    case TOK_AGENT_CAPABILITIES:
    case TOK_MODULE_COMPLIANCE:
    case TOK_MODULE_IDENTITY:
    case TOK_NOTIFICATION_GROUP:
    case TOK_NOTIFICATION_TYPE:
    case TOK_OBJECT_GROUP:
    case TOK_OBJECT_IDENTITY:
    case TOK_OBJECT_TYPE:
    case TOK_TEXTUAL_CONVENTION:
    case TOK_TRAP_TYPE: return true;
    default: return false;
  }
}

}  // namespace

void CSmiParser::TrackImports(const Token& token) {
  switch (m_lex.phase) {
    case kNotInImports:
      if (token.code == TOK_IMPORTS) m_lex.phase = kInSymbols;
      return;
    case kInSymbols:
      if (token.code == TOK_FROM) m_lex.phase = kAfterFrom;
      break;
    case kAfterFrom: m_lex.phase = token.code == UPPER_STRING ? kAfterModule : kInSymbols; break;
    case kAfterModule:
      if (token.code == TOK_LEFT_BRACE) {
        m_lex.phase = kInModuleOid;
        m_lex.braces = 1;
      } else {
        m_lex.phase = kInSymbols;
      }
      break;
    case kInModuleOid:
      if (token.code == TOK_LEFT_BRACE) ++m_lex.braces;
      if (token.code == TOK_RIGHT_BRACE && --m_lex.braces == 0) m_lex.phase = kAfterModule;
      break;
  }
  if (token.code == TOK_SEMI_COLON || token.code == 0) m_lex.phase = kNotInImports;
}

int CSmiParser::Lex(const CSmiToken** value) {
  Token token = ReadToken();
  if (m_lex.phase == kAfterModule && IsSymbolToken(token.code)) {
    const Token next = ReadToken();
    m_lex.queue.push_front(next);
    if (next.code != TOK_COMMA && next.code != TOK_FROM) {
      SMI_TRACE(QLF_PROGRAM_YACC, L"IMPORTS without ';' before '%s', File %s, Line %d",
                token.value ? *token.value : kNullText, m_scanner.FileName(), m_scanner.Line());
      m_lex.queue.push_front(token);
      token = Token{TOK_SEMI_COLON, nullptr};
    }
  }
  TrackImports(token);
  *value = token.value;
  return token.code;
}

int CSmiParser::RunGrammar() {
  DepthGuard guard(m_depth);
  CSmiModuleKey key = CSmiModuleKey::FromPath(m_scanner.FileName());
  CSmiSharedKey shared(key);
  m_file_keys.push_back(FileKey{std::move(key), std::move(shared)});
  const int result = smi_gram_parse(this);
  m_file_keys.pop_back();
  return result;
}

int CSmiParser::Parse() {
  if (m_depth > 0) return RunGrammar();
  m_lex = LexState();
  m_file_keys.clear();
  try {
    return RunGrammar();
  } catch (const ParseStopped&) {
    ResetRecord();
    return 3;
  } catch (const CSmiScannerFatal& e) {
    m_scanner.ErrorReport(quillog::Utf8ToWide(e.what()));
  } catch (const std::bad_alloc&) {
    m_scanner.ErrorReport(L"memory exhausted");
  }
  ResetRecord();
  return 2;
}

void CSmiParser::SyntaxError(const char* message) { m_scanner.ErrorReport(quillog::Utf8ToWide(message)); }

// The module file of the running parse: a lookahead token may already have
// been read from it while an imported file is still the scanner's current one.
const CSmiModuleKey& CSmiParser::CurrentFileKey() const {
  if (!m_file_keys.empty()) return m_file_keys.back().key;
  m_fallback_key.key = CSmiModuleKey::FromPath(m_scanner.FileName());
  return m_fallback_key.key;
}

const CSmiSharedKey& CSmiParser::CurrentSharedKey() const {
  if (!m_file_keys.empty()) return m_file_keys.back().shared;
  m_fallback_key.shared = CSmiSharedKey(CurrentFileKey());
  return m_fallback_key.shared;
}

void CSmiParser::ResetRecord() {
  m_current = CSmiObject();
  m_pending_name = CSmiName();
  m_type_stack.clear();
  m_description_target = &m_current.description;
}

void CSmiParser::BeginParse() {
  SMI_TRACE(QLF_PROGRAM_SMI, L"Beginning of parsing File %s", m_scanner.FileName());
  m_in_constraint = false;
  m_in_named_number_list = false;
  m_in_value = false;
  m_in_default_value = false;
  m_scanner.ClearLastError();
  m_scanner.ClearAccumulator();
  ResetRecord();
}

void CSmiParser::RegisterDefinedModule(const std::wstring* name) {
  CSmiTreeProtected lock(m_tree);
  m_tree.RegisterModule(Text(name));
}

void CSmiParser::AddImportSymbol(const std::wstring* symbol) {
  const CSmiSharedKey key = CurrentSharedKey();
  {
    CSmiTreeProtected lock(m_tree);
    m_tree.AddImport(key, Text(symbol));
  }
  SMI_TRACE(QLF_PROGRAM_SMI, L"%s ==> Adding imported symbol '%s'", key.module_name, Text(symbol));
}

bool CSmiParser::ImportFrom(const std::wstring* module) {
  // The module's file is looked for once per load (the folders are searched on disk).
  CSmiModuleKey key{Text(module), ModuleFile(Text(module))};
  if (key.file_path.empty()) {
    const std::wstring alias = ModuleAlias(key.module_name);
    std::wstring alias_path = alias.empty() ? std::wstring() : FindModuleFile(alias);
    if (!alias_path.empty()) {
      QuillogW(QUILLOG_INFO, QLF_PROGRAM_YACC, L"Module %s is read from its current module %s", key.module_name, alias);
      key = CSmiModuleKey{alias, std::move(alias_path)};
    } else {
      key.file_path = LocateModuleFile(key.module_name);  // logs that no folder holds it
    }
  }
  const std::wstring& name = key.module_name;
  {
    CSmiTreeProtected lock(m_tree);
    m_tree.FinalizeImports(key);
    SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"%s ==> Imported symbol finalize '%s'", CurrentFileKey().module_name, name);
    if (!m_tree.RegisterModule(key)) return true;
  }
  SMI_TRACE(QLF_PROGRAM_YACC, L"Need to load module %s", name);
  if (m_scanner.OpenFile(key.file_path) != 0) return false;
  // Tokens the importing module already read stay with it.
  LexState saved = std::move(m_lex);
  m_lex = LexState();
  const size_t mark = m_scanner.TokenStringCount();
  const int result = Parse();
  // Nothing holds the imported module's tokens once it is read.
  if (result == 0) m_scanner.FreeTokenStringsFrom(mark);
  m_lex = std::move(saved);
  return result == 0;
}

CSmiType* CSmiParser::CurrentType() {
  if (m_type_stack.empty()) return nullptr;
  const int32_t top = m_type_stack.back();
  if (top < 0) return &m_current.type;
  if (static_cast<size_t>(top) >= m_current.type.nested.size()) return nullptr;
  return &m_current.type.nested[static_cast<size_t>(top)];
}

void CSmiParser::BeginType() {
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"YaccBeginType() File %s, Line %d", m_scanner.FileName(), m_scanner.Line());
  if (m_type_stack.empty()) {
    m_type_stack.push_back(-1);
    return;
  }
  m_current.type.nested.emplace_back();
  m_type_stack.push_back(static_cast<int32_t>(m_current.type.nested.size() - 1));
}

void CSmiParser::EndType() {
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"YaccEndType() File %s, Line %d", m_scanner.FileName(), m_scanner.Line());
  if (!m_type_stack.empty()) m_type_stack.pop_back();
}

void CSmiParser::SetType(uint32_t kind, const std::wstring* name) {
  CSmiType* type = CurrentType();
  if (!type) return;
  type->kind = kind;
  if (name) type->name = CSmiTypeName(*name);
}

void CSmiParser::FreeLoadCaches() {
  std::unordered_map<std::wstring, std::wstring>().swap(m_module_files);
  m_fallback_key = FileKey();
  m_current = CSmiObject();
  m_pending_name = CSmiName();
  m_description_file.reset();
  m_description_file_serial = 0;
}

const std::wstring& CSmiParser::ModuleFile(const std::wstring& module) {
  auto it = m_module_files.find(module);
  if (it == m_module_files.end()) it = m_module_files.emplace(module, FindModuleFile(module)).first;
  return it->second;
}

void CSmiParser::AppendConstraint(const wchar_t* text) {
  if (CSmiType* type = CurrentType()) type->constraint += text;
}

void CSmiParser::ConstraintListBegin() {
  if (m_in_constraint) {
    QuillogW(QUILLOG_WARNING, QLF_NONE,
             L"YaccPushConstraintConstraintListBegin() inside a Constraint, File %s, Line %d", m_scanner.FileName(),
             m_scanner.Line());
    return;
  }
  m_in_constraint = true;
}

void CSmiParser::ConstraintListEnd() {
  if (!m_in_constraint) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintConstraintListEnd() outside a Constraint, File %s, Line %d",
             m_scanner.FileName(), m_scanner.Line());
    return;
  }
  m_in_constraint = false;
  if (quillog::FeatureOn(QLF_PROGRAM_YACC_AUX)) {
    CSmiType* type = CurrentType();
    QuillogW(QUILLOG_INFO, QLF_PROGRAM_YACC_AUX, L"File %s, Line %d, constaint is [%s]", m_scanner.FileName(),
             m_scanner.Line(), type ? type->constraint.Wide() : kNullText);
  }
}

void CSmiParser::SizeConstraint() {
  if (!m_in_constraint) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintSizeConstraint() outside a Constraint, File %s, Line %d",
             m_scanner.FileName(), m_scanner.Line());
    return;
  }
  AppendConstraint(L"SIZE ");
}

void CSmiParser::DoubleDot() {
  if (!m_in_constraint) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintDoubleDot() outside a Constraint, File %s, Line %d",
             m_scanner.FileName(), m_scanner.Line());
    return;
  }
  AppendConstraint(L"..");
}

void CSmiParser::MinNumber() {
  if (!m_in_constraint) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintMinNumber() outside a Constraint, File %s, Line %d",
             m_scanner.FileName(), m_scanner.Line());
    return;
  }
  AppendConstraint(L"MIN");
}

void CSmiParser::MaxNumber() {
  if (!m_in_constraint) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintMaxNumber() outside a Constraint, File %s, Line %d",
             m_scanner.FileName(), m_scanner.Line());
    return;
  }
  AppendConstraint(L"MAX");
}

void CSmiParser::VerticalBar() {
  if (!m_in_constraint) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintVerticalBarre() outside a Constraint, File %s, Line %d",
             m_scanner.FileName(), m_scanner.Line());
    return;
  }
  AppendConstraint(L"|");
}

void CSmiParser::NamedNumberListBegin() {
  if (m_in_named_number_list) {
    QuillogW(QUILLOG_WARNING, QLF_NONE,
             L"YaccPushConstraintNamedNumberListBegin() inside a Constraint, File %s, Line %d", m_scanner.FileName(),
             m_scanner.Line());
    return;
  }
  m_in_named_number_list = true;
}

void CSmiParser::NamedNumberListEnd() {
  if (!m_in_named_number_list) {
    QuillogW(QUILLOG_WARNING, QLF_NONE,
             L"YaccPushConstraintNamedNumberListEnd() outside a Constraint, File %s, Line %d", m_scanner.FileName(),
             m_scanner.Line());
    return;
  }
  m_in_named_number_list = false;
}

void CSmiParser::NamedNumberIdentifier(const std::wstring* name) {
  CSmiType* type = CurrentType();
  if (!type) return;
  // One append: each one copies the whole text so far.
  type->constraint += type->constraint.empty() ? Text(name) : L", " + Text(name);
}

void CSmiParser::NamedNumberIdentifier(const std::wstring* digits, const std::wstring* rest) {
  const std::wstring label = Text(digits) + Text(rest);
  NamedNumberIdentifier(&label);
}

void CSmiParser::NumberValue(const std::wstring* text) {
  if (m_in_value) {
    SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"AddOidByNumber('%s')", Text(text));
    AppendArc(Text(text));
    return;
  }
  if (!m_in_constraint && !m_in_named_number_list && !m_in_default_value) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintNumberValue() outside a Constraint, File %s, Line %d",
             m_scanner.FileName(), m_scanner.Line());
    return;
  }
  if (m_in_default_value) return;
  CSmiType* type = CurrentType();
  if (!type) return;
  if (m_in_constraint) {
    type->constraint += Text(text);
    return;
  }
  type->constraint += L"(" + Text(text) + L")";
}

void CSmiParser::AppendArc(const std::wstring& text) {
  errno = 0;
  wchar_t* end = nullptr;
  const long long value = std::wcstoll(text.c_str(), &end, 10);
  const bool overflow = errno == ERANGE;
  if (overflow || value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<uint32_t>::max()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"OID arc %s is outside the 32-bit range, File %s, Line %d", text,
             m_scanner.FileName(), m_scanner.Line());
  }
  m_current.oid.push_back(value);
}

void CSmiParser::BeginValue() {
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"YaccBeginValue() File %s, Line %d", m_scanner.FileName(), m_scanner.Line());
  if (m_in_value) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccBeginValue() inside a value, File %s, Line %d", m_scanner.FileName(),
             m_scanner.Line());
    return;
  }
  m_in_value = true;
}

void CSmiParser::EndValue() {
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"YaccEndValue() File %s, Line %d", m_scanner.FileName(), m_scanner.Line());
  if (!m_in_value) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccEndValue() outside a value, File %s, Line %d", m_scanner.FileName(),
             m_scanner.Line());
    return;
  }
  m_in_value = false;
}

void CSmiParser::BeginDefaultValue() {
  if (m_in_default_value) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccBeginDefaultValue() inside a default value, File %s, Line %d",
             m_scanner.FileName(), m_scanner.Line());
    return;
  }
  m_in_default_value = true;
}

void CSmiParser::EndDefaultValue() {
  if (!m_in_default_value) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccEndDefaultValue() outside a value, File %s, Line %d",
             m_scanner.FileName(), m_scanner.Line());
    return;
  }
  m_in_default_value = false;
}

void CSmiParser::AddOidByName(const std::wstring* name) {
  if (!m_in_value) return;
  const std::wstring& text = Text(name);
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"AddOidByName('%s')", text);
  const CSmiSharedKey& key = CurrentSharedKey();
  CSmiTreeProtected lock(m_tree);
  if (const CSmiObject* found = m_tree.FindObjectByName(text, key)) {
    m_current.oid.append(found->oid.begin(), found->oid.end());
    return;
  }
  if (m_pending_name.empty()) {
    SMI_TRACE(QLF_PROGRAM_YACC_AUX,
              L"The OID name '%s' does not exists yet. It will be resolved later, File %s, Line %d", text,
              m_scanner.FileName(), m_scanner.Line());
    m_pending_name = text;
    m_current.resolve_position = static_cast<int32_t>(m_current.oid.size());
    return;
  }
  SMI_TRACE(QLF_PROGRAM_YACC_AUX,
            L"The OID name '%s' does not exists yet but resolved later is already set, File %s, Line %d", text,
            m_scanner.FileName(), m_scanner.Line());
}

void CSmiParser::AddOidByNameAndNumber(const std::wstring* name, const std::wstring* number) {
  if (!m_in_value) return;
  const std::wstring& text = Text(name);
  const std::wstring& digits = Text(number);
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"AddOidByNameAndNumber('%s'=%s)", text, digits);
  const CSmiSharedKey& key = CurrentSharedKey();
  {
    CSmiTreeProtected lock(m_tree);
    const CSmiObject* found = m_tree.FindObjectByName(text, key);
    if (!found) {
      CSmiObject record;
      record.declarations.push_back(CSmiDeclaration{text, key.ref, m_scanner.Line()});
      record.type.kind = SMI_TYPE_OBJECT_IDENTIFIER;
      record.oid = m_current.oid;
      record.resolve_position = m_current.resolve_position;
      AppendArc(digits);
      record.oid.push_back(m_current.oid.back());
      m_tree.AddObject(std::move(record), m_pending_name);
      return;
    }
    const std::wstring last = found->oid.empty() ? std::wstring() : std::to_wstring(found->oid.back());
    if (last != digits) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"OID name/value ('%s'/%s) is not the same as previous ('%s')", text, digits,
               last);
    }
  }
  AppendArc(digits);
}

void CSmiParser::TrapEnterpriseEnd() {
  static const std::wstring kTrap = L"Trap";
  static const std::wstring kZero = L"0";
  AddOidByNameAndNumber(&kTrap, &kZero);
  EndValue();
}

void CSmiParser::SetStatus(const std::wstring* text) {
  const uint32_t code = SmiStatusCode(Text(text));
  if (code == 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unknown status mode '%s'", Text(text));
    return;
  }
  m_current.status = static_cast<uint8_t>(code);  // 1..5
}

void CSmiParser::SetAccess(const std::wstring* text) {
  const uint32_t code = SmiAccessCode(Text(text));
  if (code == 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unknown access mode '%s'", Text(text));
    return;
  }
  m_current.access = static_cast<uint8_t>(code);  // 1..7
}

void CSmiParser::SetDescription(const CSmiToken* text) {
  if (!text) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"NULL Pointer, File %s, Line %d", m_scanner.FileName(), m_scanner.Line());
    return;
  }
  if (text->file_offset >= 0 && text->file_serial == m_scanner.FileSerial()) {
    if (m_description_file_serial != text->file_serial) {
      m_description_file = CSmiText::FileBlock(quillog::WideToUtf8(m_scanner.FileName()));
      m_description_file_serial = text->file_serial;
    }
    if (m_description_target->AssignFileRange(m_description_file, static_cast<uint64_t>(text->file_offset),
                                              text->quoted.size()))
      return;
  }
  m_description_target->AssignBytes(m_scanner.TakeQuoted(text));
}

void CSmiParser::Declare(const std::wstring& name) {
  const CSmiSharedKey& key = CurrentSharedKey();
  m_current.declarations.clear();
  m_current.declarations.push_back(CSmiDeclaration{name, key.ref, m_scanner.Line()});
}

void CSmiParser::TypeAssignment(const std::wstring* name) {
  Declare(Text(name));
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"AddMibType(%s), Type=%s", Text(name), m_current.type.DisplayText(true));
  {
    CSmiTreeProtected lock(m_tree);
    m_tree.AddType(std::move(m_current));
  }
  ResetRecord();
}

void CSmiParser::ValueAssignment(const std::wstring* name) {
  Declare(Text(name));
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"AddMibObject(%s), OID=%s", Text(name), SmiOidText(m_current.oid));
  {
    CSmiTreeProtected lock(m_tree);
    m_tree.AddObject(std::move(m_current), std::move(m_pending_name));
  }
  ResetRecord();
}
