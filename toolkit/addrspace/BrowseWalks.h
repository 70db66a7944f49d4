// Walks of the item tree that answer the browser's questions. Every step
// from a node to its child finds the child by short name (the text after the
// last '.'), a branch before an item of the same short name; a walk costs
// one or two lookups per segment.
#ifndef HALVEX_BROWSE_WALKS_H
#define HALVEX_BROWSE_WALKS_H

#include <string>
#include <string_view>
#include <vector>

#include "addrspace/ItemNode.h"
#include "opchda.h"

namespace halvex {

// The node that a list of segments names below root (root itself for an
// empty list), or null.
const ItemNode *FindPositionNode(const ItemNode &root, const std::vector<std::string> &position);

// The node that a dotted path names below root, segments taken as
// SplitItemId takes them (the empty path names root), or null. The node may
// be a branch or an item.
const ItemNode *FindBrowsePath(const ItemNode &root, std::string_view path);

// Appends to names what a browse of the given type lists at position: the
// names of the child branches (OPCHDA_BRANCH), the short names of the child
// items (OPCHDA_LEAF, OPCHDA_ITEMS), or the full IDs of every item below
// (OPCHDA_FLAT). Another type, or a position that names no node, lists
// nothing.
void ListBrowseNames(const ItemNode &root, const std::vector<std::string> &position,
                     std::vector<std::string> &names, OPCHDA_BROWSETYPE browseType);

// Appends the names of all childless nodes below node, depth first,
// siblings in insertion order.
void ListLeavesFlat(const ItemNode &node, std::vector<std::string> &names);

}  // namespace halvex

#endif
