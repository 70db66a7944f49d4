// browse: the address space as a tree, walked with one browser from the root
// down each branch and back up.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "CommandSupport.h"
#include "Commands.h"
#include "ComPtr.h"
#include "Connection.h"
#include "Failure.h"
#include "Table.h"
#include "Text.h"

namespace hdaclient {
namespace {

// Deeper than any real address space; stops a server whose branches loop.
constexpr int kMaxDepth = 64;

struct Totals {
    size_t branches = 0;
    size_t items = 0;
};

class Walker {
public:
    Walker(Connection &connection, IOPCHDA_Browser *browser)
        : connection_(connection), browser_(browser) {}

    void Walk(const std::string &indent, int depth);
    const Totals &Count() const { return totals_; }

private:
    std::vector<std::string> Names(OPCHDA_BROWSETYPE type);
    std::string ItemId(const std::string &name);
    void Branch(const std::string &name, const std::string &indent, bool last, int depth);

    Connection &connection_;
    IOPCHDA_Browser *browser_;
    Totals totals_;
};

std::vector<std::string> Walker::Names(OPCHDA_BROWSETYPE type) {
    ComPtr<IEnumString> names;
    HRESULT hr = browser_->GetEnum(type, names.Out());
    connection_.Check(hr, type == OPCHDA_BRANCH ? "GetEnum(OPCHDA_BRANCH)" : "GetEnum(OPCHDA_LEAF)");
    std::vector<std::string> out;
    if (!names) return out;
    // Full batches are S_OK; the last, short one S_FALSE.
    for (;;) {
        LPOLESTR batch[16] = {};
        ULONG fetched = 0;
        hr = names->Next(16, batch, &fetched);
        connection_.Check(hr, "IEnumString::Next");
        for (ULONG i = 0; i < fetched && i < 16; ++i) out.push_back(TakeUtf8(batch[i]));
        if (hr != S_OK) break;
    }
    return out;
}

std::string Walker::ItemId(const std::string &name) {
    LPWSTR id = nullptr;
    HRESULT hr = browser_->GetItemID(Wide(name).c_str(), &id);
    if (FAILED(hr)) return "(GetItemID: " + connection_.Describe(hr) + ")";
    return TakeUtf8(id);
}

void Walker::Branch(const std::string &name, const std::string &indent, bool last, int depth) {
    ++totals_.branches;
    printf("%s%s%s/\n", indent.c_str(), last ? "`-- " : "|-- ", name.c_str());
    std::string inner = indent + (last ? "    " : "|   ");
    if (depth >= kMaxDepth) {
        printf("%s(deeper levels left out)\n", inner.c_str());
        return;
    }
    HRESULT hr = browser_->ChangeBrowsePosition(OPCHDA_BROWSE_DOWN, Wide(name).c_str());
    if (FAILED(hr)) {
        printf("%s(cannot enter: %s)\n", inner.c_str(), connection_.Describe(hr).c_str());
        return;
    }
    Walk(inner, depth + 1);
    connection_.Check(browser_->ChangeBrowsePosition(OPCHDA_BROWSE_UP, L""),
                      "ChangeBrowsePosition(OPCHDA_BROWSE_UP)");
}

void Walker::Walk(const std::string &indent, int depth) {
    std::vector<std::string> branches = Names(OPCHDA_BRANCH);
    std::vector<std::string> leaves = Names(OPCHDA_LEAF);
    for (size_t i = 0; i < branches.size(); ++i) {
        Branch(branches[i], indent, leaves.empty() && i + 1 == branches.size(), depth);
    }
    // Leaves with their full item IDs in one column.
    size_t width = 0;
    for (const std::string &leaf : leaves) width = std::max(width, DisplayWidth(leaf));
    for (size_t i = 0; i < leaves.size(); ++i) {
        ++totals_.items;
        std::string pad(width - DisplayWidth(leaves[i]), ' ');
        printf("%s%s%s%s   %s\n", indent.c_str(), i + 1 == leaves.size() ? "`-- " : "|-- ",
               leaves[i].c_str(), pad.c_str(), ItemId(leaves[i]).c_str());
    }
}

}  // namespace

int RunBrowse(const Arguments &args) {
    RejectPositional(args);
    Connection connection(RequireServer(args));
    // No filters; the proxy still wants an array to point at.
    DWORD attribute = 0;
    OPCHDA_OPERATORCODES op = OPCHDA_EQUAL;
    VARIANT filter;
    VariantInit(&filter);
    ComPtr<IOPCHDA_Browser> browser;
    TaskMem<HRESULT> errors;
    connection.Check(connection.Server()->CreateBrowse(0, &attribute, &op, &filter, browser.Out(),
                                                       errors.Out()),
                     "CreateBrowse");
    if (!browser) throw Failure(kExitCallFailed, "CreateBrowse returned no browser");
    printf("%s\n", connection.ProgId().c_str());
    Walker walker(connection, browser.Get());
    walker.Walk("", 0);
    printf("\n%s in %s\n", Count(walker.Count().items, "item", "items").c_str(),
           Count(walker.Count().branches, "branch", "branches").c_str());
    return kExitOk;
}

}  // namespace hdaclient
