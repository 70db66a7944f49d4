// Column-aligned text tables for the console.
#ifndef HDACLIENT_TABLE_H
#define HDACLIENT_TABLE_H

#include <string>
#include <vector>

namespace hdaclient {

class Table {
public:
    // indent: spaces before every line.
    explicit Table(std::vector<std::string> headers, size_t indent = 2);

    void AlignRight(size_t column);
    // Leaves the column out when no row has anything in it.
    void HideIfEmpty(size_t column);
    void Add(std::vector<std::string> row);
    bool Empty() const { return rows_.empty(); }
    // The header and the rows, one line each; trailing blanks are left out.
    std::string Format() const;
    void Print() const;

private:
    std::vector<std::string> headers_;
    std::vector<std::vector<std::string>> rows_;
    std::vector<bool> right_;
    std::vector<bool> hideIfEmpty_;
    size_t indent_;
};

// Characters on screen of a UTF-8 string.
size_t DisplayWidth(const std::string &text);

}  // namespace hdaclient

#endif
