#include "handler/handler_program.h"

#include <cassert>

TBlock& TBlockList::Append(TBlock block) {
  TBlock& added = items_.emplace_back(std::move(block));
  byName_.try_emplace(added.Name, &added);
  return added;
}

PBlock TBlockList::Find(std::string_view name) const {
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

void TBlockList::clear() {
  byName_.clear();
  items_.clear();
}

PProgram THandlerProgram::NewNode(THandlerStatementKind kind, PPeremennay ref, PMassiv arr,
                                  PExpression exprA, PExpression exprB, std::string scopePath) {
  TProgramNode& node = nodes_.emplace_back();
  node.Kind = kind;
  node.Ref = ref;
  node.Arr = arr;
  node.ExprA = std::move(exprA);
  node.ExprB = std::move(exprB);
  node.Text = std::move(scopePath);
  return &node;
}

void THandlerProgram::Clear() {
  ProgramTree = nullptr;
  Blocks.clear();
  Constants.clear();
  Arrays.clear();
  Variables.clear();
  nodes_.clear();
}

PProgram AppendProgramNode(THandlerProgram& program, TProgramChain& chain,
                           THandlerStatementKind kind, PPeremennay ref, PMassiv arr,
                           PExpression exprA, PExpression exprB, std::string scopePath) {
  PProgram node =
      program.NewNode(kind, ref, arr, std::move(exprA), std::move(exprB), std::move(scopePath));
  if (chain.Head == nullptr) {
    chain.Head = node;
  } else {
    assert(chain.Tail != nullptr && chain.Tail->Next == nullptr);
    chain.Tail->Next = node;
  }
  chain.Tail = node;
  return node;
}

namespace {

// Takes the first component off `s` into `part`. A ")" that closes nothing ends the
// component and is dropped; a "." outside brackets ends it, and the dots and closing
// brackets that follow it are dropped too.
void TakeComponent(std::string& s, std::string& part) {
  part.clear();
  int depth = 0;
  size_t at = 0;
  while (at < s.size()) {
    const char c = s[at];
    const bool separator = c == '.' && depth <= 0;
    if (!separator && !(c == ')' && depth <= 0)) {
      part += c;
    }
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    }
    ++at;
    if (c == ')' && depth <= 0) {
      break;
    }
    if (separator) {
      while (at < s.size() && (s[at] == '.' || s[at] == ')')) {
        ++at;
      }
      break;
    }
  }
  s.erase(0, at);
}

}  // namespace

void SplitDottedName(std::string& s, bool whole, std::string& part) {
  TakeComponent(s, part);
  if (!whole) {
    return;
  }
  std::string collector;
  while (!s.empty()) {
    collector += ")" + part + ".";
    TakeComponent(s, part);
  }
  if (!collector.empty() && collector.front() == ')') {
    collector.erase(0, 1);
  }
  if (!collector.empty() && collector.back() == '.') {
    collector.pop_back();
  }
  s = collector;
}
