// The canonical spelling of handler-language lines. Everything that reads handler
// text (compiler, expressions, dialogs) tests keywords in this form.
#pragma once

#include <string>
#include <vector>

// The canonical form of one line (code page 1251 bytes): lower case, no comments,
// blanks only between two word characters or around keywords, unary minus as a
// subtraction from 0, a lone "else" widened to "else if true then". The first
// apostrophe literal keeps its spelling; a line starting with "%" is left as it is.
std::string NormalizeHandlerLine(const std::string& line);

// NormalizeHandlerLine of every line, same count and order.
std::vector<std::string> NormalizeProgramLines(const std::vector<std::string>& lines);

// Code page 1251 lower case of one byte (Latin and Cyrillic capitals, "Ё" and the
// other capitals of the code page); never depends on the locale.
char LowerCp1251(char c);
