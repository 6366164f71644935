#include "smi/SmiParser.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <new>

#include "SmiGrammar.h"
#include "quillog/Quillog.h"
#include "smi/MibFolders.h"

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
  explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

// Unwinds the nested parses when a stop is requested.
struct ParseStopped {};

}  // namespace

CSmiParser::CSmiParser(CSmiScanner& scanner, CSmiTree& tree) : scanner_(scanner), tree_(tree) {
  description_target_ = &current_.description;
}

CSmiParser::Token CSmiParser::ReadToken() {
  if (!lex_.queue.empty()) {
    Token token = lex_.queue.front();
    lex_.queue.pop_front();
    return token;
  }
  if (StopRequested()) throw ParseStopped{};
  Token token{0, nullptr};
  token.code = scanner_.NextToken(&token.value);
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
    case TOK_TRAP_TYPE:
      return true;
    default:
      return false;
  }
}

}  // namespace

void CSmiParser::TrackImports(const Token& token) {
  switch (lex_.phase) {
    case kNotInImports:
      if (token.code == TOK_IMPORTS) lex_.phase = kInSymbols;
      return;
    case kInSymbols:
      if (token.code == TOK_FROM) lex_.phase = kAfterFrom;
      break;
    case kAfterFrom:
      lex_.phase = token.code == UPPER_STRING ? kAfterModule : kInSymbols;
      break;
    case kAfterModule:
      if (token.code == TOK_LEFT_BRACE) {
        lex_.phase = kInModuleOid;
        lex_.braces = 1;
      } else {
        lex_.phase = kInSymbols;
      }
      break;
    case kInModuleOid:
      if (token.code == TOK_LEFT_BRACE) ++lex_.braces;
      if (token.code == TOK_RIGHT_BRACE && --lex_.braces == 0) lex_.phase = kAfterModule;
      break;
  }
  if (token.code == TOK_SEMI_COLON || token.code == 0) lex_.phase = kNotInImports;
}

int CSmiParser::Lex(const CSmiToken** value) {
  Token token = ReadToken();
  if (lex_.phase == kAfterModule && IsSymbolToken(token.code)) {
    const Token next = ReadToken();
    lex_.queue.push_front(next);
    if (next.code != TOK_COMMA && next.code != TOK_FROM) {
      SMI_TRACE(QLF_PROGRAM_YACC, L"IMPORTS without ';' before '%s', File %s, Line %d",
                token.value ? *token.value : kNullText, scanner_.FileName(), scanner_.Line());
      lex_.queue.push_front(token);
      token = Token{TOK_SEMI_COLON, nullptr};
    }
  }
  TrackImports(token);
  *value = token.value;
  return token.code;
}

int CSmiParser::RunGrammar() {
  DepthGuard guard(depth_);
  CSmiModuleKey key = CSmiModuleKey::FromPath(scanner_.FileName());
  CSmiSharedKey shared(key);
  file_keys_.push_back(FileKey{std::move(key), std::move(shared)});
  const int result = smi_gram_parse(this);
  file_keys_.pop_back();
  return result;
}

int CSmiParser::Parse() {
  if (depth_ > 0) return RunGrammar();
  lex_ = LexState();
  file_keys_.clear();
  try {
    return RunGrammar();
  } catch (const ParseStopped&) {
    ResetRecord();
    return 3;
  } catch (const CSmiScannerFatal& e) {
    scanner_.ErrorReport(quillog::Utf8ToWide(e.what()));
  } catch (const std::bad_alloc&) {
    scanner_.ErrorReport(L"memory exhausted");
  }
  ResetRecord();
  return 2;
}

void CSmiParser::SyntaxError(const char* message) { scanner_.ErrorReport(quillog::Utf8ToWide(message)); }

// The module file of the running parse: a lookahead token may already have
// been read from it while an imported file is still the scanner's current one.
const CSmiModuleKey& CSmiParser::CurrentFileKey() const {
  if (!file_keys_.empty()) return file_keys_.back().key;
  fallback_key_.key = CSmiModuleKey::FromPath(scanner_.FileName());
  return fallback_key_.key;
}

const CSmiSharedKey& CSmiParser::CurrentSharedKey() const {
  if (!file_keys_.empty()) return file_keys_.back().shared;
  fallback_key_.shared = CSmiSharedKey(CurrentFileKey());
  return fallback_key_.shared;
}

void CSmiParser::ResetRecord() {
  current_ = CSmiObject();
  type_stack_.clear();
  description_target_ = &current_.description;
}

void CSmiParser::BeginParse() {
  SMI_TRACE(QLF_PROGRAM_SMI, L"Beginning of parsing File %s", scanner_.FileName());
  in_constraint_ = false;
  in_named_number_list_ = false;
  in_value_ = false;
  in_default_value_ = false;
  scanner_.ClearLastError();
  scanner_.ClearAccumulator();
  ResetRecord();
}

void CSmiParser::RegisterDefinedModule(const std::wstring* name) {
  CSmiTreeProtected lock(tree_);
  tree_.RegisterModule(Text(name));
}

void CSmiParser::AddImportSymbol(const std::wstring* symbol) {
  const CSmiSharedKey key = CurrentSharedKey();
  {
    CSmiTreeProtected lock(tree_);
    tree_.AddImport(key, Text(symbol));
  }
  SMI_TRACE(QLF_PROGRAM_SMI, L"%s ==> Adding imported symbol '%s'", key.module_name, Text(symbol));
}

bool CSmiParser::ImportFrom(const std::wstring* module) {
  // The module's file is looked for once (the folders are searched on disk).
  CSmiModuleKey key{Text(module), FindModuleFile(Text(module))};
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
    CSmiTreeProtected lock(tree_);
    tree_.FinalizeImports(key);
    SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"%s ==> Imported symbol finalize '%s'", CurrentFileKey().module_name, name);
    if (!tree_.RegisterModule(key)) return true;
  }
  SMI_TRACE(QLF_PROGRAM_YACC, L"Need to load module %s", name);
  if (scanner_.OpenFile(key.file_path) != 0) return false;
  // Tokens the importing module already read stay with it.
  LexState saved = std::move(lex_);
  lex_ = LexState();
  const size_t mark = scanner_.TokenStringCount();
  const int result = Parse();
  // Nothing holds the imported module's tokens once it is read.
  if (result == 0) scanner_.FreeTokenStringsFrom(mark);
  lex_ = std::move(saved);
  return result == 0;
}

CSmiType* CSmiParser::CurrentType() {
  if (type_stack_.empty()) return nullptr;
  const int32_t top = type_stack_.back();
  if (top < 0) return &current_.type;
  if (static_cast<size_t>(top) >= current_.type.nested.size()) return nullptr;
  return &current_.type.nested[static_cast<size_t>(top)];
}

void CSmiParser::BeginType() {
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"YaccBeginType() File %s, Line %d", scanner_.FileName(), scanner_.Line());
  if (type_stack_.empty()) {
    type_stack_.push_back(-1);
    return;
  }
  current_.type.nested.emplace_back();
  type_stack_.push_back(static_cast<int32_t>(current_.type.nested.size() - 1));
}

void CSmiParser::EndType() {
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"YaccEndType() File %s, Line %d", scanner_.FileName(), scanner_.Line());
  if (!type_stack_.empty()) type_stack_.pop_back();
}

void CSmiParser::SetType(uint32_t kind, const std::wstring* name) {
  CSmiType* type = CurrentType();
  if (!type) return;
  type->kind = kind;
  if (name) type->name = TypeName(*name);
}

const CSmiSharedText& CSmiParser::TypeName(const std::wstring& name) {
  auto it = type_names_.find(name);
  if (it == type_names_.end()) it = type_names_.emplace(name, CSmiSharedText(name)).first;
  return it->second;
}

void CSmiParser::AppendConstraint(const wchar_t* text) {
  if (CSmiType* type = CurrentType()) type->constraint += text;
}

void CSmiParser::ConstraintListBegin() {
  if (in_constraint_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintConstraintListBegin() inside a Constraint, File %s, Line %d",
             scanner_.FileName(), scanner_.Line());
    return;
  }
  in_constraint_ = true;
}

void CSmiParser::ConstraintListEnd() {
  if (!in_constraint_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintConstraintListEnd() outside a Constraint, File %s, Line %d",
             scanner_.FileName(), scanner_.Line());
    return;
  }
  in_constraint_ = false;
  if (quillog::FeatureOn(QLF_PROGRAM_YACC_AUX)) {
    CSmiType* type = CurrentType();
    QuillogW(QUILLOG_INFO, QLF_PROGRAM_YACC_AUX, L"File %s, Line %d, constaint is [%s]", scanner_.FileName(),
             scanner_.Line(), type ? type->constraint.Wide() : kNullText);
  }
}

void CSmiParser::SizeConstraint() {
  if (!in_constraint_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintSizeConstraint() outside a Constraint, File %s, Line %d",
             scanner_.FileName(), scanner_.Line());
    return;
  }
  AppendConstraint(L"SIZE ");
}

void CSmiParser::DoubleDot() {
  if (!in_constraint_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintDoubleDot() outside a Constraint, File %s, Line %d",
             scanner_.FileName(), scanner_.Line());
    return;
  }
  AppendConstraint(L"..");
}

void CSmiParser::MinNumber() {
  if (!in_constraint_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintMinNumber() outside a Constraint, File %s, Line %d",
             scanner_.FileName(), scanner_.Line());
    return;
  }
  AppendConstraint(L"MIN");
}

void CSmiParser::MaxNumber() {
  if (!in_constraint_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintMaxNumber() outside a Constraint, File %s, Line %d",
             scanner_.FileName(), scanner_.Line());
    return;
  }
  AppendConstraint(L"MAX");
}

void CSmiParser::VerticalBar() {
  if (!in_constraint_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintVerticalBarre() outside a Constraint, File %s, Line %d",
             scanner_.FileName(), scanner_.Line());
    return;
  }
  AppendConstraint(L"|");
}

void CSmiParser::NamedNumberListBegin() {
  if (in_named_number_list_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintNamedNumberListBegin() inside a Constraint, File %s, Line %d",
             scanner_.FileName(), scanner_.Line());
    return;
  }
  in_named_number_list_ = true;
}

void CSmiParser::NamedNumberListEnd() {
  if (!in_named_number_list_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintNamedNumberListEnd() outside a Constraint, File %s, Line %d",
             scanner_.FileName(), scanner_.Line());
    return;
  }
  in_named_number_list_ = false;
}

void CSmiParser::NamedNumberIdentifier(const std::wstring* name) {
  CSmiType* type = CurrentType();
  if (!type) return;
  if (!type->constraint.empty()) type->constraint += L", ";
  type->constraint += Text(name);
}

void CSmiParser::NamedNumberIdentifier(const std::wstring* digits, const std::wstring* rest) {
  const std::wstring label = Text(digits) + Text(rest);
  NamedNumberIdentifier(&label);
}

void CSmiParser::NumberValue(const std::wstring* text) {
  if (in_value_) {
    SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"AddOidByNumber('%s')", Text(text));
    AppendArc(Text(text));
    return;
  }
  if (!in_constraint_ && !in_named_number_list_ && !in_default_value_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccPushConstraintNumberValue() outside a Constraint, File %s, Line %d",
             scanner_.FileName(), scanner_.Line());
    return;
  }
  if (in_default_value_) return;
  CSmiType* type = CurrentType();
  if (!type) return;
  if (in_constraint_) {
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
             scanner_.FileName(), scanner_.Line());
  }
  current_.oid.push_back(value);
}

void CSmiParser::BeginValue() {
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"YaccBeginValue() File %s, Line %d", scanner_.FileName(), scanner_.Line());
  if (in_value_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccBeginValue() inside a value, File %s, Line %d", scanner_.FileName(),
             scanner_.Line());
    return;
  }
  in_value_ = true;
}

void CSmiParser::EndValue() {
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"YaccEndValue() File %s, Line %d", scanner_.FileName(), scanner_.Line());
  if (!in_value_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccEndValue() outside a value, File %s, Line %d", scanner_.FileName(),
             scanner_.Line());
    return;
  }
  in_value_ = false;
}

void CSmiParser::BeginDefaultValue() {
  if (in_default_value_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccBeginDefaultValue() inside a default value, File %s, Line %d",
             scanner_.FileName(), scanner_.Line());
    return;
  }
  in_default_value_ = true;
}

void CSmiParser::EndDefaultValue() {
  if (!in_default_value_) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"YaccEndDefaultValue() outside a value, File %s, Line %d",
             scanner_.FileName(), scanner_.Line());
    return;
  }
  in_default_value_ = false;
}

void CSmiParser::AddOidByName(const std::wstring* name) {
  if (!in_value_) return;
  const std::wstring& text = Text(name);
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"AddOidByName('%s')", text);
  const CSmiSharedKey& key = CurrentSharedKey();
  CSmiTreeProtected lock(tree_);
  if (const CSmiObject* found = tree_.FindObjectByName(text, key)) {
    current_.oid.insert(current_.oid.end(), found->oid.begin(), found->oid.end());
    return;
  }
  if (current_.pending_name.empty()) {
    SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"The OID name '%s' does not exists yet. It will be resolved later, File %s, Line %d",
              text, scanner_.FileName(), scanner_.Line());
    current_.pending_name = text;
    current_.resolve_position = static_cast<int32_t>(current_.oid.size());
    return;
  }
  SMI_TRACE(QLF_PROGRAM_YACC_AUX,
            L"The OID name '%s' does not exists yet but resolved later is already set, File %s, Line %d", text,
            scanner_.FileName(), scanner_.Line());
}

void CSmiParser::AddOidByNameAndNumber(const std::wstring* name, const std::wstring* number) {
  if (!in_value_) return;
  const std::wstring& text = Text(name);
  const std::wstring& digits = Text(number);
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"AddOidByNameAndNumber('%s'=%s)", text, digits);
  const CSmiSharedKey& key = CurrentSharedKey();
  {
    CSmiTreeProtected lock(tree_);
    const CSmiObject* found = tree_.FindObjectByName(text, key);
    if (!found) {
      CSmiObject record;
      record.declarations.push_back(CSmiDeclaration{text, key.module_name, key.file_path, scanner_.Line()});
      record.type.kind = SMI_TYPE_OBJECT_IDENTIFIER;
      record.oid = current_.oid;
      record.pending_name = current_.pending_name;
      record.resolve_position = current_.resolve_position;
      AppendArc(digits);
      record.oid.push_back(current_.oid.back());
      tree_.AddObject(std::move(record));
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
  current_.status = static_cast<uint8_t>(code);  // 1..5
}

void CSmiParser::SetAccess(const std::wstring* text) {
  const uint32_t code = SmiAccessCode(Text(text));
  if (code == 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unknown access mode '%s'", Text(text));
    return;
  }
  current_.access = static_cast<uint8_t>(code);  // 1..7
}

void CSmiParser::SetDescription(const CSmiToken* text) {
  if (!text) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"NULL Pointer, File %s, Line %d", scanner_.FileName(), scanner_.Line());
    return;
  }
  description_target_->AssignBytes(scanner_.TakeQuoted(text));
}

void CSmiParser::Declare(const std::wstring& name) {
  const CSmiSharedKey& key = CurrentSharedKey();
  current_.declarations.clear();
  current_.declarations.push_back(CSmiDeclaration{name, key.module_name, key.file_path, scanner_.Line()});
}

void CSmiParser::TypeAssignment(const std::wstring* name) {
  Declare(Text(name));
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"AddMibType(%s), Type=%s", Text(name), current_.type.DisplayText(true));
  {
    CSmiTreeProtected lock(tree_);
    tree_.AddType(std::move(current_));
  }
  ResetRecord();
}

void CSmiParser::ValueAssignment(const std::wstring* name) {
  Declare(Text(name));
  SMI_TRACE(QLF_PROGRAM_YACC_AUX, L"AddMibObject(%s), OID=%s", Text(name), SmiOidText(current_.oid));
  {
    CSmiTreeProtected lock(tree_);
    tree_.AddObject(std::move(current_));
  }
  ResetRecord();
}
