#pragma once

#include "core/common/user_message.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tunex::cli {

// Exit codes of tunex-cli.
enum ExitCode { kDone = 0, kStartupFailure = 1, kRefused = 2, kFileError = 3 };

// A message box becomes "caption: text" on standard error.
void printMessage(std::ostream& err, const UserMessage& message);
// Refused input: the text as an "Input Error" with the question icon; kRefused.
int printRefusal(std::ostream& err, const std::string& text);
// A page's status line becomes "status: text" on standard error.
void printStatus(std::ostream& err, const std::string& text);
// One cell of a TAB-separated row. TAB, CR, LF and backslash are printed as \t, \r, \n and \\,
// so that a file name holding them can neither add a column nor start a row.
void printCell(std::ostream& out, std::string_view text);
// A result list: the captions, then one line per row, cells joined by TAB.
void printTable(std::ostream& out, const std::vector<std::string>& captions,
                const std::vector<std::vector<std::string>>& rows);

}  // namespace tunex::cli
