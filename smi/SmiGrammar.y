/* SMI grammar: one MIB module (SNMPv1 and SNMPv2 SMI in ASN.1 macro notation). */
%define api.pure full
%define api.prefix {smi_gram_}
%define parse.error verbose
%parse-param {CSmiParser* ctx}
%lex-param {CSmiParser* ctx}
%define api.value.type {const CSmiToken*}
/* Optional clauses and module names are taken greedily, and a word after an element
   name, after SEQUENCE OF or after an OBJECT-TYPE's SYNTAX is a name rather than
   the start of a selection type (seven shift/reduce conflicts). */
%expect 7

%code requires {
#include <string>
class CSmiParser;
struct CSmiToken;
}

%code {
#include "smi/SmiParser.h"

/* The stack never moves: a parse deeper than this reports "memory exhausted". */
#define YYINITDEPTH 10000
#define YYMAXDEPTH 10000

static int smi_gram_lex(SMI_GRAM_STYPE* lval, CSmiParser* ctx) { return ctx->Lex(lval); }
static void smi_gram_error(CSmiParser* ctx, const char* message) { ctx->SyntaxError(message); }
}

%token END_OF_INPUT 0 "$end"
%token TOK_DOT TOK_COMMA TOK_SEMI_COLON TOK_LEFT_PAREN TOK_RIGHT_PAREN TOK_LEFT_BRACE
       TOK_RIGHT_BRACE TOK_LEFT_BRACKET TOK_RIGHT_BRACKET TOK_LESS_THAN TOK_VERTICAL_BAR
       TOK_DOUBLE_DOT TOK_TRIPLE_DOT TOK_DEFINITION
%token        TOK_ABSENT TOK_ACCESS TOK_AGENT_CAPABILITIES TOK_ALL TOK_ANY TOK_APPLICATION TOK_AUGMENTS 
       TOK_BEGIN TOK_BIT TOK_BITS TOK_BOOLEAN TOK_BY TOK_CHOICE TOK_COMPONENT TOK_COMPONENTS 
       TOK_CONTACT_INFO TOK_CREATION_REQUIRES TOK_DEFAULT TOK_DEFINED TOK_DEFINITIONS TOK_DEFVAL 
       TOK_DESCRIPTION TOK_DISPLAY_HINT TOK_END TOK_ENTERPRISE TOK_ENUMERATED TOK_EXPLICIT TOK_EXPORTS 
       TOK_FALSE TOK_FROM TOK_GROUP TOK_IDENTIFIER TOK_IMPLICIT TOK_IMPLIED TOK_IMPORTS TOK_INCLUDES 
       TOK_INDEX TOK_INTEGER TOK_LAST_UPDATED TOK_MACRO TOK_MANDATORY_GROUPS TOK_MAX TOK_MAX_ACCESS 
       TOK_MIN TOK_MIN_ACCESS TOK_MINUS_INFINITY TOK_MODULE TOK_MODULE_COMPLIANCE TOK_MODULE_IDENTITY 
       TOK_NOTIFICATION_GROUP TOK_NOTIFICATION_TYPE TOK_NOTIFICATIONS TOK_NULL TOK_OBJECT 
       TOK_OBJECT_GROUP TOK_OBJECT_IDENTITY TOK_OBJECT_TYPE TOK_OBJECTS TOK_OCTET TOK_OF TOK_OPTIONAL 
       TOK_ORGANIZATION TOK_PLUS_INFINITY TOK_PRESENT TOK_PRIVATE TOK_PRODUCT_RELEASE TOK_REAL 
       TOK_REFERENCE TOK_REVISION TOK_SEQUENCE TOK_SET TOK_SIZE TOK_STATUS TOK_STRING TOK_SUPPORTS 
       TOK_SYNTAX TOK_TAGS TOK_TEXTUAL_CONVENTION TOK_TRAP_TYPE TOK_TRUE TOK_UNITS TOK_UNIVERSAL 
       TOK_VARIABLES TOK_VARIATION TOK_WITH TOK_WRITE_SYNTAX 
%token BINARY_STRING DECIMAL_STRING HEXA_STRING UPPER_STRING LOWER_STRING QUOTED_STRING

%%
MibFile
    : { ctx->BeginParse(); } ModuleDefinition { YYACCEPT; }
    ;

ModuleDefinition
    : ModuleIdentifier { ctx->RegisterDefinedModule($1); }
      TOK_DEFINITIONS TagDefault TOK_DEFINITION TOK_BEGIN ModuleBody TOK_END
    ;

ModuleIdentifier
    : UPPER_STRING                  { $$ = $1; }
    | UPPER_STRING NameValueList    { $$ = $1; }
    ;

TagDefault
    : %empty
    | TOK_EXPLICIT TOK_TAGS
    | TOK_IMPLICIT TOK_TAGS
    ;

ModuleBody
    : ExportList ImportList AssignmentList
    ;

ExportList
    : %empty
    | TOK_EXPORTS TOK_SEMI_COLON
    | TOK_EXPORTS TOK_ALL TOK_SEMI_COLON
    | TOK_EXPORTS ExportSymbols TOK_SEMI_COLON
    ;

ExportSymbols
    : SymbolName
    | ExportSymbols TOK_COMMA SymbolName
    ;

ImportList
    : %empty
    | TOK_IMPORTS ImportClauses TOK_SEMI_COLON
    ;

ImportClauses
    : %empty
    | ImportClauses ImportSymbolsFromModule
    ;

/* Also read: a ',' before FROM and a missing ',' between symbols. */
ImportSymbolsFromModule
    : ImportSymbols TOK_FROM ModuleIdentifier  { if (!ctx->ImportFrom($3)) YYABORT; }
    | ImportSymbols TOK_COMMA TOK_FROM ModuleIdentifier  { if (!ctx->ImportFrom($4)) YYABORT; }
    ;

ImportSymbols
    : Symbol
    | ImportSymbols TOK_COMMA Symbol
    | ImportSymbols Symbol
    ;

Symbol
    : SymbolName                    { ctx->AddImportSymbol($1); $$ = $1; }
    ;

/* Also read: BITS in an import list (it is a keyword, vendor modules import it). */
SymbolName
    : UPPER_STRING
    | LOWER_STRING
    | MacroKeyword
    | TOK_BITS                      { static const CSmiToken kBits{L"BITS", {}}; $$ = &kBits; }
    ;

MacroKeyword
    : TOK_AGENT_CAPABILITIES | TOK_MODULE_COMPLIANCE | TOK_MODULE_IDENTITY | TOK_NOTIFICATION_GROUP
    | TOK_NOTIFICATION_TYPE | TOK_OBJECT_GROUP | TOK_OBJECT_IDENTITY | TOK_OBJECT_TYPE
    | TOK_TEXTUAL_CONVENTION | TOK_TRAP_TYPE
    ;

AssignmentList
    : %empty
    | AssignmentList Assignment
    ;

Assignment
    : MacroDefinition OptSemiColon
    | TypeAssignment OptSemiColon
    | ValueAssignment OptSemiColon
    ;

OptSemiColon
    : %empty
    | TOK_SEMI_COLON
    ;

/* Macro definitions are read and ignored. */
MacroDefinition
    : MacroReference TOK_MACRO TOK_DEFINITION MacroBody
    ;

MacroReference
    : UPPER_STRING
    | MacroKeyword
    ;

MacroBody
    : TOK_BEGIN MacroTokens TOK_END
    | UPPER_STRING TOK_DOT MacroReference
    ;

MacroTokens
    : %empty
    | MacroTokens MacroToken
    ;

MacroToken
    : TOK_DOT | TOK_COMMA | TOK_SEMI_COLON | TOK_LEFT_PAREN | TOK_RIGHT_PAREN | TOK_LEFT_BRACE
    | TOK_RIGHT_BRACE | TOK_LEFT_BRACKET | TOK_RIGHT_BRACKET | TOK_LESS_THAN | TOK_VERTICAL_BAR
    | TOK_DOUBLE_DOT | TOK_TRIPLE_DOT | TOK_DEFINITION
    | TOK_ABSENT | TOK_ACCESS | TOK_ALL | TOK_ANY | TOK_APPLICATION | TOK_AUGMENTS
    | TOK_BEGIN | TOK_BIT | TOK_BITS | TOK_BOOLEAN | TOK_BY | TOK_CHOICE | TOK_COMPONENT | TOK_COMPONENTS
    | TOK_CONTACT_INFO | TOK_CREATION_REQUIRES | TOK_DEFAULT | TOK_DEFINED | TOK_DEFINITIONS | TOK_DEFVAL
    | TOK_DESCRIPTION | TOK_DISPLAY_HINT | TOK_ENTERPRISE | TOK_ENUMERATED | TOK_EXPLICIT
    | TOK_EXPORTS | TOK_FALSE | TOK_FROM | TOK_GROUP | TOK_IDENTIFIER | TOK_IMPLICIT | TOK_IMPLIED
    | TOK_IMPORTS | TOK_INCLUDES | TOK_INDEX | TOK_INTEGER | TOK_LAST_UPDATED | TOK_MACRO
    | TOK_MANDATORY_GROUPS | TOK_MAX | TOK_MAX_ACCESS | TOK_MIN | TOK_MIN_ACCESS | TOK_MINUS_INFINITY
    | TOK_MODULE | TOK_NOTIFICATIONS | TOK_NULL | TOK_OBJECT | TOK_OBJECTS | TOK_OCTET | TOK_OF
    | TOK_OPTIONAL | TOK_ORGANIZATION | TOK_PLUS_INFINITY | TOK_PRESENT | TOK_PRIVATE
    | TOK_PRODUCT_RELEASE | TOK_REAL | TOK_REFERENCE | TOK_REVISION | TOK_SEQUENCE | TOK_SET
    | TOK_SIZE | TOK_STATUS | TOK_STRING | TOK_SUPPORTS | TOK_SYNTAX | TOK_TAGS | TOK_TRUE | TOK_UNITS
    | TOK_UNIVERSAL | TOK_VARIABLES | TOK_VARIATION | TOK_WITH | TOK_WRITE_SYNTAX
    | MacroKeyword
    | BINARY_STRING | DECIMAL_STRING | HEXA_STRING | UPPER_STRING | LOWER_STRING | QUOTED_STRING
    ;

/* Also read: type names written in lower case (vendor modules). */
TypeAssignment
    : UPPER_STRING TOK_DEFINITION Type1   { ctx->TypeAssignment($1); }
    | LOWER_STRING TOK_DEFINITION Type1   { ctx->TypeAssignment($1); }
    ;

/* Also read: value names written with a capital (vendor modules do). */
ValueAssignment
    : ValueName Type1 TOK_DEFINITION { ctx->BeginValue(); } Value
      { ctx->EndValue(); ctx->ValueAssignment($1); }
    ;

ValueName
    : LOWER_STRING
    | UPPER_STRING
    ;

/* Types */

Type1
    : { ctx->BeginType(); } OptTag OptTagMode TypeBody { ctx->EndType(); }
    ;

OptTag
    : %empty
    | TOK_LEFT_BRACKET TagClass DECIMAL_STRING TOK_RIGHT_BRACKET
    ;

TagClass
    : %empty
    | TOK_UNIVERSAL
    | TOK_APPLICATION
    | TOK_PRIVATE
    ;

OptTagMode
    : %empty
    | TOK_EXPLICIT
    | TOK_IMPLICIT
    ;

TypeBody
    : BuiltinType
    | DefinedType
    | DefinedMacroType
    ;

DefinedType
    : UPPER_STRING OptValueOrConstraintList     { ctx->SetType(SMI_TYPE_REFERENCE, $1); }
    ;

BuiltinType
    : TOK_NULL                                  { ctx->SetType(SMI_TYPE_NULL); }
    | TOK_BOOLEAN                               { ctx->SetType(SMI_TYPE_BOOLEAN); }
    | TOK_REAL                                  { ctx->SetType(SMI_TYPE_REAL); }
    | TOK_INTEGER OptValueOrConstraintList      { ctx->SetType(SMI_TYPE_INTEGER); }
    | TOK_OBJECT TOK_IDENTIFIER                 { ctx->SetType(SMI_TYPE_OBJECT_IDENTIFIER); }
    | TOK_OCTET TOK_STRING OptConstraintList    { ctx->SetType(SMI_TYPE_OCTET_STRING); }
    | TOK_BIT TOK_STRING OptValueOrConstraintList { ctx->SetType(SMI_TYPE_BIT_STRING); }
    | TOK_BITS OptValueOrConstraintList         { ctx->SetType(SMI_TYPE_BITS); }
    | TOK_SEQUENCE TOK_LEFT_BRACE OptElementTypeList TOK_RIGHT_BRACE { ctx->SetType(SMI_TYPE_SEQUENCE); }
    | TOK_SEQUENCE OptConstraintList TOK_OF Type1 { ctx->SetType(SMI_TYPE_SEQUENCE_OF); }
    | TOK_SEQUENCE OptConstraintList TOK_OF LOWER_STRING
      { ctx->BeginType(); ctx->SetType(SMI_TYPE_REFERENCE, $4); ctx->EndType(); ctx->SetType(SMI_TYPE_SEQUENCE_OF); }
    | TOK_SET TOK_LEFT_BRACE OptElementTypeList TOK_RIGHT_BRACE { ctx->SetType(SMI_TYPE_SET); }
    | TOK_SET OptSizeConstraint TOK_OF Type1    { ctx->SetType(SMI_TYPE_SET_OF); }
    | TOK_CHOICE TOK_LEFT_BRACE ElementTypeList OptTrailingComma TOK_RIGHT_BRACE { ctx->SetType(SMI_TYPE_CHOICE); }
    | TOK_ENUMERATED NamedNumberList            { ctx->SetType(SMI_TYPE_ENUMERATED); }
    | LOWER_STRING TOK_LESS_THAN Type1          { ctx->SetType(SMI_TYPE_SELECTION); }
    | TOK_ANY                                   { ctx->SetType(SMI_TYPE_ANY); }
    | TOK_ANY TOK_DEFINED TOK_BY LOWER_STRING   { ctx->SetType(SMI_TYPE_ANY); }
    ;

OptElementTypeList
    : %empty
    | ElementTypeList
    | ElementTypeList TOK_COMMA
    ;

OptTrailingComma
    : %empty
    | TOK_COMMA
    ;

/* Also read: elements without the ',' between them, a ',' after the last
   one, a stray word before an element (a comment broken over two lines),
   and element names that begin with a capital. */
ElementTypeList
    : ElementType
    | ElementTypeList TOK_COMMA ElementType
    | ElementTypeList ElementType
    ;

ElementType
    : LowerElementType
    | UPPER_STRING Type1 OptElementSuffix
    ;

LowerElementType
    : LOWER_STRING Type1 OptElementSuffix
    | LOWER_STRING TOK_COMPONENTS TOK_OF Type1
    | LOWER_STRING LowerElementType
    ;

OptElementSuffix
    : %empty
    | TOK_OPTIONAL
    | TOK_DEFAULT Value
    ;

OptValueOrConstraintList
    : %empty
    | NamedNumberList
    | ConstraintList
    ;

OptConstraintList
    : %empty
    | ConstraintList
    ;

OptSizeConstraint
    : %empty
    | SizeConstraint
    ;

/* Also read: a missing ',' between named numbers and a ',' after the last. */
NamedNumberList
    : TOK_LEFT_BRACE { ctx->NamedNumberListBegin(); } NamedNumbers OptTrailingComma TOK_RIGHT_BRACE
      { ctx->NamedNumberListEnd(); }
    ;

NamedNumbers
    : NamedNumber
    | NamedNumbers TOK_COMMA NamedNumber
    | NamedNumbers NamedNumber
    ;

/* Also read: labels that begin with a capital or a digit (80211vRoam(3)). */
NamedNumber
    : LOWER_STRING { ctx->NamedNumberIdentifier($1); } TOK_LEFT_PAREN Number TOK_RIGHT_PAREN
    | UPPER_STRING { ctx->NamedNumberIdentifier($1); } TOK_LEFT_PAREN Number TOK_RIGHT_PAREN
    | DECIMAL_STRING LabelTail { ctx->NamedNumberIdentifier($1, $2); } TOK_LEFT_PAREN Number TOK_RIGHT_PAREN
    | DECIMAL_STRING { ctx->NamedNumberIdentifier($1); } TOK_LEFT_PAREN Number TOK_RIGHT_PAREN
    ;

LabelTail
    : LOWER_STRING
    | UPPER_STRING
    ;

Number
    : NumberValue
    | BINARY_STRING
    | HEXA_STRING
    | LOWER_STRING
    ;

NumberValue
    : DECIMAL_STRING                { ctx->NumberValue($1); }
    ;

ConstraintList
    : TOK_LEFT_PAREN { ctx->ConstraintListBegin(); } Constraints TOK_RIGHT_PAREN
      { ctx->ConstraintListEnd(); }
    ;

Constraints
    : Constraint
    | Constraints VerticalBar Constraint
    ;

VerticalBar
    : TOK_VERTICAL_BAR              { ctx->VerticalBar(); }
    ;

Constraint
    : ValueConstraint
    | SizeConstraint
    | TOK_FROM ValueConstraintList
    | TOK_INCLUDES Type1
    | TOK_WITH TOK_COMPONENT ValueOrConstraintList
    | TOK_WITH TOK_COMPONENTS TOK_LEFT_BRACE ComponentConstraints TOK_RIGHT_BRACE
    ;

ValueOrConstraintList
    : NamedNumberList
    | ConstraintList
    ;

SizeConstraint
    : TOK_SIZE { ctx->SizeConstraint(); } ValueConstraintList
    ;

ComponentConstraints
    : ComponentConstraintList
    | TOK_TRIPLE_DOT TOK_COMMA ComponentConstraintList
    ;

ComponentConstraintList
    : ComponentConstraint
    | ComponentConstraintList TOK_COMMA ComponentConstraint
    ;

ComponentConstraint
    : LOWER_STRING OptValueOrConstraintList OptPresence
    | ValueOrConstraintList OptPresence
    | Presence
    ;

OptPresence
    : %empty
    | Presence
    ;

Presence
    : TOK_PRESENT
    | TOK_ABSENT
    | TOK_OPTIONAL
    ;

ValueConstraintList
    : TOK_LEFT_PAREN ValueConstraints TOK_RIGHT_PAREN
    ;

ValueConstraints
    : ValueConstraint
    | ValueConstraints VerticalBar ValueConstraint
    ;

ValueConstraint
    : LowerEndPoint
    | LowerEndPoint OptLessThan DoubleDot OptLessThan UpperEndPoint
    ;

DoubleDot
    : TOK_DOUBLE_DOT                { ctx->DoubleDot(); }
    ;

OptLessThan
    : %empty
    | TOK_LESS_THAN
    ;

LowerEndPoint
    : Value
    | TOK_MIN                       { ctx->MinNumber(); }
    ;

UpperEndPoint
    : Value
    | TOK_MAX                       { ctx->MaxNumber(); }
    ;

/* Values */

Value
    : LOWER_STRING                  { ctx->AddOidByName($1); }
    | TOK_NULL
    | TOK_TRUE
    | TOK_FALSE
    | TOK_PLUS_INFINITY
    | TOK_MINUS_INFINITY
    | NumberValue
    | BINARY_STRING
    | HEXA_STRING
    | QUOTED_STRING
    | NameValueList
    ;

NameValueList
    : TOK_LEFT_BRACE NameValueComponents TOK_RIGHT_BRACE
    ;

NameValueComponents
    : %empty
    | NameValueComponents OptComma NameValueComponent
    ;

OptComma
    : %empty
    | TOK_COMMA
    ;

/* Also read: components named with a capital (vendor modules). */
NameValueComponent
    : NumberValue
    | LOWER_STRING                  { ctx->AddOidByName($1); }
    | UPPER_STRING                  { ctx->AddOidByName($1); }
    | UPPER_STRING TOK_LEFT_PAREN DECIMAL_STRING TOK_RIGHT_PAREN { ctx->AddOidByNameAndNumber($1, $3); }
    | LOWER_STRING TOK_LEFT_PAREN DECIMAL_STRING TOK_RIGHT_PAREN { ctx->AddOidByNameAndNumber($1, $3); }
    | LOWER_STRING TOK_LEFT_PAREN LOWER_STRING TOK_RIGHT_PAREN
    ;

/* Lists in braces also read with a ',' after the last value. */
ValueList
    : Value
    | ValueList TOK_COMMA Value
    ;

/* Macro forms */

DefinedMacroType
    : ModuleIdentityMacro
    | ObjectIdentityMacro
    | ObjectTypeMacro
    | NotificationTypeMacro
    | TrapTypeMacro
    | TextualConventionMacro
    | ObjectGroupMacro
    | NotificationGroupMacro
    | ModuleComplianceMacro
    | AgentCapabilitiesMacro
    ;

ModuleIdentityMacro
    : TOK_MODULE_IDENTITY TOK_LAST_UPDATED QUOTED_STRING TOK_ORGANIZATION QUOTED_STRING
      TOK_CONTACT_INFO QUOTED_STRING Description Revisions
      { ctx->SetType(SMI_TYPE_MACRO, $1); }
    ;

Revisions
    : %empty
    | Revisions Revision
    ;

Revision
    : TOK_REVISION Value TOK_DESCRIPTION QUOTED_STRING
    ;

ObjectIdentityMacro
    : TOK_OBJECT_IDENTITY Status Description OptReference
      { ctx->SetType(SMI_TYPE_MACRO, $1); }
    ;

ObjectTypeMacro
    : TOK_OBJECT_TYPE TOK_SYNTAX SyntaxType OptUnits Access Status OptDescription OptReference
      OptIndexPart OptDefVal
      { ctx->SetType(SMI_TYPE_MACRO, $1); }
    ;

NotificationTypeMacro
    : TOK_NOTIFICATION_TYPE OptObjects Status Description OptReference
      { ctx->SetType(SMI_TYPE_MACRO, $1); }
    ;

TrapTypeMacro
    : TOK_TRAP_TYPE TOK_ENTERPRISE { ctx->BeginValue(); } Value { ctx->TrapEnterpriseEnd(); }
      OptVariables OptDescription OptReference
      { ctx->SetType(SMI_TYPE_MACRO, $1); }
    ;

TextualConventionMacro
    : TOK_TEXTUAL_CONVENTION OptDisplayHint Status Description OptReference TOK_SYNTAX Type1
      { ctx->SetType(SMI_TYPE_MACRO, $1); }
    ;

ObjectGroupMacro
    : TOK_OBJECT_GROUP TOK_OBJECTS TOK_LEFT_BRACE ValueList OptTrailingComma TOK_RIGHT_BRACE Status Description OptReference
      { ctx->SetType(SMI_TYPE_MACRO, $1); }
    ;

NotificationGroupMacro
    : TOK_NOTIFICATION_GROUP TOK_NOTIFICATIONS TOK_LEFT_BRACE ValueList OptTrailingComma TOK_RIGHT_BRACE Status Description
      OptReference
      { ctx->SetType(SMI_TYPE_MACRO, $1); }
    ;

ModuleComplianceMacro
    : TOK_MODULE_COMPLIANCE Status Description OptReference ComplianceModules
      { ctx->SetType(SMI_TYPE_MACRO, $1); }
    ;

AgentCapabilitiesMacro
    : TOK_AGENT_CAPABILITIES TOK_PRODUCT_RELEASE QUOTED_STRING Status Description OptReference
      SupportsParts
      { ctx->SetType(SMI_TYPE_MACRO, $1); }
    ;

/* Also read: a SYNTAX naming a type written in lower case. */
SyntaxType
    : Type1
    | LOWER_STRING                  { ctx->BeginType(); ctx->SetType(SMI_TYPE_REFERENCE, $1); ctx->EndType(); }
    ;

Status
    : TOK_STATUS LOWER_STRING       { ctx->SetStatus($2); }
    ;

Access
    : TOK_MAX_ACCESS LOWER_STRING   { ctx->SetAccess($2); }
    | TOK_ACCESS LOWER_STRING       { ctx->SetAccess($2); }
    ;

Description
    : TOK_DESCRIPTION QUOTED_STRING { ctx->SetDescription($2); }
    ;

OptDescription
    : %empty
    | Description
    ;

OptReference
    : %empty
    | TOK_REFERENCE QUOTED_STRING
    ;

OptUnits
    : %empty
    | TOK_UNITS QUOTED_STRING
    ;

OptDisplayHint
    : %empty
    | TOK_DISPLAY_HINT QUOTED_STRING
    ;

OptIndexPart
    : %empty
    | TOK_INDEX TOK_LEFT_BRACE IndexTypes TOK_RIGHT_BRACE
    | TOK_AUGMENTS TOK_LEFT_BRACE IndexType TOK_RIGHT_BRACE
    ;

IndexTypes
    : IndexType
    | IndexTypes TOK_COMMA IndexType
    ;

IndexType
    : OptImplied IndexName
    ;

OptImplied
    : %empty
    | TOK_IMPLIED
    ;

IndexName
    : UPPER_STRING
    | LOWER_STRING
    | TOK_INTEGER
    ;

OptDefVal
    : %empty
    | TOK_DEFVAL TOK_LEFT_BRACE { ctx->BeginDefaultValue(); } DefaultValue TOK_RIGHT_BRACE
      { ctx->EndDefaultValue(); }
    ;

/* Also read: a default named with a capital. */
DefaultValue
    : Value
    | UPPER_STRING
    ;

OptObjects
    : %empty
    | TOK_OBJECTS TOK_LEFT_BRACE ValueList OptTrailingComma TOK_RIGHT_BRACE
    ;

OptVariables
    : %empty
    | TOK_VARIABLES TOK_LEFT_BRACE ValueList OptTrailingComma TOK_RIGHT_BRACE
    ;

ComplianceModules
    : ComplianceModule
    | ComplianceModules ComplianceModule
    ;

ComplianceModule
    : TOK_MODULE OptModuleIdentifier OptMandatoryGroups ComplianceParts
    ;

OptModuleIdentifier
    : %empty
    | ModuleIdentifier
    ;

OptMandatoryGroups
    : %empty
    | TOK_MANDATORY_GROUPS TOK_LEFT_BRACE ValueList OptTrailingComma TOK_RIGHT_BRACE
    ;

ComplianceParts
    : %empty
    | ComplianceParts CompliancePart
    ;

CompliancePart
    : TOK_GROUP Value TOK_DESCRIPTION QUOTED_STRING
    | TOK_OBJECT Value OptSyntax OptWriteSyntax OptMinAccess TOK_DESCRIPTION QUOTED_STRING
    ;

OptSyntax
    : %empty
    | TOK_SYNTAX Type1
    ;

OptWriteSyntax
    : %empty
    | TOK_WRITE_SYNTAX Type1
    ;

OptMinAccess
    : %empty
    | TOK_MIN_ACCESS LOWER_STRING   { ctx->SetAccess($2); }
    ;

SupportsParts
    : %empty
    | SupportsParts SupportsPart
    ;

SupportsPart
    : TOK_SUPPORTS ModuleIdentifier TOK_INCLUDES TOK_LEFT_BRACE ValueList OptTrailingComma TOK_RIGHT_BRACE Variations
    ;

Variations
    : %empty
    | Variations Variation
    ;

Variation
    : TOK_VARIATION Value OptSyntax OptWriteSyntax OptVariationAccess OptCreationRequires OptDefVal
      TOK_DESCRIPTION QUOTED_STRING
    ;

OptVariationAccess
    : %empty
    | TOK_ACCESS LOWER_STRING       { ctx->SetAccess($2); }
    ;

OptCreationRequires
    : %empty
    | TOK_CREATION_REQUIRES TOK_LEFT_BRACE ValueList OptTrailingComma TOK_RIGHT_BRACE
    ;
%%
