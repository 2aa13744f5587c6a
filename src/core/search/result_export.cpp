#include "core/search/result_export.h"

#include "core/common/atomic_file.h"
#include "core/search/search_messages.h"

namespace tunex {

namespace {

constexpr std::string_view kHtmlHead =
    "<html><head>\n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
    "<title>Tunex Export File</title></head>\n"
    "<body text=\"#000080\" bgcolor=\"#004080\" link=\"#CCFFFF\" vlink=\"#CCFFFF\" "
    "alink=\"#CCFFFF\">&nbsp;\n"
    "<center><table BORDER=1 COLS=2 WIDTH=\"100%\" BGCOLOR=\"#CCFFFF\" cellspacing=\"0\" "
    "cellpadding=\"0\" bordercolor=\"#008000\" bordercolorlight=\"#008000\" "
    "bordercolordark=\"#008000\" ></center>\n";

void appendEscapedHtml(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '&':
                out.append("&amp;");
                break;
            case '<':
                out.append("&lt;");
                break;
            case '>':
                out.append("&gt;");
                break;
            case '"':
                out.append("&quot;");
                break;
            default:
                out.push_back(c);
        }
    }
}

void renderHtml(std::string& out, std::span<const std::string> captions,
                std::span<const ResultRow> rows) {
    out.append(kHtmlHead);
    out.append("<tr ALIGN=CENTER>");
    for (const std::string& caption : captions) {
        out.append("<td>");
        appendEscapedHtml(out, caption);
        out.append("</td>");
    }
    out.append("</tr>\n\n");
    for (const ResultRow& row : rows) {
        out.append("<tr ALIGN=LEFT>");
        for (const std::string& cell : row) {
            out.append("<td>");
            appendEscapedHtml(out, cell);
            out.append("</td>\n");
        }
        out.append("</tr>\n\n");
    }
    out.append(R"(</table><p align="left"><font color="#CCFFFF">Created by <i><a href=")");
    appendEscapedHtml(out, kProjectHomePage);
    out.append("\"><b>Tunex</b></a></i></font></p>\n\n</body></html>\n");
}

// A spreadsheet runs a cell that starts with one of these as a formula (a file named
// "=cmd|calc!A0.mp3"). Such a cell is quoted with a ' in front, the usual defence (OWASP "CSV
// injection"): spreadsheets then show it as text, other readers see the extra '.
bool startsLikeFormula(std::string_view field) {
    return !field.empty() &&
           std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos;
}

void appendCsvField(std::string& out, std::string_view field) {
    const bool formula = startsLikeFormula(field);
    if (!formula && field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(field);
        return;
    }
    out.push_back('"');
    if (formula) {
        out.push_back('\'');
    }
    for (const char c : field) {
        if (c == '"') {
            out.push_back('"');
        }
        out.push_back(c);
    }
    out.push_back('"');
}

// RFC 4180 ends every record with CR LF, the header row included.
void appendCsvRecord(std::string& out, std::span<const std::string> fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out.push_back(',');
        }
        appendCsvField(out, fields[i]);
    }
    out.append("\r\n");
}

void renderCsv(std::string& out, std::span<const std::string> captions,
               std::span<const ResultRow> rows) {
    appendCsvRecord(out, captions);
    for (const ResultRow& row : rows) {
        appendCsvRecord(out, row);
    }
}

// A line break inside a value continues on the next line behind a TAB, so every line that does not
// start with a TAB still starts a "caption:" entry and the empty line still ends a row.
void appendTextValue(std::string& out, std::string_view value) {
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
                ++i;
            }
            out.append("\n\t");
        } else {
            out.push_back(c);
        }
    }
}

void renderText(std::string& out, std::span<const std::string> captions,
                std::span<const ResultRow> rows) {
    for (const ResultRow& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i < captions.size()) {
                appendTextValue(out, captions[i]);
                out.append(":\t");
            }
            appendTextValue(out, row[i]);
            out.push_back('\n');
        }
        out.push_back('\n');
    }
}

}  // namespace

ExportFormat exportFormatFor(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    const std::size_t dot = name.rfind('.');
    const std::string_view extension =
        dot == std::string::npos ? std::string_view() : std::string_view(name).substr(dot + 1);
    if (extension == "htm") {
        return ExportFormat::Html;
    }
    if (extension == "csv") {
        return ExportFormat::Csv;
    }
    return ExportFormat::Text;
}

std::string renderExport(ExportFormat format, std::span<const std::string> captions,
                         std::span<const ResultRow> rows) {
    std::string out;
    switch (format) {
        case ExportFormat::Html:
            renderHtml(out, captions, rows);
            break;
        case ExportFormat::Csv:
            renderCsv(out, captions, rows);
            break;
        case ExportFormat::Text:
            renderText(out, captions, rows);
            break;
    }
    return out;
}

bool writeExportFile(const std::filesystem::path& file, ExportFormat format,
                     std::span<const std::string> captions, std::span<const ResultRow> rows,
                     std::string* error) {
    return writeFileAtomically(file, renderExport(format, captions, rows), error);
}

std::optional<UserMessage> checkExportable(std::span<const ResultRow> rows) {
    const bool onlyPlaceholder = !rows.empty() && !rows.front().empty() &&
                                 rows.front().front() == kNoFileFound &&
                                 (rows.front().size() < 2 || rows.front()[1].empty());
    if (rows.empty() || onlyPlaceholder) {
        return UserMessage{"No search result available. Export Aborted.", captionFor("Export"),
                           MessageIcon::Question};
    }
    return std::nullopt;
}

ExportOutcome exportResults(const std::filesystem::path& file,
                            std::span<const std::string> captions,
                            std::span<const ResultRow> rows) {
    if (writeExportFile(file, exportFormatFor(file), captions, rows)) {
        return {true,
                {"Search Result exported to " + file.string() + ".", captionFor("Export"),
                 MessageIcon::Information}};
    }
    return {false,
            {"File Error when creating export file. Export Aborted.", captionFor("File Error"),
             MessageIcon::Error}};
}

}  // namespace tunex
