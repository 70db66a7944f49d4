// The benchmarks' summary rows. Beside its own report, a benchmark prints
// each headline figure as one line
//   BENCH-ROW|<what>|<figure with unit>|<target>|<yes or no>
// and tools/bench-table.py gathers the rows of all of them into one table.
#ifndef HALVEX_BENCH_TABLE_H
#define HALVEX_BENCH_TABLE_H

#include <cstdarg>
#include <cstdio>
#include <string>

namespace bench {

// printf into a string, for a row's fields.
inline std::string Format(const char *format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// Prints one summary row. A '|' or line break in a field would split the
// row, so it becomes '/'.
inline void TableRow(std::string what, std::string figure, std::string target, bool met) {
    for (std::string *field : {&what, &figure, &target}) {
        for (char &c : *field) {
            if (c == '|' || c == '\n' || c == '\r') c = '/';
        }
    }
    printf("BENCH-ROW|%s|%s|%s|%s\n", what.c_str(), figure.c_str(), target.c_str(),
           met ? "yes" : "no");
    fflush(stdout);
}

}  // namespace bench

#endif
