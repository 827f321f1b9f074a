// CString: bounds of the substring operations, growth through appends and
// formatting, aliasing with its own buffer, and the buffer protocol.
#include <gtest/gtest.h>

#include <afxwin.h>

#include <string>

namespace {

struct SubstringRow {
  const char* what;
  const char* source;
  char op;  // 'M' Mid(first, count), 'm' Mid(first), 'L' Left(count), 'R' Right(count)
  int a;
  int b;
  const char* expected;
};

const SubstringRow kSubstrings[] = {
    {"mid inside", "DelAllDriver", 'M', 3, 3, "All"},
    {"mid to the end", "DelAllDriver", 'M', 6, 100, "Driver"},
    {"mid past the end", "DelAllDriver", 'M', 20, 2, ""},
    {"mid negative first", "DelAllDriver", 'M', -5, 3, "Del"},
    {"mid negative count", "DelAllDriver", 'M', 2, -1, ""},
    {"mid from", "oem7.inf", 'm', 5, 0, "inf"},
    {"mid from past the end", "oem7.inf", 'm', 9, 0, ""},
    {"left", "oem7.inf", 'L', 4, 0, "oem7"},
    {"left more than all", "oem7.inf", 'L', 40, 0, "oem7.inf"},
    {"left negative", "oem7.inf", 'L', -1, 0, ""},
    {"right", "oem7.inf", 'R', 3, 0, "inf"},
    {"right more than all", "oem7.inf", 'R', 99, 0, "oem7.inf"},
    {"right negative", "oem7.inf", 'R', -3, 0, ""},
    {"empty source", "", 'M', 0, 1, ""},
};

TEST(CString, SubstringsStayInsideTheString) {
  for (const auto& row : kSubstrings) {
    CString s(row.source);
    CString r;
    switch (row.op) {
      case 'M':
        r = s.Mid(row.a, row.b);
        break;
      case 'm':
        r = s.Mid(row.a);
        break;
      case 'L':
        r = s.Left(row.a);
        break;
      case 'R':
        r = s.Right(row.a);
        break;
    }
    EXPECT_STREQ(row.expected, (LPCSTR)r) << row.what;
    EXPECT_EQ((int)strlen(row.expected), r.GetLength()) << row.what;
  }
}

struct StringFindRow {
  const char* source;
  const char* sub;
  char ch;
  int find;
  int findChar;
  int reverseFindChar;
};

const StringFindRow kFinds[] = {
    {"C:\\WINDOWS\\inf\\oem7.inf", "inf", '\\', 11, 2, 14},
    {"no separator", "xyz", '\\', -1, -1, -1},
    {"", "a", 'a', -1, -1, -1},
    {"abc", "", '\0', 0, -1, -1},
};

TEST(CString, FindAndReverseFind) {
  for (const auto& row : kFinds) {
    CString s(row.source);
    EXPECT_EQ(row.find, s.Find(row.sub)) << row.source;
    EXPECT_EQ(row.findChar, s.Find(row.ch)) << row.source;
    EXPECT_EQ(row.reverseFindChar, s.ReverseFind(row.ch)) << row.source;
  }
}

TEST(CString, ConcatenationAndComparison) {
  CString name("VELKORA KVL-M720");
  CString caption = name + " installer";
  EXPECT_STREQ("VELKORA KVL-M720 installer", caption);
  EXPECT_STREQ("KVLM720_Uninstaller.exe DelAllDriver",
               (LPCSTR)(CString("KVLM720_Uninstaller.exe") + ' ' + "DelAllDriver"));
  EXPECT_STREQ(">x<", (LPCSTR)('>' + CString("x") + '<'));

  EXPECT_TRUE(name == "VELKORA KVL-M720");
  EXPECT_TRUE("VELKORA KVL-M720" == name);
  EXPECT_TRUE(name != "velkora kvl-m720");  // byte-wise, case counts
  EXPECT_EQ(0, name.CompareNoCase("velkora kvl-m720"));
  EXPECT_LT(CString("A").Compare("B"), 0);
  EXPECT_TRUE(CString("A") < CString("B"));
  EXPECT_TRUE(CString("b") > "a");
  EXPECT_GT(name.Compare(nullptr), 0);  // a null pointer compares as the empty string
  EXPECT_TRUE(CString(nullptr).IsEmpty());
}

TEST(CString, GrowsThroughManyAppends) {
  CString s;
  std::string expected;
  for (int i = 0; i < 2000; ++i) {
    s += (char)('a' + i % 26);
    s += "\r\n";
    expected += (char)('a' + i % 26);
    expected += "\r\n";
  }
  EXPECT_EQ(expected.size(), (size_t)s.GetLength());
  EXPECT_EQ(expected, std::string(s));
}

TEST(CString, AppendsAndAssignsPartsOfItself) {
  CString s("abc");
  s += s;
  EXPECT_STREQ("abcabc", s);
  s += (LPCSTR)s + 4;  // a pointer into its own buffer
  EXPECT_STREQ("abcabcbc", s);
  s = (LPCSTR)s + 3;
  EXPECT_STREQ("abcbc", s);
  const CString& same = s;  // assigned to itself through another name
  s = same;
  EXPECT_STREQ("abcbc", s);
}

TEST(CString, FormatHasNoLengthLimit) {
  CString s;
  s.Format("AddPrinter Error Code: %d\n\n", 1797);
  EXPECT_STREQ("AddPrinter Error Code: 1797\n\n", s);
  s.Format("%d", -5);
  EXPECT_STREQ("-5", s);

  std::string longText(5000, 'x');
  s.Format("[%s]", longText.c_str());
  EXPECT_EQ(5002, s.GetLength());
  EXPECT_EQ('[', s[0]);
  EXPECT_EQ(']', s[5001]);

  // The argument may be the string's own text.
  s = "VELKORA KVL-M720";
  s.Format("%s(#%d)", (LPCSTR)s, 2);
  EXPECT_STREQ("VELKORA KVL-M720(#2)", s);
  s.Format("%s", "");
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CString, BufferProtocol) {
  CString s("keep");
  LPSTR p = s.GetBuffer(300);
  EXPECT_STREQ("keep", p);  // the content survives the growth
  strcpy(p + 4, " more");
  s.ReleaseBuffer();
  EXPECT_STREQ("keep more", s);
  EXPECT_EQ(9, s.GetLength());

  p = s.GetBuffer(0);
  p[2] = '\0';
  s.ReleaseBuffer();
  EXPECT_STREQ("ke", s);

  // An explicit length wins over the terminator, within the buffer.
  p = s.GetBuffer(10);
  memcpy(p, "0123456789", 10);
  s.ReleaseBuffer(4);
  EXPECT_STREQ("0123", s);

  // A buffer filled to the end, the terminator's place included, is cut at
  // its size instead of being read past.
  CString t;
  p = t.GetBufferSetLength(6);
  memset(p, 'z', 7);
  t.ReleaseBuffer(-1);
  EXPECT_STREQ("zzzzzz", t);

  CString e;
  e.GetBuffer(0)[0] = '\0';
  e.ReleaseBuffer();
  EXPECT_TRUE(e.IsEmpty());
}

TEST(CString, ElementAccessOutsideIsHarmless) {
  CString s("abc");
  EXPECT_EQ('\0', s.GetAt(3));
  EXPECT_EQ('\0', s.GetAt(-1));
  s.SetAt(5, 'x');
  s.SetAt(-1, 'x');
  s.SetAt(1, '\0');  // would cut the string behind its length
  EXPECT_STREQ("abc", s);
  s.SetAt(1, 'B');
  EXPECT_STREQ("aBc", s);
  s.MakeUpper();
  EXPECT_STREQ("ABC", s);
  s.MakeLower();
  EXPECT_STREQ("abc", s);
}

TEST(CString, ConstructorsStopAtTheTerminator) {
  const char text[] = {'a', 'b', '\0', 'c'};
  EXPECT_STREQ("ab", (LPCSTR)CString(text, 4));
  EXPECT_EQ(2, CString(text, 4).GetLength());
  EXPECT_STREQ("a", (LPCSTR)CString(text, 1));
  EXPECT_TRUE(CString(text, 0).IsEmpty());
  EXPECT_TRUE(CString(nullptr, 5).IsEmpty());
  EXPECT_STREQ("---", (LPCSTR)CString('-', 3));
  EXPECT_TRUE(CString('-', 0).IsEmpty());
}

}  // namespace
