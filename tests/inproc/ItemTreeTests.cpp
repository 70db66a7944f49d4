// The item tree: the shapes dotted IDs build, and the child index answering
// exactly as a scan in insertion order would.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "addrspace/ItemNode.h"

using halvex::DefineItemBelow;
using halvex::FindItemBelow;
using halvex::ItemNode;

namespace {

constexpr DWORD kFailed = 0xFFFFFFFF;

std::vector<std::string> Names(const ItemNode &node) {
    std::vector<std::string> out;
    for (const ItemNode *child : node.children) out.push_back(child->name);
    return out;
}

TEST(ItemTree, SharedBranchesAndItemsByFullId) {
    ItemNode root;
    DWORD aaa = DefineItemBelow(root, "A.A.A");
    DWORD aab = DefineItemBelow(root, "A.A.B");
    DWORD aba = DefineItemBelow(root, "A.B.A");
    EXPECT_EQ(std::vector<std::string>({"A"}), Names(root));
    const ItemNode *a = root.children[0];
    EXPECT_EQ(std::vector<std::string>({"A", "B"}), Names(*a));
    EXPECT_EQ(std::vector<std::string>({"A.A.A", "A.A.B"}), Names(*a->children[0]));
    EXPECT_EQ(aaa, FindItemBelow(root, "A.A.A")->handle);
    EXPECT_EQ(aba, FindItemBelow(root, "A.B.A")->handle);
    EXPECT_EQ(nullptr, FindItemBelow(root, "A.A"));
    std::set<DWORD> handles = {aaa, aab, aba};
    EXPECT_EQ(3u, handles.size());
    EXPECT_FALSE(handles.count(0) || handles.count(kFailed));

    EXPECT_EQ(kFailed, DefineItemBelow(root, "A.A.A"));
    EXPECT_EQ(2u, a->children[0]->children.size());
}

TEST(ItemTree, ItemThenDeeperItemWithTheSamePrefix) {
    ItemNode root;
    DWORD ab = DefineItemBelow(root, "A.B");
    DWORD abc = DefineItemBelow(root, "A.B.C");
    const ItemNode *a = root.children[0];
    // The item "A.B" first, then a new branch "B" for "A.B.C".
    EXPECT_EQ(std::vector<std::string>({"A.B", "B"}), Names(*a));
    EXPECT_EQ(ab, FindItemBelow(root, "A.B")->handle);
    EXPECT_EQ(abc, FindItemBelow(root, "A.B.C")->handle);
    // By short name both are "B": the earlier one, the item, answers.
    EXPECT_EQ(a->children[0], a->FindChildByShortName("B"));
}

TEST(ItemTree, ItemWithoutDotsBecomesABranch) {
    ItemNode root;
    DWORD itemA = DefineItemBelow(root, "A");
    DWORD itemAB = DefineItemBelow(root, "A.B");
    ASSERT_EQ(1u, root.children.size());
    EXPECT_EQ(itemA, root.children[0]->handle);
    EXPECT_TRUE(root.children[0]->HasChildren());
    EXPECT_EQ(itemA, FindItemBelow(root, "A")->handle);
    EXPECT_EQ(itemAB, FindItemBelow(root, "A.B")->handle);
}

TEST(ItemTree, TopLevelBranchHidesAnItemOfItsName) {
    ItemNode root;
    DefineItemBelow(root, "A.B");
    EXPECT_EQ(kFailed, DefineItemBelow(root, "A"));
    EXPECT_EQ(root.children[0], FindItemBelow(root, "A"));
}

TEST(ItemTree, EmptySegmentsAndTrailingDot) {
    ItemNode root;
    DWORD empty = DefineItemBelow(root, "");
    EXPECT_NE(kFailed, empty);
    EXPECT_EQ(kFailed, DefineItemBelow(root, ""));
    EXPECT_EQ(kFailed, DefineItemBelow(root, nullptr));

    DWORD twoDots = DefineItemBelow(root, "A..B");
    const ItemNode *a = FindItemBelow(root, "A");
    ASSERT_NE(nullptr, a);
    ASSERT_EQ(1u, a->children.size());
    EXPECT_EQ("", a->children[0]->name);
    EXPECT_EQ(std::vector<std::string>({"A..B"}), Names(*a->children[0]));
    EXPECT_EQ(twoDots, FindItemBelow(root, "A..B")->handle);

    DWORD trailing = DefineItemBelow(root, "B.");
    EXPECT_EQ("B.", root.children.back()->name);
    EXPECT_EQ(trailing, FindItemBelow(root, "B.")->handle);
    EXPECT_EQ(nullptr, FindItemBelow(root, "B"));
}

TEST(ItemTree, ManyChildrenUnderOneBranch) {
    ItemNode root;
    std::vector<DWORD> handles;
    for (int i = 0; i < 250; ++i) handles.push_back(DefineItemBelow(root, ("F." + std::to_string(i)).c_str()));
    for (int i = 0; i < 250; ++i)
        EXPECT_EQ(handles[i], FindItemBelow(root, "F." + std::to_string(i))->handle) << i;
    EXPECT_EQ(250u, root.children[0]->children.size());
}

// The walk over child arrays in insertion order that the index stands in for.
const ItemNode *ScanChild(const ItemNode *node, const std::string &name) {
    for (const ItemNode *c : node->children)
        if (c->name == name) return c;
    return nullptr;
}

const ItemNode *ScanShort(const ItemNode *node, const std::string &segment) {
    for (const ItemNode *c : node->children) {
        size_t dot = c->name.rfind('.');
        std::string shortName = dot == std::string::npos ? c->name : c->name.substr(dot + 1);
        if (shortName == segment) return c;
    }
    return nullptr;
}

const ItemNode *ScanFindItem(const ItemNode &root, const std::string &id) {
    std::vector<std::string> segments;
    int n = halvex::SplitItemId(id, segments);
    const ItemNode *node = &root;
    for (int i = 0; i + 1 < n && node; ++i) node = ScanChild(node, segments[i]);
    return node ? ScanChild(node, id) : nullptr;
}

// Random IDs over a tiny alphabet, so that duplicates, empty segments, items
// that become branches and wide sibling lists all occur.
std::string RandomId(std::mt19937 &rng) {
    static const char kChars[] = {'a', 'b', 'c', '.', '.'};
    std::uniform_int_distribution<int> length(0, 9), pick(0, 4), wide(0, 40);
    std::string id;
    int n = length(rng);
    for (int i = 0; i < n; ++i) id += kChars[pick(rng)];
    if (pick(rng) == 0) id += std::to_string(wide(rng));
    return id;
}

void CheckIndexAgainstScan(const ItemNode &node, std::mt19937 &rng) {
    for (const ItemNode *c : node.children) {
        EXPECT_EQ(ScanChild(&node, c->name), node.FindChild(c->name));
        std::string shortName(c->ShortName());
        EXPECT_EQ(ScanShort(&node, shortName), node.FindChildByShortName(shortName));
        CheckIndexAgainstScan(*c, rng);
    }
    std::string absent = RandomId(rng);
    EXPECT_EQ(ScanChild(&node, absent), node.FindChild(absent));
    EXPECT_EQ(ScanShort(&node, absent), node.FindChildByShortName(absent));
}

TEST(ItemTree, IndexAnswersAsTheScanOnRandomTrees) {
    std::mt19937 rng(20261206);
    for (int tree = 0; tree < 20; ++tree) {
        ItemNode root;
        std::vector<std::string> ids;
        for (int i = 0; i < 400; ++i) {
            ids.push_back(RandomId(rng));
            DefineItemBelow(root, ids.back().c_str());
        }
        for (int i = 0; i < 400; ++i) ids.push_back(RandomId(rng));
        for (const std::string &id : ids) EXPECT_EQ(ScanFindItem(root, id), FindItemBelow(root, id)) << id;
        CheckIndexAgainstScan(root, rng);
    }
}

}  // namespace
