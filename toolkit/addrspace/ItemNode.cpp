#include "addrspace/ItemNode.h"

#include <atomic>
#include <cstdint>
#include <new>
#include <functional>

#include "runtime/FlatTable.h"

namespace halvex {

// Tables of a node's children by name and by short name. Keys view the
// children's own names, which never change while the child lives. Insert
// keeps an existing key, so each table holds the first child in insertion
// order, as a scan would find it.
namespace {

template <bool ByShortName>
struct ChildTraits {
    static std::string_view KeyOf(ItemNode *child) {
        return ByShortName ? child->ShortName() : std::string_view(child->name);
    }
    static size_t Hash(std::string_view key) { return std::hash<std::string_view>()(key); }
    static bool Empty(ItemNode *child) { return child == nullptr; }
    static ItemNode *EmptyValue() { return nullptr; }
};

}  // namespace

class ChildIndex {
public:
    void Add(ItemNode *child) {
        byName.Insert(child);
        byShortName.Insert(child);
    }
    FlatTable<std::string_view, ItemNode *, ChildTraits<false>> byName;
    FlatTable<std::string_view, ItemNode *, ChildTraits<true>> byShortName;
};

namespace {

// Below this many children a scan is cheaper than keeping maps.
constexpr size_t kIndexThreshold = 16;

DWORD NewHandle(const ItemNode *node) {
    if (sizeof(void *) == 4) return static_cast<DWORD>(reinterpret_cast<uintptr_t>(node));
    static std::atomic<DWORD> serial{0};
    DWORD h;
    do {
        h = ++serial;
    } while (h == 0 || h == 0xFFFFFFFF);
    return h;
}

}  // namespace

ItemNode::ItemNode() : handle(NewHandle(this)) {}

ItemNode::ItemNode(ItemNode *parentNode, const std::string &nodeName)
    : parent(parentNode), name(nodeName), handle(NewHandle(this)) {}

ItemNode::~ItemNode() { DeleteChildren(); }

void ItemNode::DeleteChildren() {
    index_.reset();
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
    try {
        if (index_) {
            index_->Add(child);
        } else if (children.size() >= kIndexThreshold) {
            auto index = std::make_unique<ChildIndex>();
            for (ItemNode *c : children) index->Add(c);
            index_ = std::move(index);
        }
    } catch (...) {
        // Without memory for the maps the node answers by scanning.
        index_.reset();
    }
}

ItemNode *ItemNode::FindChild(std::string_view childName) const {
    if (index_) {
        ItemNode *const *found = index_->byName.Find(childName);
        return found ? *found : nullptr;
    }
    for (ItemNode *child : children) {
        if (child->name == childName) return child;
    }
    return nullptr;
}

ItemNode *ItemNode::FindChildByShortName(std::string_view shortName) const {
    if (index_) {
        ItemNode *const *found = index_->byShortName.Find(shortName);
        return found ? *found : nullptr;
    }
    for (ItemNode *child : children) {
        if (child->ShortName() == shortName) return child;
    }
    return nullptr;
}

std::string_view ItemNode::ShortName() const {
    std::string_view view(name);
    size_t dot = view.rfind('.');
    return dot == std::string_view::npos ? view : view.substr(dot + 1);
}

int SplitItemId(std::string_view text, std::vector<std::string> &segments) {
    int count = 0;
    size_t start = 0;
    while (start < text.size()) {
        ++count;
        size_t dot = text.find('.', start);
        if (dot == std::string_view::npos) {
            segments.emplace_back(text.substr(start));
            break;
        }
        segments.emplace_back(text.substr(start, dot - start));
        start = dot + 1;
    }
    return count;
}

ItemNode *FindItemBelow(const ItemNode &root, std::string_view itemId) {
    // Walks the segments before the last dot, without copying them.
    const ItemNode *current = &root;
    size_t start = 0;
    for (;;) {
        size_t dot = itemId.find('.', start);
        // The last segment (or a trailing dot's empty tail) ends the walk.
        if (dot == std::string_view::npos || dot + 1 >= itemId.size()) break;
        current = current->FindChild(itemId.substr(start, dot - start));
        if (!current) return nullptr;
        start = dot + 1;
    }
    return current->FindChild(itemId);
}

DWORD DefineItemBelow(ItemNode &root, const char *itemName) {
    try {
        const std::string id = itemName ? itemName : "";
        if (FindItemBelow(root, id)) return 0xFFFFFFFF;
        std::vector<std::string> segments;
        int n = SplitItemId(id, segments);
        ItemNode *current = &root;
        for (int i = 0; i + 1 < n; ++i) {
            ItemNode *next = current->FindChild(segments[i]);
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
