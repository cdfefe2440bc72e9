// Text walking in single-byte and double-byte code pages, and the growable text.
#include "tests/memory/MemoryHost.h"
#include "host/AnsiString.h"
#include "host/AnsiText.h"

#include <gtest/gtest.h>

#include <string>

namespace {
// ソ in code page 932: its second byte is the backslash.
const std::string SO = "\x83\x5C";

struct AnsiTextTest : ::testing::Test {
    CMemoryHost host;
    CAnsiText text{host};
    void SetUp() override { host.SetCodePage(932); }
};

TEST_F(AnsiTextTest, UpperCasesOnlyWholeSingleByteCharacters) {
    std::string s = "-s debug \x83s \x82\x61 z";
    text.MakeUpper(&s[0]);
    EXPECT_EQ("-S DEBUG \x83s \x82\x61 Z", s);
}

TEST_F(AnsiTextTest, FindMatchesOnlyAtCharacterBoundaries) {
    EXPECT_EQ(-1, text.Find("\x83-S", "-S"));
    EXPECT_EQ(-1, text.Find("\x83"
                            "DEBUG",
                            "DEBUG"));
    EXPECT_EQ(3, text.Find("\x83-x-S", "-S"));
    EXPECT_EQ(-1, text.Find("abc", "abcd"));
    EXPECT_EQ(3, text.Find("-S -S", "-S", 1));
}

TEST_F(AnsiTextTest, BackslashSearchesSkipTrailBytes) {
    const std::string path = "D:\\" + SO + "\\x.exe"; // D:\ソ\x.exe
    EXPECT_EQ(5, text.ReverseFindChar(path.c_str(), '\\'));
    EXPECT_EQ(2, text.FindChar(path.c_str(), '\\', 0));
    EXPECT_EQ(5, text.FindChar(path.c_str(), '\\', 3));
    EXPECT_EQ(5, text.FindChar(path.c_str(), '\\', 4)); // start inside ソ: the next real one
    EXPECT_EQ(-1, text.FindChar(path.c_str(), '\\', 100));
    EXPECT_EQ(-1, text.ReverseFindChar((SO + SO).c_str(), '\\'));
    EXPECT_EQ(-1, text.FindOneOf((SO + "a").c_str(), ":\\|"));
    EXPECT_EQ(3, text.FindOneOf((SO + "a|\\").c_str(), ":\\|"));
}

TEST_F(AnsiTextTest, ReverseKeepsDoubleByteCharactersWhole) {
    std::string s = "a" + SO + "b" + SO + SO + "\\";
    text.Reverse(&s[0]);
    EXPECT_EQ("\\" + SO + SO + "b" + SO + "a", s);
    text.Reverse(&s[0]);
    EXPECT_EQ("a" + SO + "b" + SO + SO + "\\", s);
    // A lead byte at the very end has no trail byte: it is a character of its own.
    std::string dangling = "ab\x83";
    text.Reverse(&dangling[0]);
    EXPECT_EQ("\x83"
              "ba",
              dangling);
}

TEST(AnsiTextSingleByte, HighBytesAreOrdinaryCharacters) {
    CMemoryHost host; // code page 1252
    CAnsiText text(host);
    EXPECT_EQ(1, text.ReverseFindChar("\x83\\", '\\'));
    EXPECT_EQ(1, text.Find("\x83-S", "-S"));
    std::string s = "\x83\\a";
    text.Reverse(&s[0]);
    EXPECT_EQ("a\\\x83", s);
}

TEST(AnsiString, JoinsCutsAndCopies) {
    CAnsiString s;
    EXPECT_STREQ("", s.c_str());
    s += "D:\\Drivers\\";
    s += 'x';
    s += CAnsiString("yz", 1);
    EXPECT_STREQ("D:\\Drivers\\xy", s.c_str());
    EXPECT_EQ(13u, s.size());

    s += s.c_str() + 3; // a piece of itself, while it grows
    EXPECT_STREQ("D:\\Drivers\\xyDrivers\\xy", s.c_str());
    s = s.c_str() + 3;
    EXPECT_STREQ("Drivers\\xyDrivers\\xy", s.c_str());

    s.DeleteFront(8);
    EXPECT_STREQ("xyDrivers\\xy", s.c_str());
    s.Truncate(2);
    EXPECT_STREQ("xy", s.c_str());
    s.Truncate(10);
    EXPECT_STREQ("xy", s.c_str());
    s.DeleteFront(5);
    EXPECT_TRUE(s.empty());

    const std::string big(5000, 'b');
    CAnsiString copy = big.c_str();
    CAnsiString other;
    other = copy;
    EXPECT_EQ(big, other.c_str());
}
} // namespace
