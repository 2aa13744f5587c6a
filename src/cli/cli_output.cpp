#include "cli/cli_output.h"

namespace tunex::cli {

namespace {
void printRow(std::ostream& out, const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) {
            out << '\t';
        }
        out << cells[i];
    }
    out << '\n';
}
}  // namespace

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

}  // namespace tunex::cli
