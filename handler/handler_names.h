// Names of the handler language: the scope path, defining and finding variables,
// arrays, constants and blocks, and the reserved words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "handler/handler_globals.h"
#include "handler/handler_program.h"

// The text of the compile context's scope path: every item followed by "."
// ("get.ritmo."; empty for no items).
std::string ScopePathText();

// Define a name at the current scope path, in scope order. No duplicate check.
PPeremennay DefineVariable(TScopedList<TPeremennay>& list, const std::string& name,
                           long double value);
PMassiv DefineArray(TScopedList<TMassiv>& list, const std::string& name, long double value);
PSpisokConstant DefineConstant(TScopedList<TSpisokConstant>& list, const std::string& name,
                               long double value);

// The visible entry of that name, innermost first, or nullptr. A name "get.a.b.x"
// searches "x" as if the scope path were "get.a.b."; any other name is searched
// from the current scope path.
PPeremennay FindVariable(std::string_view name, const TScopedList<TPeremennay>& list);
PMassiv FindArray(std::string_view name, const TScopedList<TMassiv>& list);

// A constant's value and scope; Scope "-" and Value 0 when none is visible.
struct TConstantLookup {
  long double Value = 0;
  std::string Scope = "-";
};
TConstantLookup FindConstant(std::string_view name, const TScopedList<TSpisokConstant>& list);

// The same lookups from an explicit scope path text instead of the current one.
PPeremennay FindVariableFrom(std::string_view name, std::string_view scopePath,
                             const TScopedList<TPeremennay>& list);
PMassiv FindArrayFrom(std::string_view name, std::string_view scopePath,
                      const TScopedList<TMassiv>& list);
PSpisokConstant FindConstantFrom(std::string_view name, std::string_view scopePath,
                                 const TScopedList<TSpisokConstant>& list);

// True when an entry of that name is defined at exactly that scope path.
bool IsDefinedAt(std::string_view name, std::string_view scopePath,
                 const THandlerProgram& program);

// The first block or function of that name (no scope test), or nullptr.
PBlock FindBlockByName(std::string_view name, const TBlockList& blocks);

// True for a word of the language (case-sensitive); then also sets code 15 with the
// name as text. Leaves `errors` alone otherwise.
bool IsReservedWord(const std::string& name, TErrorRecord& errors);

// The value of a number written with digits, one optional "," as the decimal sign
// and an optional leading "-". False for anything else ("1,2,3", "-", ",").
bool ParseHandlerNumber(std::string_view text, long double& value);
