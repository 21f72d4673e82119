// CString: clamping of positions and counts, replacement order and counts, case
// mapping, trimming, formatting of long texts and direct buffer writing.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include "framework/String.h"
#include "framework/Text.h"

TEST(CStringReplace, CountsEveryOccurrenceLeftToRight)
{
    CString s("aaaa");
    EXPECT_EQ(2, s.Replace("aa", "b"));
    EXPECT_EQ("bb", s);

    CString t("aaa");
    EXPECT_EQ(1, t.Replace("aa", "x"));  // no overlap: the third 'a' stays
    EXPECT_EQ("xa", t);
}

TEST(CStringReplace, LineFeedsBecomeLineBreaksAndExistingBreaksGetAnExtraReturn)
{
    CString s("one\ntwo\r\nthree\n");
    EXPECT_EQ(3, s.Replace("\n", "\r\n"));
    EXPECT_EQ("one\r\ntwo\r\r\nthree\r\n", s);
}

TEST(CStringReplace, InsertedTextIsNotScannedAgain)
{
    CString s("abab");
    EXPECT_EQ(2, s.Replace("a", "aa"));
    EXPECT_EQ("aabaab", s);
}

TEST(CStringReplace, ByNothingRemovesAndEmptyPatternChangesNothing)
{
    CString s("PKG [PACKAGE] X");
    EXPECT_EQ(1, s.Replace("[PACKAGE]", ""));
    EXPECT_EQ(2, s.Replace(" ", ""));
    EXPECT_EQ("PKGX", s);
    EXPECT_EQ(0, s.Replace("", "zz"));
    EXPECT_EQ(0, s.Replace("missing", "zz"));
    EXPECT_EQ("PKGX", s);
}

TEST(CStringReplace, CharacterForm)
{
    CString s("a|b||");
    EXPECT_EQ(3, s.Replace('|', ';'));
    EXPECT_EQ("a;b;;", s);
    EXPECT_EQ(0, s.Replace('a', 'a'));
    EXPECT_EQ(3, s.Remove(';'));
    EXPECT_EQ("ab", s);
}

TEST(CStringFind, FindsFromStartAndAnswersMinusOne)
{
    const CString s("hello world");
    EXPECT_EQ(2, s.Find('l'));
    EXPECT_EQ(3, s.Find('l', 3));
    EXPECT_EQ(9, s.Find('l', 4));
    EXPECT_EQ(-1, s.Find('z'));
    EXPECT_EQ(-1, s.Find('h', 11));
    EXPECT_EQ(-1, s.Find('h', 50));
    EXPECT_EQ(0, s.Find('h', -5));
    EXPECT_EQ(6, s.Find("world"));
    EXPECT_EQ(-1, s.Find("world", 7));
    EXPECT_EQ(-1, s.Find("worlds"));
    EXPECT_EQ(11, s.Find("", 11));
    EXPECT_EQ(-1, s.Find("", 12));
    EXPECT_EQ(-1, s.Find(static_cast<const char*>(nullptr)));
    EXPECT_EQ(9, s.ReverseFind('l'));
    EXPECT_EQ(-1, s.ReverseFind('z'));
    EXPECT_EQ(-1, CString().Find('a'));
}

TEST(CStringExtract, LeftRightMidClampToTheString)
{
    const CString s("abcdef");
    EXPECT_EQ("abc", s.Left(3));
    EXPECT_EQ("", s.Left(0));
    EXPECT_EQ("", s.Left(-2));
    EXPECT_EQ("abcdef", s.Left(60));
    EXPECT_EQ("def", s.Right(3));
    EXPECT_EQ("", s.Right(-1));
    EXPECT_EQ("abcdef", s.Right(7));
    EXPECT_EQ("cdef", s.Mid(2));
    EXPECT_EQ("abcdef", s.Mid(-3));
    EXPECT_EQ("", s.Mid(6));
    EXPECT_EQ("", s.Mid(10));
    EXPECT_EQ("cd", s.Mid(2, 2));
    EXPECT_EQ("cdef", s.Mid(2, 100));
    EXPECT_EQ("", s.Mid(2, -1));
    EXPECT_EQ("ab", s.Mid(-1, 2));
}

TEST(CStringEdit, InsertAndDeleteClamp)
{
    CString s("abc");
    EXPECT_EQ(5, s.Insert(1, "XY"));
    EXPECT_EQ("aXYbc", s);
    EXPECT_EQ(6, s.Insert(99, "!"));
    EXPECT_EQ(7, s.Insert(-4, "<"));
    EXPECT_EQ("<aXYbc!", s);
    EXPECT_EQ(5, s.Delete(1, 2));
    EXPECT_EQ("<Ybc!", s);
    EXPECT_EQ(3, s.Delete(3, 50));
    EXPECT_EQ("<Yb", s);
    EXPECT_EQ(3, s.Delete(9, 1));
    EXPECT_EQ(2, s.Delete(-1));
    EXPECT_EQ("Yb", s);
}

TEST(CStringCase, MapsOnlyAsciiLettersBytewise)
{
    CString s("Pkg_Body.SQL \xC4\xE4");
    s.MakeLower();
    EXPECT_EQ("pkg_body.sql \xC4\xE4", s);  // bytes above 127 are left alone
    s.MakeUpper();
    EXPECT_EQ("PKG_BODY.SQL \xC4\xE4", s);
    EXPECT_EQ("my_pkg.sql", (CString("MY_PKG") + ".sql").MakeLower());
}

TEST(CStringCompare, ByteOrderAndCaseInsensitive)
{
    const CString s("Http://x");
    EXPECT_EQ(0, s.CompareNoCase("hTTP://X"));
    EXPECT_EQ(0, CString("mailto:").CompareNoCase("MAILTO:"));
    EXPECT_LT(CString("abc").CompareNoCase("ABD"), 0);
    EXPECT_GT(CString("abcd").CompareNoCase("ABC"), 0);
    EXPECT_LT(CString("ab").CompareNoCase("abc"), 0);
    EXPECT_EQ(0, CString("").CompareNoCase(nullptr));
    // '_' lies between the upper- and lower-case letters: both are folded to lower case
    // first, so "_" sorts before "A" (folding to upper case would give the opposite).
    EXPECT_LT(CString("_").CompareNoCase("A"), 0);
    EXPECT_EQ(0, CString("abc").Compare("abc"));
    EXPECT_LT(CString("ABC").Compare("abc"), 0);
    EXPECT_GT(CString("\xE4").Compare("a"), 0);  // unsigned bytes
    EXPECT_GT(CString("abc").Compare("ab"), 0);
    EXPECT_LT(CString("ab").Compare("abc"), 0);
}

TEST(CStringTrim, RemovesBlanksOnTheChosenSides)
{
    CString s(" \t\r\n text here \n ");
    CString left(s), right(s);
    EXPECT_EQ("text here \n ", left.TrimLeft());
    EXPECT_EQ(" \t\r\n text here", right.TrimRight());
    EXPECT_EQ("text here", s.Trim());
    CString blank("   ");
    EXPECT_TRUE(blank.Trim().IsEmpty());
}

TEST(CStringFormat, ShortAndLongTexts)
{
    CString s;
    s.Format("%d%% of %s", 42, "job");
    EXPECT_EQ("42% of job", s);

    const std::string big(5000, 'x');
    s.Format("[%s|%05d]", big.c_str(), 7);
    ASSERT_EQ(1 + 5000 + 1 + 5 + 1, s.GetLength());
    EXPECT_EQ("[" + big + "|00007]", s.str());

    // The argument may be the string itself.
    s = "abc";
    s.Format("%s-%s", s.GetString(), s.GetString());
    EXPECT_EQ("abc-abc", s);

    s.Format("%s", "");
    EXPECT_TRUE(s.IsEmpty());

    s.Format("%lld|%u|%-4s|%.2f|%c", -1234567890123LL, 4000000000u, "ab", 2.5, 'z');
    EXPECT_EQ("-1234567890123|4000000000|ab  |2.50|z", s);
}

TEST(CStringBuffer, GetBufferKeepsTextAndReleaseBufferTakesTheLength)
{
    CString s("ab");
    char* p = s.GetBuffer(10);
    EXPECT_EQ(0, std::memcmp(p, "ab", 3));
    std::strcpy(p, "0123456789");
    s.ReleaseBuffer();
    EXPECT_EQ("0123456789", s);
    EXPECT_EQ(10, s.GetLength());

    p = s.GetBuffer(4);  // smaller request: the whole text stays available
    p[3] = '\0';
    s.ReleaseBuffer();
    EXPECT_EQ("012", s);

    p = s.GetBuffer(5);
    std::memcpy(p, "hello", 5);
    s.ReleaseBuffer(4);
    EXPECT_EQ("hell", s);

    s.GetBuffer(3);
    s.ReleaseBuffer(50);  // never past the buffer that was given
    EXPECT_EQ(4, s.GetLength());

    CString empty;
    p = empty.GetBuffer(0);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ('\0', p[0]);
    empty.ReleaseBuffer();
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(CStringBasics, ConstructionConcatenationAndAccess)
{
    EXPECT_EQ("", CString(static_cast<const char*>(nullptr)));
    EXPECT_EQ("ab", CString("abc", 2));
    EXPECT_EQ("---", CString('-', 3));
    CString s = CString("Go to ") + "www.example.com";
    EXPECT_EQ("Go to www.example.com", s);
    EXPECT_EQ('G', s[0]);
    s.SetAt(0, 'g');
    EXPECT_EQ("go to www.example.com", s);
    s.Empty();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_STREQ("", static_cast<const char*>(s));
}

// A character the target code page lacks becomes "?", never a look-alike: the log and the
// messages never show İD as ID or Ωmega as Omega.
TEST(TextRecode, NoBestFitTowardsACodePage)
{
    EXPECT_EQ(Recode("\xC4\xB0"
                     "D",
                     CP_UTF8, 1252)
                  .str(),
              "?D");
    EXPECT_EQ(Recode("\xCE\xA9mega", CP_UTF8, 1252).str(), "?mega");
    EXPECT_EQ(Recode("\xC3\x84pfel", CP_UTF8, 1252).str(), "\xC4pfel");
    EXPECT_EQ(Recode("\xC4pfel", 1252, CP_UTF8).str(), "\xC3\x84pfel");
}
