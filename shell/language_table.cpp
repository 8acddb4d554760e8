#include "shell/language_table.h"

TLangStringsHolder LangStrings;
std::string LanguageId = "ru";
