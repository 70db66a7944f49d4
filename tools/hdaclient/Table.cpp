#include "Table.h"

#include <algorithm>
#include <cstdio>

namespace hdaclient {

size_t DisplayWidth(const std::string &text) {
    size_t width = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++width;  // continuation bytes do not count
    }
    return width;
}

Table::Table(std::vector<std::string> headers, size_t indent)
    : headers_(std::move(headers)),
      right_(headers_.size(), false),
      hideIfEmpty_(headers_.size(), false),
      indent_(indent) {}

void Table::AlignRight(size_t column) { right_.at(column) = true; }

void Table::HideIfEmpty(size_t column) { hideIfEmpty_.at(column) = true; }

void Table::Add(std::vector<std::string> row) {
    row.resize(headers_.size());
    rows_.push_back(std::move(row));
}

std::string Table::Format() const {
    std::vector<size_t> widths(headers_.size());
    std::vector<bool> shown(headers_.size(), true);
    for (size_t c = 0; c < headers_.size(); ++c) {
        size_t content = 0;
        for (const auto &row : rows_) content = std::max(content, DisplayWidth(row[c]));
        widths[c] = std::max(content, DisplayWidth(headers_[c]));
        shown[c] = content > 0 || !hideIfEmpty_[c];
    }
    std::string text;
    auto addLine = [&](const std::vector<std::string> &row) {
        std::string line(indent_, ' ');
        bool first = true;
        for (size_t c = 0; c < row.size(); ++c) {
            if (!shown[c]) continue;
            std::string pad(widths[c] - DisplayWidth(row[c]), ' ');
            if (!first) line += "  ";
            first = false;
            line += right_[c] ? pad + row[c] : row[c] + pad;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        text += line + "\n";
    };
    addLine(headers_);
    for (const auto &row : rows_) addLine(row);
    return text;
}

void Table::Print() const { fputs(Format().c_str(), stdout); }

}  // namespace hdaclient
