#include "addrspace/BrowseWalks.h"

namespace halvex {
namespace {

// One step of a browse walk. Where an item and a branch share a short name
// ("A.B" defined before "A.B.C"), the branch wins: otherwise whatever lies
// below it could not be reached by browsing. Branches are named by their
// own segment, so the lookup by name finds one directly.
const ItemNode *StepDown(const ItemNode &node, std::string_view segment) {
    const ItemNode *branch = node.FindChild(segment);
    if (branch && branch->HasChildren()) return branch;
    return node.FindChildByShortName(segment);
}

}  // namespace

const ItemNode *FindPositionNode(const ItemNode &root, const std::vector<std::string> &position) {
    const ItemNode *current = &root;
    for (const std::string &segment : position) {
        current = StepDown(*current, segment);
        if (!current) return nullptr;
    }
    return current;
}

const ItemNode *FindBrowsePath(const ItemNode &root, std::string_view path) {
    // The segments of SplitItemId, walked without copying them: a trailing
    // dot adds no segment, two dots in a row give an empty one.
    const ItemNode *current = &root;
    size_t start = 0;
    while (start < path.size()) {
        size_t dot = path.find('.', start);
        std::string_view segment = dot == std::string_view::npos
                                       ? path.substr(start)
                                       : path.substr(start, dot - start);
        current = StepDown(*current, segment);
        if (!current) return nullptr;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return current;
}

void ListBrowseNames(const ItemNode &root, const std::vector<std::string> &position,
                     std::vector<std::string> &names, OPCHDA_BROWSETYPE browseType) {
    const ItemNode *start = FindPositionNode(root, position);
    if (!start) return;
    switch (browseType) {
    case OPCHDA_FLAT:
        ListLeavesFlat(*start, names);
        return;
    case OPCHDA_BRANCH:
        for (const ItemNode *child : start->children) {
            if (child->HasChildren()) names.push_back(child->name);
        }
        return;
    case OPCHDA_LEAF:
    case OPCHDA_ITEMS:
        for (const ItemNode *child : start->children) {
            if (!child->HasChildren()) names.emplace_back(child->ShortName());
        }
        return;
    default:
        return;
    }
}

void ListLeavesFlat(const ItemNode &node, std::vector<std::string> &names) {
    // An explicit stack, so that a deep tree cannot exhaust the thread's
    // stack: each entry is a node and the index of its next child.
    std::vector<std::pair<const ItemNode *, size_t>> stack;
    stack.emplace_back(&node, 0);
    while (!stack.empty()) {
        auto &[current, next] = stack.back();
        if (next == current->children.size()) {
            stack.pop_back();
            continue;
        }
        const ItemNode *child = current->children[next++];
        if (child->HasChildren()) {
            stack.emplace_back(child, 0);
        } else {
            names.push_back(child->name);
        }
    }
}

}  // namespace halvex
