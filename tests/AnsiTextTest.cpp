// Text walking in single-byte and double-byte code pages.
#include "MemoryHost.h"
#include "host/AnsiText.h"

#include <gtest/gtest.h>

namespace {
// ソ in code page 932: its second byte is the backslash.
const std::string SO = "\x83\x5C";

struct AnsiTextTest : ::testing::Test {
    CMemoryHost host;
    CAnsiText text{host};
    void SetUp() override { host.SetCodePage(932); }
};

TEST_F(AnsiTextTest, UpperCasesOnlyWholeSingleByteCharacters) {
    std::string s = "-s debug \x83s \x82\x61";
    text.MakeUpper(s);
    EXPECT_EQ("-S DEBUG \x83s \x82\x61", s);
}

TEST_F(AnsiTextTest, FindMatchesOnlyAtCharacterBoundaries) {
    EXPECT_EQ(-1, text.Find("\x83-S", "-S"));
    EXPECT_EQ(-1, text.Find("\x83"
                            "DEBUG",
                            "DEBUG"));
    EXPECT_EQ(3, text.Find("\x83-x-S", "-S"));
    EXPECT_EQ(-1, text.Find("abc", "abcd"));
}

TEST_F(AnsiTextTest, BackslashSearchesSkipTrailBytes) {
    const std::string path = "D:\\" + SO + "\\x.exe"; // D:\ソ\x.exe
    EXPECT_EQ(5, text.ReverseFindChar(path, '\\'));
    EXPECT_EQ(2, text.FindChar(path, '\\', 0));
    EXPECT_EQ(5, text.FindChar(path, '\\', 3));
    EXPECT_EQ(5, text.FindChar(path, '\\', 4)); // start inside ソ: the next real one
    EXPECT_EQ(-1, text.FindChar(path, '\\', 100));
    EXPECT_EQ(-1, text.ReverseFindChar(SO + SO, '\\'));
}

TEST_F(AnsiTextTest, ReverseKeepsDoubleByteCharactersWhole) {
    std::string s = "a" + SO + "b\\";
    text.Reverse(s);
    EXPECT_EQ("\\b" + SO + "a", s);
    text.Reverse(s);
    EXPECT_EQ("a" + SO + "b\\", s);
}

TEST(AnsiTextSingleByte, HighBytesAreOrdinaryCharacters) {
    CMemoryHost host; // code page 1252
    CAnsiText text(host);
    EXPECT_EQ(1, text.ReverseFindChar("\x83\\", '\\'));
    EXPECT_EQ(1, text.Find("\x83-S", "-S"));
}
} // namespace
