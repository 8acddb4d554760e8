// The message for a song file that cannot be opened or saved, in the user's language.
#pragma once

#include <string>
#include <string_view>

enum class TFileAction { Open, Save };

// "Cannot open the file FILE: reason" (or save), code page 1251. `detailUtf8` is the error
// text of the file reader or writer; the reason is what follows the file's name in it
// (all of it when the name is not there), a system error text given in the user's language.
std::string FileErrorText(TFileAction action, std::string_view fileUtf8, std::string_view detailUtf8);

// The same in UTF-8, for the command line: a reason may hold characters code page 1251
// cannot.
std::string FileErrorTextUtf8(TFileAction action, std::string_view fileUtf8,
                              std::string_view detailUtf8);
