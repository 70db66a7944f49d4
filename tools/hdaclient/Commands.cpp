#include "Commands.h"

namespace hdaclient {
namespace {

const OptionRule kServer = {"server", true, false};
const OptionRule kStart = {"start", true, false};
const OptionRule kEnd = {"end", true, false};
const OptionRule kAsync = {"async", false, false};
const OptionRule kInterval = {"interval", true, false};

}  // namespace

const std::vector<Command> &AllCommands() {
    static const std::vector<Command> commands = {
        {"list", "", "OPC HDA servers registered on this machine",
         "Lists the classes registered in the OPC HDA 1.0 component category\n"
         "{7DE5B060-E089-11D2-A5E6-000086339399}: ProgID, CLSID and name.\n",
         {}, RunList, true},
        {"status", "--server PROGID", "the historian status of a server",
         "Prints what GetHistorianStatus reports: state, current and start time,\n"
         "version, the most values the server returns per item, vendor and status text.\n"
         "\n"
         "Example:\n"
         "  hdaclient status --server Vendor.Historian.1\n",
         {kServer}, RunStatus, true},
        {"browse", "--server PROGID", "the server's address space as a tree",
         "Walks the address space from the root with a browser (CreateBrowse): the\n"
         "branches, and the items with their full item IDs (GetItemID).\n"
         "\n"
         "Example:\n"
         "  hdaclient browse --server Vendor.Historian.1\n",
         {kServer}, RunBrowse, true},
        {"attributes",
         "--server PROGID [ITEM...] [--start T] [--end T] [--attribute ID]... [--async]",
         "the attribute and aggregate lists, or attribute values of items",
         "Without items: the item attributes (GetItemAttributes) and aggregates\n"
         "(GetAggregates) the server defines.\n"
         "With items: the values of every defined attribute of each item\n"
         "(ReadAttribute), or only of those named with --attribute.\n"
         "\n"
         "Options:\n"
         "  --attribute ID   an attribute by number (1, 0x80000001) or name (\"Data Type\");\n"
         "                   may be repeated\n"
         "  --start T        start time (default NOW)\n"
         "  --end T          end time (default none: the current values only)\n"
         "  --async          each item's request through IOPCHDA_AsyncRead: prints what\n"
         "                   the method returned, waits up to 30 s for the server's\n"
         "                   callback and prints its results the same way\n"
         "\n"
         "Examples:\n"
         "  hdaclient attributes --server Vendor.Historian.1\n"
         "  hdaclient attributes --server Vendor.Historian.1 Plant.Tank1.Level --attribute 2\n",
         {kServer, kStart, kEnd, {"attribute", true, true}, kAsync}, RunAttributes, true},
        {"read-raw",
         "--server PROGID ITEM... [--start T] [--end T] [--max N] [--bounds] [--async]",
         "raw values of items between two times",
         "Reads the values stored for each item between the start and end time\n"
         "(ReadRaw).\n"
         "\n"
         "Options:\n"
         "  --start T   start time (default NOW-1H)\n"
         "  --end T     end time (default NOW)\n"
         "  --max N     at most N values per item (default 0: no limit of the client's;\n"
         "              the server may still stop early and say OPC_S_MOREDATA)\n"
         "  --bounds    also the bounding values at or just outside the range\n"
         "  --async     the same request through IOPCHDA_AsyncRead: prints what the\n"
         "              method returned, waits up to 30 s for the server's callback\n"
         "              and prints its results the same way\n"
         "\n"
         "Example:\n"
         "  hdaclient read-raw --server Vendor.Historian.1 Plant.Tank1.Level --start NOW-10M\n",
         {kServer, kStart, kEnd, {"max", true, false}, {"bounds", false, false}, kAsync},
         RunReadRaw, true},
        {"read-processed",
         "--server PROGID ITEM... --aggregate ID|NAME --interval SECONDS [--start T] [--end T] "
         "[--async]",
         "aggregate values of items per interval",
         "Computes one aggregate for each item over consecutive intervals of the\n"
         "given length (ReadProcessed).\n"
         "\n"
         "Options:\n"
         "  --aggregate ID|NAME   the aggregate by number or by the name the server\n"
         "                        gives it (see 'hdaclient attributes --server PROGID')\n"
         "  --interval SECONDS    the length of each interval, e.g. 60 or 0.5\n"
         "  --start T             start time (default NOW-1H)\n"
         "  --end T               end time (default NOW)\n"
         "  --async               the same request through IOPCHDA_AsyncRead: prints\n"
         "                        what the method returned, waits up to 30 s for the\n"
         "                        server's callback and prints its results the same way\n"
         "\n"
         "Example:\n"
         "  hdaclient read-processed --server Vendor.Historian.1 Plant.Tank1.Level \\\n"
         "      --aggregate Average --interval 600 --start DAY\n",
         {kServer, kStart, kEnd, {"aggregate", true, false}, kInterval, kAsync},
         RunReadProcessed, true},
        {"read-at", "--server PROGID ITEM... --at T [--at T]... [--async]",
         "values of items at given times",
         "Reads each item's value at each of the given times (ReadAtTime); the server\n"
         "interpolates between stored values where it has to.\n"
         "\n"
         "Options:\n"
         "  --at T      a time; absolute only (YYYY-MM-DDTHH:MM:SS[.mmm]Z); may be\n"
         "              repeated\n"
         "  --async     the same request through IOPCHDA_AsyncRead: prints what the\n"
         "              method returned, waits up to 30 s for the server's callback\n"
         "              and prints its results the same way\n"
         "\n"
         "Example:\n"
         "  hdaclient read-at --server Vendor.Historian.1 Plant.Tank1.Level \\\n"
         "      --at 2026-12-06T08:00:00Z --at 2026-12-06T12:00:00Z\n",
         {kServer, {"at", true, true}, kAsync}, RunReadAt, true},
        {"advise", "--server PROGID ITEM... --interval SECONDS [--start T] [--duration SECONDS]",
         "raw values of items window by window as they come",
         "Asks the server for the raw values of each item window by window\n"
         "(IOPCHDA_AsyncRead::AdviseRaw): window n runs from START + (n-1) x INTERVAL\n"
         "to START + n x INTERVAL, and the server sends it once its end has passed.\n"
         "Prints each window as it arrives, until Ctrl+C or the end of the duration;\n"
         "then cancels the request and exits. A start in the past gets the windows\n"
         "since then first.\n"
         "\n"
         "Options:\n"
         "  --interval SECONDS   the length of each window, e.g. 60 or 0.5\n"
         "  --start T            start of the first window (default NOW)\n"
         "  --duration SECONDS   stop after this long (default: run until Ctrl+C)\n"
         "\n"
         "Example:\n"
         "  hdaclient advise --server Vendor.Historian.1 Plant.Tank1.Level \\\n"
         "      --interval 10 --start NOW-1M --duration 60\n",
         {kServer, kStart, kInterval, {"duration", true, false}}, RunAdvise, true},
        {"help", "[COMMAND]", "this overview, or the details of one command",
         "Prints the overview of all commands, or the details of one.\n", {}, RunHelp, false},
    };
    return commands;
}

const Command *FindCommand(const std::string &name) {
    for (const Command &command : AllCommands()) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

}  // namespace hdaclient
