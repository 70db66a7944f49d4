#include "CommandSupport.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "Failure.h"
#include "Text.h"

namespace hdaclient {

std::string RequireServer(const Arguments &args) {
    std::string server = args.Value("server");
    if (server.empty()) throw UsageError("--server PROGID is missing");
    return server;
}

std::vector<std::string> RequireItems(const Arguments &args) {
    if (args.Positional().empty()) throw UsageError("no item IDs given");
    return args.Positional();
}

void RejectPositional(const Arguments &args) {
    if (!args.Positional().empty()) {
        throw UsageError("unexpected argument \"" + args.Positional()[0] + "\"");
    }
}

bool ParseId(const std::string &text, DWORD *id) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char *end = nullptr;
    errno = 0;
    unsigned long long value = strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || value > 0xFFFFFFFFull) return false;
    *id = static_cast<DWORD>(value);
    return true;
}

std::string IdText(DWORD id) {
    return id >= 0x80000000u ? Hex(id) : std::to_string(id);
}

void PrintField(const std::string &label, const std::string &value) {
    printf("%-11s %s\n", label.c_str(), value.c_str());
}

}  // namespace hdaclient
