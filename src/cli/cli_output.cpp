#include "cli/cli_output.h"

namespace tunex::cli {

namespace {
void printRow(std::ostream& out, const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) {
            out << '\t';
        }
        printCell(out, cells[i]);
    }
    out << '\n';
}
}  // namespace

void printCell(std::ostream& out, std::string_view text) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* escape = c == '\t'   ? "\\t"
                             : c == '\n' ? "\\n"
                             : c == '\r' ? "\\r"
                             : c == '\\' ? "\\\\"
                                         : nullptr;
        if (escape != nullptr) {
            out << text.substr(start, i - start) << escape;
            start = i + 1;
        }
    }
    out << text.substr(start);
}

void printMessage(std::ostream& err, const UserMessage& message) {
    err << message.caption << ": " << message.text << '\n';
}

void printStatus(std::ostream& err, const std::string& text) {
    err << "status: " << text << '\n';
}

void printTable(std::ostream& out, const std::vector<std::string>& captions,
                const std::vector<std::vector<std::string>>& rows) {
    printRow(out, captions);
    for (const auto& row : rows) {
        printRow(out, row);
    }
}

int printRefusal(std::ostream& err, const std::string& text) {
    printMessage(err, {text, captionFor("Input Error"), MessageIcon::Question});
    return kRefused;
}

}  // namespace tunex::cli
