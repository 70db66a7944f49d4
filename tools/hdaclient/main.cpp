// hdaclient: a command-line client for any OPC HDA 1.0 server.
//   hdaclient COMMAND [OPTIONS]     ('hdaclient help' lists the commands)
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "Failure.h"
#include "Help.h"
#include "Text.h"

namespace {

using namespace hdaclient;

// The arguments after the program name, as UTF-8 (item IDs need not be ASCII).
std::vector<std::string> Utf8Arguments() {
    int count = 0;
    LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i) args.push_back(Utf8(wide[i]));
    LocalFree(wide);
    return args;
}

class ComSession {
public:
    ComSession() {
        HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (FAILED(hr)) throw Failure(kExitCallFailed, "CoInitializeEx failed: " + Hex(hr));
    }
    ~ComSession() { CoUninitialize(); }
};

int RunCommand(const Command &command, const std::vector<std::string> &rest) {
    try {
        Arguments args(rest, command.options);
        if (args.Help()) {
            PrintCommandHelp(command, stdout);
            return kExitOk;
        }
        if (!command.needsCom) return command.run(args);
        ComSession com;
        return command.run(args);
    } catch (const Failure &failure) {
        fflush(stdout);
        fprintf(stderr, "hdaclient %s: %s\n", command.name, failure.what());
        if (failure.code() == kExitUsage) {
            fprintf(stderr, "Usage: %s\n", UsageLine(command).c_str());
        }
        return failure.code();
    } catch (const std::exception &error) {
        fflush(stdout);
        fprintf(stderr, "hdaclient %s: %s\n", command.name, error.what());
        return kExitCallFailed;
    }
}

}  // namespace

int main() {
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> args = Utf8Arguments();
    if (args.empty()) {
        PrintOverview(stderr);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        PrintOverview(stdout);
        return kExitOk;
    }
    const Command *command = FindCommand(args[0]);
    if (!command) {
        fprintf(stderr, "hdaclient: unknown command \"%s\"; 'hdaclient help' lists the commands\n",
                args[0].c_str());
        return kExitUsage;
    }
    return RunCommand(*command, std::vector<std::string>(args.begin() + 1, args.end()));
}
