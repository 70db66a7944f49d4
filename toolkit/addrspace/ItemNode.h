// A node of the item tree: a branch (has children) or an item (has none).
#ifndef HALVEX_ITEM_NODE_H
#define HALVEX_ITEM_NODE_H

#include <windows.h>

#include <string>
#include <vector>

namespace halvex {

class ItemNode {
public:
    ItemNode() = default;
    ItemNode(ItemNode *parentNode, const std::string &nodeName);
    virtual ~ItemNode();
    ItemNode(const ItemNode &) = delete;
    ItemNode &operator=(const ItemNode &) = delete;

    // Deletes every child (and so each subtree) and empties the list.
    void DeleteChildren();
    // Appends a child; the node takes ownership.
    void AppendChild(ItemNode *child);

    ItemNode *parent = nullptr;
    std::vector<ItemNode *> children;
    // A branch's own segment, or an item's complete item ID.
    std::string name;
    DWORD handle = 0;
};

// Appends the '.'-separated segments of text to segments; returns how many.
// A trailing dot adds nothing; two dots in a row give an empty segment.
int SplitItemId(const std::string &text, std::vector<std::string> &segments);

// The first child of branch, in insertion order, named segment; or null.
ItemNode *FindChild(const ItemNode *branch, const std::string &segment);

// The node whose item ID is itemId below root, or null.
ItemNode *FindItemBelow(const ItemNode &root, const std::string &itemId);

// Defines an item below root; returns its handle, or 0xFFFFFFFF when the ID
// is already found or memory runs out.
DWORD DefineItemBelow(ItemNode &root, const char *itemName);

}  // namespace halvex

#endif
