// The item tree: the shapes dotted IDs build, and the lookups by name and by
// short name answering with the first child in insertion order, before and
// after a branch is wide enough to be indexed.
#include <gtest/gtest.h>

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
    // Three handles, none of them 0 or the failure value.
    EXPECT_EQ(5u, std::set<DWORD>({aaa, aab, aba, 0, kFailed}).size());

    EXPECT_EQ(kFailed, DefineItemBelow(root, "A.A.A"));
    EXPECT_EQ(2u, a->children[0]->children.size());
}

TEST(ItemTree, ItemsAndBranchesOfOneName) {
    ItemNode root;
    // The item "A.B" first, then a new branch "B" for "A.B.C".
    DWORD ab = DefineItemBelow(root, "A.B");
    DWORD abc = DefineItemBelow(root, "A.B.C");
    const ItemNode *a = root.children[0];
    EXPECT_EQ(std::vector<std::string>({"A.B", "B"}), Names(*a));
    EXPECT_EQ(ab, FindItemBelow(root, "A.B")->handle);
    EXPECT_EQ(abc, FindItemBelow(root, "A.B.C")->handle);
    // By short name both are "B": the earlier one, the item, answers.
    EXPECT_EQ(a->children[0], a->FindChildByShortName("B"));

    // A top-level branch hides an item of its name.
    EXPECT_EQ(kFailed, DefineItemBelow(root, "A"));
    EXPECT_EQ(a, FindItemBelow(root, "A"));

    // An item without dots becomes a branch when a deeper ID needs it.
    ItemNode other;
    DWORD x = DefineItemBelow(other, "X");
    DWORD xy = DefineItemBelow(other, "X.Y");
    ASSERT_EQ(1u, other.children.size());
    EXPECT_TRUE(other.children[0]->HasChildren());
    EXPECT_EQ(x, FindItemBelow(other, "X")->handle);
    EXPECT_EQ(xy, FindItemBelow(other, "X.Y")->handle);
}

TEST(ItemTree, EmptySegmentsAndTrailingDot) {
    ItemNode root;
    EXPECT_NE(kFailed, DefineItemBelow(root, ""));
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

// A wide branch answers from its index. Names that two children share (an
// item "F.x" and a branch "x" by short name) exist both before the index is
// built and after, and the first child still answers.
TEST(ItemTree, WideBranchAnswersAsInInsertionOrder) {
    ItemNode root;
    DWORD fx = DefineItemBelow(root, "F.x");
    DefineItemBelow(root, "F.x.y");  // branch "x" under "F"
    std::vector<DWORD> handles;
    for (int i = 0; i < 250; ++i)
        handles.push_back(DefineItemBelow(root, ("F." + std::to_string(i)).c_str()));
    DWORD f7 = FindItemBelow(root, "F.7")->handle;
    DefineItemBelow(root, "F.7.z");  // branch "7", added to the index
    const ItemNode *f = root.children[0];
    ASSERT_EQ(253u, f->children.size());

    for (int i = 0; i < 250; ++i)
        EXPECT_EQ(handles[i], FindItemBelow(root, "F." + std::to_string(i))->handle) << i;
    EXPECT_EQ(fx, f->FindChildByShortName("x")->handle);
    EXPECT_EQ(f->children[1], f->FindChild("x"));
    EXPECT_EQ(f7, f->FindChildByShortName("7")->handle);
    EXPECT_EQ(f->children[252], f->FindChild("7"));
    EXPECT_NE(nullptr, FindItemBelow(root, "F.x.y"));
    EXPECT_NE(nullptr, FindItemBelow(root, "F.7.z"));
    EXPECT_EQ(nullptr, f->FindChild("250"));
    EXPECT_EQ(nullptr, f->FindChildByShortName("250"));
    EXPECT_EQ(nullptr, FindItemBelow(root, "F.x.z"));
}

}  // namespace
