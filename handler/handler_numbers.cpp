#include "handler/handler_numbers.h"

#include <cmath>
#include <cstdio>

#include "handler/handler_expression.h"

namespace {

// "1.5e+20" -> "1,5E20", "2e-07" -> "2E-7".
std::string DelphiStyle(const std::string& printed) {
  std::string out;
  size_t i = 0;
  for (; i < printed.size() && printed[i] != 'e'; ++i) {
    out += printed[i] == '.' ? ',' : printed[i];
  }
  if (i == printed.size()) {
    return out;
  }
  out += 'E';
  ++i;
  if (i < printed.size() && (printed[i] == '+' || printed[i] == '-')) {
    if (printed[i] == '-') {
      out += '-';
    }
    ++i;
  }
  while (i + 1 < printed.size() && printed[i] == '0') {
    ++i;
  }
  out += printed.substr(i);
  return out;
}

}  // namespace

std::string FloatToStr(long double value) {
  if (std::isnan(value)) {
    return "NAN";
  }
  if (std::isinf(value)) {
    return value > 0 ? "INF" : "-INF";
  }
  if (value == 0) {
    return "0";
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15Lg", value);
  return DelphiStyle(buffer);
}
