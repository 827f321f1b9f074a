// CStringList: order of heads and tails, removal anywhere, and reuse of the
// nodes of its blocks across many additions and removals.
#include <gtest/gtest.h>

#include <afxwin.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Forward(const CStringList& list) {
  std::vector<std::string> out;
  for (POSITION pos = list.GetHeadPosition(); pos;) out.push_back((LPCSTR)list.GetNext(pos));
  return out;
}

std::vector<std::string> Backward(const CStringList& list) {
  std::vector<std::string> out;
  for (POSITION pos = list.GetTailPosition(); pos;) out.insert(out.begin(), (LPCSTR)list.GetPrev(pos));
  return out;
}

using Names = std::vector<std::string>;

TEST(CStringList, AddHeadKeepsTheLastAddedFirst) {
  CStringList list(10);
  EXPECT_EQ(10, list.GetBlockSize());
  for (const char* name : {"Printer A", "Printer B", "Printer C"}) list.AddHead(name);
  EXPECT_EQ(3, list.GetCount());
  EXPECT_EQ((Names{"Printer C", "Printer B", "Printer A"}), Forward(list));
  EXPECT_EQ(Forward(list), Backward(list));
  EXPECT_STREQ("Printer C", list.GetHead());
  EXPECT_STREQ("Printer A", list.GetTail());
}

TEST(CStringList, RemovalAtEveryPlace) {
  CStringList list;
  for (const char* name : {"a", "b", "c", "d", "e"}) list.AddTail(name);
  list.RemoveAt(list.Find("c"));          // middle
  list.RemoveAt(list.GetHeadPosition());  // head
  list.RemoveAt(list.GetTailPosition());  // tail
  EXPECT_EQ((Names{"b", "d"}), Forward(list));
  EXPECT_EQ(Forward(list), Backward(list));
  list.InsertBefore(list.Find("d"), "c");
  list.InsertAfter(list.Find("d"), "e");
  list.InsertBefore(list.GetHeadPosition(), "a");
  EXPECT_EQ((Names{"a", "b", "c", "d", "e"}), Forward(list));
  EXPECT_EQ(Forward(list), Backward(list));
  EXPECT_STREQ("a", list.RemoveHead());
  EXPECT_STREQ("e", list.RemoveTail());
  EXPECT_EQ(3, list.GetCount());
  list.SetAt(list.FindIndex(1), "B");
  EXPECT_EQ((Names{"b", "B", "d"}), Forward(list));
  EXPECT_EQ(nullptr, list.FindIndex(3));
  EXPECT_EQ(nullptr, list.FindIndex(-1));
}

TEST(CStringList, FindIsExactAndCanStartAfterAPosition) {
  CStringList list;
  for (const char* name : {"VELKORA KVL-M720", "velkora kvl-m720", "VELKORA KVL-M720"}) list.AddTail(name);
  POSITION first = list.Find("VELKORA KVL-M720");
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(list.GetHeadPosition(), first);
  POSITION second = list.Find("VELKORA KVL-M720", first);
  EXPECT_EQ(list.GetTailPosition(), second);
  EXPECT_EQ(nullptr, list.Find("VELKORA KVL-M720", second));
  EXPECT_EQ(nullptr, list.Find("Velkora"));
}

TEST(CStringList, EmptyListReadsAsEmpty) {
  CStringList list;
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(nullptr, list.GetHeadPosition());
  EXPECT_TRUE(list.RemoveHead().IsEmpty());
  EXPECT_TRUE(list.RemoveTail().IsEmpty());
  EXPECT_TRUE(list.GetHead().IsEmpty());
  EXPECT_TRUE(list.GetTail().IsEmpty());
  EXPECT_EQ(0, list.GetCount());
}

TEST(CStringList, NodesOfManyBlocksAreReused) {
  for (int blockSize : {1, 3, 10}) {
    SCOPED_TRACE(::testing::Message() << "block size " << blockSize);
    CStringList list(blockSize);
    for (int round = 0; round < 3; ++round) {
      SCOPED_TRACE(::testing::Message() << "round " << round);
      for (int i = 0; i < 95; ++i) list.AddTail(CString('x', i % 7 + 1) + (char)('0' + round));
      EXPECT_EQ(95, list.GetCount()) << "block size " << blockSize << " round " << round;
      // Remove every other node, then add as many again: freed nodes are
      // taken before new blocks.
      int n = 0;
      for (POSITION pos = list.GetHeadPosition(); pos;) {
        POSITION cur = pos;
        list.GetNext(pos);
        if (n++ % 2) list.RemoveAt(cur);
      }
      EXPECT_EQ(48, list.GetCount()) << "block size " << blockSize;
      for (int i = 0; i < 47; ++i) list.AddHead("again");
      EXPECT_EQ(95, list.GetCount());
      EXPECT_EQ(Forward(list), Backward(list));
      if (round < 2) list.RemoveAll();
    }
    EXPECT_STREQ("again", list.GetHead());
    EXPECT_STREQ("x2", list.GetTail().Left(1) + list.GetTail().Right(1));
  }
}

TEST(CStringList, BlockSizeBelowOneFallsBackToTheDefault) {
  CStringList list(0);
  EXPECT_EQ(10, list.GetBlockSize());
  list.AddTail("one");
  EXPECT_EQ(1, list.GetCount());
}

}  // namespace
