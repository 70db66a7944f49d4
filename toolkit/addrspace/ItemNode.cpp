#include "addrspace/ItemNode.h"

#include <cstdint>
#include <new>

namespace halvex {
namespace {

// On 32-bit Windows the handle is the node's address.
DWORD HandleOf(const ItemNode *node) {
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(node));
}

}  // namespace

ItemNode::ItemNode(ItemNode *parentNode, const std::string &nodeName)
    : parent(parentNode), name(nodeName), handle(HandleOf(this)) {}

ItemNode::~ItemNode() { DeleteChildren(); }

void ItemNode::DeleteChildren() {
    for (ItemNode *child : children) delete child;
    children.clear();
}

void ItemNode::AppendChild(ItemNode *child) {
    try {
        children.push_back(child);
    } catch (...) {
        delete child;
        throw;
    }
}

int SplitItemId(const std::string &text, std::vector<std::string> &segments) {
    int count = 0;
    size_t start = 0;
    while (start < text.size()) {
        ++count;
        size_t dot = text.find('.', start);
        if (dot == std::string::npos) {
            segments.push_back(text.substr(start));
            break;
        }
        segments.push_back(text.substr(start, dot - start));
        start = dot + 1;
    }
    return count;
}

ItemNode *FindChild(const ItemNode *branch, const std::string &segment) {
    for (ItemNode *child : branch->children) {
        if (child->name == segment) return child;
    }
    return nullptr;
}

ItemNode *FindItemBelow(const ItemNode &root, const std::string &itemId) {
    std::vector<std::string> segments;
    int n = SplitItemId(itemId, segments);
    const ItemNode *current = &root;
    for (int i = 0; i + 1 < n; ++i) {
        current = FindChild(current, segments[i]);
        if (!current) return nullptr;
    }
    return FindChild(current, itemId);
}

DWORD DefineItemBelow(ItemNode &root, const char *itemName) {
    const std::string id = itemName ? itemName : "";
    try {
        if (FindItemBelow(root, id)) return 0xFFFFFFFF;
        std::vector<std::string> segments;
        int n = SplitItemId(id, segments);
        ItemNode *current = &root;
        for (int i = 0; i + 1 < n; ++i) {
            ItemNode *next = FindChild(current, segments[i]);
            if (!next) {
                next = new ItemNode(current, segments[i]);
                current->AppendChild(next);
            }
            current = next;
        }
        ItemNode *item = new ItemNode(current, id);
        current->AppendChild(item);
        return item->handle;
    } catch (const std::bad_alloc &) {
        return 0xFFFFFFFF;
    }
}

}  // namespace halvex
