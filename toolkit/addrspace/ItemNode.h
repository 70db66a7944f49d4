// A node of the item tree: a branch (has children) or an item (has none).
#ifndef HALVEX_ITEM_NODE_H
#define HALVEX_ITEM_NODE_H

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace halvex {

class ChildIndex;

class ItemNode {
public:
    ItemNode();
    ItemNode(ItemNode *parentNode, const std::string &nodeName);
    virtual ~ItemNode();
    ItemNode(const ItemNode &) = delete;
    ItemNode &operator=(const ItemNode &) = delete;

    // Deletes every child (and so each subtree) and empties the list.
    void DeleteChildren();
    // Appends a child; the node takes ownership (also when this throws).
    void AppendChild(ItemNode *child);

    // The first child, in insertion order, whose name is `name`; or null.
    ItemNode *FindChild(std::string_view name) const;
    // The first child, in insertion order, whose short name is `shortName`.
    ItemNode *FindChildByShortName(std::string_view shortName) const;

    // The text of name after its last '.', or the whole name.
    std::string_view ShortName() const;
    bool HasChildren() const { return !children.empty(); }

    ItemNode *parent = nullptr;
    std::vector<ItemNode *> children;
    // A branch's own segment, or an item's complete item ID.
    std::string name;
    // Unique per node, never 0 or 0xFFFFFFFF: the node's address where
    // addresses are 32 bits wide, a serial number elsewhere.
    DWORD handle = 0;

private:
    // Built once a node has enough children for a scan to cost more than a
    // lookup; answers exactly as the scan in insertion order does.
    std::unique_ptr<ChildIndex> index_;
};

// Appends the '.'-separated segments of text to segments; returns how many.
// A trailing dot adds nothing; two dots in a row give an empty segment.
int SplitItemId(std::string_view text, std::vector<std::string> &segments);

// The first child of branch, in insertion order, named segment; or null.
inline ItemNode *FindChild(const ItemNode *branch, std::string_view segment) {
    return branch->FindChild(segment);
}

// The node whose item ID is itemId below root, or null.
ItemNode *FindItemBelow(const ItemNode &root, std::string_view itemId);

// Defines an item below root; returns its handle, or 0xFFFFFFFF when the ID
// is already found or memory runs out.
DWORD DefineItemBelow(ItemNode &root, const char *itemName);

}  // namespace halvex

#endif
