// Handler expressions: parsed once into trees at compile time, evaluated at every use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "handler/handler_globals.h"
#include "handler/handler_program.h"
#include "base/rounding.h"

// What an expression reads beyond its own numbers and names: the track's render
// state, the keys of a keys body and the running block. The executor implements it.
class THandlerQueries {
 public:
  virtual ~THandlerQueries() = default;
  // The value of a query node (kinds 15, 17, 18, 20, 22..27, 29..46, 48..53).
  // `argument` is the value of the node's Left operand, or nullptr without one.
  virtual long double Query(THandlerExprKind kind, const long double* argument) = 0;
  // Argument expression n (1-based) of the block now running, or nullptr.
  virtual const TExpressionNode* BlockArgument(int64_t n) = 0;
};

// Statements, and the operators and brackets of an expression, nest at most this deep:
// compiling, evaluating and running stay within a bounded stack.
constexpr int kMaxHandlerNesting = 1000;

// The detail of the nesting error (kErrorNestingTooDeep) at `text`: the bound and the text.
std::string NestingText(std::string_view text);

// Where an expression is evaluated.
struct THandlerEvaluation {
  THandlerQueries* Queries = nullptr;  // nullptr: every query gives 0
  int64_t SongLength = 0;              // ticks
  int64_t Position = 0;                // render position, ticks
  mutable int Depth = 0;               // nodes being evaluated, across nested evaluations
};

// The tree of a normalised expression text, with names bound to `program`'s
// variables and arrays (looked up from the current scope path) and constants folded.
// Sets `usesVariables` to 1 when the tree reads a variable. "nil" gives nullptr
// without error. On failure sets the error (codes 1, 3, 36, 37, 38) and gives nullptr;
// nothing is parsed while `errors` holds a code.
PExpression ParseExpression(std::string_view text, uint8_t& usesVariables,
                            const THandlerProgram& program, TErrorRecord& errors);

// The value of a tree. Truth values are 127 and 0. A missing tree or operand sets
// code 1, division or mod by zero code 4; either gives 0.
long double EvaluateExpression(const TExpressionNode* node, const THandlerEvaluation& at,
                               TErrorRecord& errors);
