// Result rows exported with hostile cells: HTML must keep every cell text inside its cell, and CSV
// must read back as the same cells, those a spreadsheet would run as formulas behind a '.
#include "core/search/result_export.h"
#include "fuzz_support.h"

#include <vector>

namespace {

using Table = std::vector<std::vector<std::string>>;

std::string unescapeHtml(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [entity, c] : kEntities) {
            if (text.substr(i, entity.size()) == entity) {
                out.push_back(c);
                i += entity.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            out.push_back(text[i++]);
        }
    }
    return out;
}

// RFC 4180 as a spreadsheet reads it: CR LF ends a record outside quotes.
Table readCsv(std::string_view text) {
    Table table;
    std::vector<std::string> record;
    std::string field;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field.push_back(text[i++]);
            }
        }
        if (i < text.size() && text[i] == ',') {
            record.push_back(std::move(field));
            field.clear();
            ++i;
        } else if (text.substr(i, 2) == "\r\n") {
            record.push_back(std::move(field));
            field.clear();
            table.push_back(std::move(record));
            record.clear();
            i += 2;
        } else if (i < text.size()) {
            field.push_back(text[i++]);
        }
    }
    if (!field.empty() || !record.empty()) {
        record.push_back(std::move(field));
        table.push_back(std::move(record));
    }
    return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tunex;
    fuzz::InputReader input(data, size);
    const std::size_t columns = 1 + input.byte() % 7;
    const std::size_t rowCount = input.byte() % 5;
    const auto cell = [&input] { return std::string(input.piece(1 + input.byte() % 40)); };
    std::vector<std::string> captions;
    for (std::size_t c = 0; c < columns; ++c) {
        captions.push_back(cell());
    }
    std::vector<ResultRow> rows(rowCount);
    for (ResultRow& row : rows) {
        for (std::size_t c = 0; c < columns; ++c) {
            row.push_back(cell());
        }
    }

    const std::string html = renderExport(ExportFormat::Html, captions, rows);
    std::size_t at = html.find("<tr ALIGN=CENTER>");
    TUNEX_FUZZ_CHECK(at != std::string::npos);
    std::vector<std::string> cells(captions);
    for (const ResultRow& row : rows) {
        cells.insert(cells.end(), row.begin(), row.end());
    }
    for (const std::string& expected : cells) {
        const std::size_t open = html.find("<td>", at);
        TUNEX_FUZZ_CHECK(open != std::string::npos);
        const std::size_t close = html.find("</td>", open);
        TUNEX_FUZZ_CHECK(close != std::string::npos);
        const std::string_view inner = std::string_view(html).substr(open + 4, close - open - 4);
        TUNEX_FUZZ_CHECK(inner.find_first_of("<>\"") == std::string_view::npos);
        TUNEX_FUZZ_CHECK(unescapeHtml(inner) == expected);
        at = close;
    }
    TUNEX_FUZZ_CHECK(html.find("<td>", at) == std::string::npos);

    Table expected{captions};
    expected.insert(expected.end(), rows.begin(), rows.end());
    // A cell a spreadsheet would run as a formula reads back behind a '.
    for (std::vector<std::string>& record : expected) {
        for (std::string& field : record) {
            if (!field.empty() &&
                std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos) {
                field.insert(0, 1, '\'');
            }
        }
    }
    TUNEX_FUZZ_CHECK(readCsv(renderExport(ExportFormat::Csv, captions, rows)) == expected);

    // Text has no reader to compare with; it must merely not fail.
    (void)renderExport(ExportFormat::Text, captions, rows);
    return 0;
}
