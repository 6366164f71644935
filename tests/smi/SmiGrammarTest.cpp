#include "SmiTestSupport.h"
#include "smi/SmiLoader.h"
#include "smi/SmiTree.h"

#include <string>

namespace {

class SmiGrammarTest : public SmiTempHome {
 protected:
  // Loads the module text as module NAME into m_tree (reset, all visible).
  bool Load(const std::string& name, const std::string& text) {
    WriteModule(name, text);
    return m_loader.Load({CSmiModuleKey::FromString(Wide(name))}, true, 0);
  }
  const CSmiObject* Object(const std::wstring& name) const { return Named(m_tree, name); }
  const CSmiObject* Type(const std::wstring& name) const { return Named(m_tree, name, true); }
  std::wstring OidOf(const std::wstring& name) const {
    const CSmiObject* o = Object(name);
    return o ? o->OidText() : L"<none>";
  }

  CSmiTree m_tree;
  CSmiLoader m_loader{m_tree};
};

// Text after the loaded module's END is not read.
TEST_F(SmiGrammarTest, EmptyModulesParse) {
  EXPECT_TRUE(Load("A", "A DEFINITIONS ::= BEGIN END\nJUNK ::= ( garbage"));
  EXPECT_TRUE(Load("B", "B { iso 3 6 1 } DEFINITIONS ::= BEGIN END"));
  EXPECT_TRUE(Load("C", "C DEFINITIONS IMPLICIT TAGS ::= BEGIN EXPORTS ALL; END"));
  EXPECT_EQ(m_tree.ObjectCount(), 3u);
}

TEST_F(SmiGrammarTest, OidValuesPendingNamesAndNameNumberComponents) {
  ASSERT_TRUE(Load("M", R"(M DEFINITIONS ::= BEGIN
y OBJECT IDENTIFIER ::= { x 5 }
x OBJECT IDENTIFIER ::= { iso 3 6 1 }
org OBJECT IDENTIFIER ::= { iso org(3) }
z OBJECT IDENTIFIER ::= { iso org(7) 9 }
END)"));
  EXPECT_EQ(OidOf(L"x"), L".1.3.6.1");
  EXPECT_EQ(OidOf(L"y"), L".1.3.6.1.5");  // completed by Resolve
  // org(3) made an object org at 1.3; the assignment merged into it.
  const CSmiObject* org = Object(L"org");
  ASSERT_NE(org, nullptr);
  EXPECT_EQ(org->OidText(), L".1.3");
  EXPECT_EQ(org->declarations.size(), 2u);
  // The number written wins over the known arc (a warning is logged).
  EXPECT_EQ(OidOf(L"z"), L".1.7.9");
}

TEST_F(SmiGrammarTest, TrapTypeGetsEnterpriseZeroNumber) {
  ASSERT_TRUE(Load("T", R"(T DEFINITIONS ::= BEGIN
e OBJECT IDENTIFIER ::= { iso 3 6 1 4 1 99 }
t1 TRAP-TYPE ENTERPRISE e VARIABLES { e } DESCRIPTION "d" ::= 6
t2 TRAP-TYPE ENTERPRISE e ::= 7
END)"));
  EXPECT_EQ(OidOf(L"t1"), L".1.3.6.1.4.1.99.0.6");
  EXPECT_EQ(OidOf(L"t2"), L".1.3.6.1.4.1.99.0.7");
  EXPECT_EQ(OidOf(L"Trap"), L".1.3.6.1.4.1.99.0");
  EXPECT_EQ(Object(L"t1")->description, L"d");
  EXPECT_EQ(Object(L"t1")->type.DisplayText(false), L"TRAP-TYPE");
}

TEST_F(SmiGrammarTest, ObjectTypeRecordAndConstraintTexts) {
  ASSERT_TRUE(Load("O", R"(O DEFINITIONS ::= BEGIN
Small ::= INTEGER (0..255)
Name ::= OCTET STRING (SIZE (0..32))
Choice ::= INTEGER (1 | 5..8)
e OBJECT IDENTIFIER ::= { iso 3 }
st OBJECT-TYPE
    SYNTAX INTEGER { up(1), down(2) }
    UNITS "u"
    MAX-ACCESS read-write
    STATUS mandatory
    DESCRIPTION "The state.
  Caf)"
                        "\xE9"
                        R"( x."
    DEFVAL { up }
    ::= { e 1 }
END)"));
  EXPECT_EQ(Type(L"Small")->type.DisplayText(true), L"INTEGER (0..255)");
  EXPECT_EQ(Type(L"Name")->type.DisplayText(true), L"OCTET STRING (SIZE 0..32)");
  EXPECT_EQ(Type(L"Choice")->type.DisplayText(true), L"INTEGER (1|5..8)");
  const CSmiObject* st = Object(L"st");
  ASSERT_NE(st, nullptr);
  EXPECT_EQ(st->type.nested.at(0).DisplayText(true), L"INTEGER (up(1), down(2))");
  EXPECT_EQ(st->access, 6u);
  EXPECT_EQ(st->status, 3u);
  EXPECT_EQ(st->description, L"The state.\n  Caf\u00e9 x.");  // each byte one character
  EXPECT_EQ(st->declarations[0].line, 14);                    // the line of the assignment's last token
}

TEST_F(SmiGrammarTest, UnknownStatusAndAccessKeepThePreviousCode) {
  LogCapture log(0);
  ASSERT_TRUE(Load("U", R"(U DEFINITIONS ::= BEGIN
o OBJECT-TYPE SYNTAX INTEGER MAX-ACCESS read-only STATUS unknownword
  DESCRIPTION "x" ::= { iso 5 }
g MODULE-COMPLIANCE STATUS current DESCRIPTION "c"
  MODULE MANDATORY-GROUPS { o } OBJECT o MIN-ACCESS bogus DESCRIPTION "o"
  ::= { iso 6 }
END)"));
  EXPECT_EQ(log.Count(L"Unknown status mode 'unknownword'"), 1u);
  EXPECT_EQ(log.Count(L"Unknown access mode 'bogus'"), 1u);
  EXPECT_EQ(Object(L"o")->status, 0u);
  EXPECT_EQ(Object(L"o")->access, 4u);
  EXPECT_EQ(Object(L"g")->status, 1u);
}

TEST_F(SmiGrammarTest, SyntaxErrorsNameTokensFileAndLine) {
  EXPECT_FALSE(Load("F", "F DEFINITIONS ::= BEGIN\n\nx OBJECT IDENTIFIER END"));
  EXPECT_EQ(m_loader.LastError().message, L"syntax error, unexpected TOK_END, expecting TOK_DEFINITION");
  EXPECT_EQ(m_loader.LastError().line, 3);
  EXPECT_EQ(m_loader.ErrorText(), L"syntax error, unexpected TOK_END, expecting TOK_DEFINITION\r\n\r\nFile:" +
                                      ModulePath("F") + L"\r\nLine:3");
  // Cut short: the input ends first, on the module's own last line.
  EXPECT_FALSE(Load("G", "G DEFINITIONS ::= BEGIN\nx OBJECT IDENTIFIER ::= { iso 3\n"));
  EXPECT_EQ(m_loader.LastError().message.rfind(L"syntax error, unexpected $end", 0), 0u);
  EXPECT_EQ(m_loader.LastError().line, 3);
  // A failed load leaves the tree reset.
  EXPECT_EQ(m_tree.ObjectCount(), 3u);
}

TEST_F(SmiGrammarTest, RealWorldSlips) {
  // IMPORTS without ';', SEQUENCE elements without ',' or with a trailing
  // one, a word left over from a comment broken over two lines, capitalised
  // value names and labels, loose commas in enumerations and lists.
  WriteModule("S", "S DEFINITIONS ::= BEGIN a OBJECT IDENTIFIER ::= { iso 3 } END");
  ASSERT_TRUE(Load("R", R"(R DEFINITIONS ::= BEGIN
IMPORTS a BITS, FROM S
b OBJECT IDENTIFIER ::= { a 1 }
Entry ::= SEQUENCE { x INTEGER y OCTET STRING,
  z INTEGER, -- broken
     comment
  w INTEGER, }
Product OBJECT IDENTIFIER ::= { b 7 }
c OBJECT IDENTIFIER ::= { Product 1 }
e OBJECT-TYPE SYNTAX INTEGER { on(1) off(2), Abort(3), 8021x(4) } MAX-ACCESS read-only STATUS current
  DEFVAL { Abort } ::= { b 2 }
Caps ::= SEQUENCE { First INTEGER, second Caps }
lowEntry ::= SEQUENCE { rate INTEGER { 9600(0), 19200(1) } }
lowTable OBJECT-TYPE SYNTAX SEQUENCE OF lowEntry MAX-ACCESS not-accessible STATUS current ::= { b 4 }
lowRow OBJECT-TYPE SYNTAX lowEntry MAX-ACCESS not-accessible STATUS current ::= { lowTable 1 }
g OBJECT-GROUP OBJECTS { e, } STATUS current DESCRIPTION "g" ::= { b 3 }
END)"));
  EXPECT_EQ(OidOf(L"b"), L".1.3.1");
  EXPECT_EQ(OidOf(L"c"), L".1.3.1.7.1");
  EXPECT_EQ(Object(L"e")->type.nested[0].constraint, L"on(1), off(2), Abort(3), 8021x(4)");
  EXPECT_EQ(Type(L"Caps")->type.nested.size(), 2u);
  EXPECT_EQ(Type(L"lowEntry")->type.nested[0].constraint, L"9600(0), 19200(1)");
  // SYNTAX and its element type, flat in the order they began.
  ASSERT_EQ(Object(L"lowTable")->type.nested.size(), 2u);
  EXPECT_EQ(Object(L"lowTable")->type.nested[0].DisplayText(true), L"SEQUENCE OF");
  EXPECT_EQ(Object(L"lowTable")->type.nested[1].DisplayText(true), L"lowEntry");
  EXPECT_EQ(Object(L"lowRow")->type.nested.at(0).DisplayText(true), L"lowEntry");
  EXPECT_EQ(OidOf(L"g"), L".1.3.1.3");
  EXPECT_EQ(Type(L"Entry")->type.nested.size(), 4u);
}

}  // namespace
