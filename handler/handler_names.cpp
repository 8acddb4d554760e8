#include "handler/handler_names.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "handler/handler_globals.h"

namespace {

// ORDER: the reserved words of the language (84).
constexpr std::array<std::string_view, 84> kReservedWords = {
    "endif", "endfor", "and", "or", "mod", "do", "to", "in", "for", "certainly", "if", "else",
    "then", "let", "variable", "instrument", "rest", "forshlag", "mordento", "countvoices",
    "pitch", "controller", "keylength", "keyon", "keyoff", "keyname", "keycount", "keynumber",
    "keypressed", "soft", "voice", "keyposition", "priorkeyname", "priorkeylength",
    "nextkeyname", "nextkeylength", "shtrihfactor", "nextlocation", "lengthsong",
    "positionrnd", "positionshift", "transpose", "positionsong", "tempo", "staccatisimo",
    "nonlegato", "staccato", "keys", "endkeys", "cos", "rnd", "sin", "exp", "ln", "abs", "int",
    "sqrt", "parameter", "existsparameter", "segmentcount", "segmentsize", "gtn", "sqr", "not",
    "round", "arctan", "array", "constant", "midi", "play", "stop", "say", "reset", "from",
    "while", "endwhile", "evry", "endevry", "block", "endblock", "translator", "translatoroff",
    "error", "interruption"};

// The name searched and the path it is searched from: "get.a.x" gives "x" from
// "get.a."; other names are searched from `current`.
struct TSearch {
  std::string_view Name;
  std::string_view Path;
};

TSearch SearchOf(std::string_view name, std::string_view current) {
  if (name.size() > 4 && name.substr(0, 4) == "get.") {
    const size_t lastDot = name.rfind('.');
    return {name.substr(lastDot + 1), name.substr(0, lastDot + 1)};
  }
  return {name, current};
}

// An entry is visible from `path` when its scope is empty, the path is empty, or its
// scope begins the path.
bool IsVisible(std::string_view scope, std::string_view path) {
  return scope.empty() || path.empty() || path.substr(0, scope.size()) == scope;
}

template <class T>
T* FindFrom(std::string_view name, std::string_view current, const TScopedList<T>& list) {
  const TSearch search = SearchOf(name, current);
  if (const std::vector<T*>* named = list.Named(search.Name)) {
    for (T* entry : *named) {
      if (IsVisible(entry->Scope, search.Path)) {
        return entry;
      }
    }
  }
  return nullptr;
}

template <class T>
bool HasAtScope(std::string_view name, std::string_view scope, const TScopedList<T>& list) {
  if (const std::vector<T*>* named = list.Named(name)) {
    return std::any_of(named->begin(), named->end(),
                       [&](const T* entry) { return entry->Scope == scope; });
  }
  return false;
}

}  // namespace

std::string ScopePathText() {
  std::string text;
  for (const std::string& item : GHandlerCompile.ScopePath) {
    text += item;
    text += '.';
  }
  return text;
}

PPeremennay DefineVariable(TScopedList<TPeremennay>& list, const std::string& name,
                           long double value) {
  return &list.Insert(TPeremennay{name, ScopePathText(), value});
}

PMassiv DefineArray(TScopedList<TMassiv>& list, const std::string& name, long double value) {
  TMassiv array{name, ScopePathText(), {}};
  array.Values.fill(value);
  return &list.Insert(std::move(array));
}

PSpisokConstant DefineConstant(TScopedList<TSpisokConstant>& list, const std::string& name,
                               long double value) {
  return &list.Insert(TSpisokConstant{name, ScopePathText(), value});
}

PPeremennay FindVariableFrom(std::string_view name, std::string_view scopePath,
                             const TScopedList<TPeremennay>& list) {
  return FindFrom(name, scopePath, list);
}

PMassiv FindArrayFrom(std::string_view name, std::string_view scopePath,
                      const TScopedList<TMassiv>& list) {
  return FindFrom(name, scopePath, list);
}

PSpisokConstant FindConstantFrom(std::string_view name, std::string_view scopePath,
                                 const TScopedList<TSpisokConstant>& list) {
  return FindFrom(name, scopePath, list);
}

PPeremennay FindVariable(std::string_view name, const TScopedList<TPeremennay>& list) {
  return FindFrom(name, ScopePathText(), list);
}

PMassiv FindArray(std::string_view name, const TScopedList<TMassiv>& list) {
  return FindFrom(name, ScopePathText(), list);
}

TConstantLookup FindConstant(std::string_view name, const TScopedList<TSpisokConstant>& list) {
  if (PSpisokConstant found = FindFrom(name, ScopePathText(), list)) {
    return {found->Value, found->Scope};
  }
  return {};
}

bool IsDefinedAt(std::string_view name, std::string_view scopePath,
                 const THandlerProgram& program) {
  return HasAtScope(name, scopePath, program.Variables) ||
         HasAtScope(name, scopePath, program.Constants) ||
         HasAtScope(name, scopePath, program.Arrays);
}

PBlock FindBlockByName(std::string_view name, const TBlockList& blocks) {
  return blocks.Find(name);
}

bool IsReservedWord(const std::string& name, TErrorRecord& errors) {
  if (std::find(kReservedWords.begin(), kReservedWords.end(), name) == kReservedWords.end()) {
    return false;
  }
  errors.Update([&](TErrors& e) {
    e.Code = 15;
    e.Text = name;
  });
  return true;
}

bool ParseHandlerNumber(std::string_view text, long double& value) {
  if (text.find('.') != std::string_view::npos) {
    return false;
  }
  std::string plain(text);
  const size_t comma = plain.find(',');
  if (comma != std::string::npos) {
    plain[comma] = '.';
  }
  const size_t start = !plain.empty() && plain[0] == '-' ? 1 : 0;
  const bool wellFormed =
      plain.size() > start && plain.find_first_not_of("0123456789.", start) == std::string::npos &&
      plain.find(',') == std::string::npos &&
      plain.find_first_of("0123456789") != std::string::npos;
  if (!wellFormed) {
    return false;
  }
  long double parsed = 0;
  const char* first = plain.data();
  const char* last = plain.data() + plain.size();
  const auto result = std::from_chars(first, last, parsed, std::chars_format::fixed);
  if (result.ec != std::errc() || result.ptr != last || !std::isfinite(parsed)) {
    return false;
  }
  value = parsed;
  return true;
}
