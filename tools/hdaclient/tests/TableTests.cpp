// Column layout of hdaclient's tables.
#include <gtest/gtest.h>

#include "Table.h"

namespace hdaclient {
namespace {

TEST(HdaClientTable, ColumnsFitTheWidestCellAndNumbersAlignRight) {
    Table table({"ID", "Name", "Note"});
    table.AlignRight(0);
    table.Add({"1", "Data Type", "x"});
    table.Add({"13", "Item ID"});  // missing cells are empty
    EXPECT_EQ("  ID  Name       Note\n"
              "   1  Data Type  x\n"
              "  13  Item ID\n",
              table.Format());
}

TEST(HdaClientTable, MultiByteCharactersTakeOneColumn) {
    Table table({"Name", "Value"}, 0);
    table.Add({"Füllstand", "1"});
    table.Add({"Level", "2"});
    EXPECT_EQ("Name       Value\n"
              "Füllstand  1\n"
              "Level      2\n",
              table.Format());
}

TEST(HdaClientTable, EmptyColumnCanBeLeftOut) {
    Table table({"A", "Result", "B"}, 0);
    table.HideIfEmpty(1);
    table.Add({"1", "", "2"});
    EXPECT_EQ("A  B\n1  2\n", table.Format());
    table.Add({"3", "E_FAIL", "4"});
    EXPECT_EQ("A  Result  B\n1          2\n3  E_FAIL  4\n", table.Format());
}

}  // namespace
}  // namespace hdaclient
