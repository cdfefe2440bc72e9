// Emptying a directory tree through the current directory, and never leaving it.
#include "Fixture.h"

namespace {
using Paths = std::vector<std::string>;

class DeleteTest : public InstallTest {
protected:
    void SetUp() override {
        host.m_strCurrentDir = "C:\\work";
        host.AddDirectory("C:\\work");
        host.AddFile("C:\\work\\keep.txt", "mine");
    }
    // Three levels with files at every level.
    void AddTree(const std::string& top) {
        host.AddFile(top + "\\a.txt", "1");
        host.AddFile(top + "\\noext", "2");
        host.AddFile(top + "\\sub1\\b.txt", "3");
        host.AddFile(top + "\\sub1\\sub2\\c.txt", "4");
        host.AddFile(top + "\\sub1\\sub2\\sub3\\d.txt", "5");
        host.AddDirectory(top + "\\empty");
    }
};

TEST_F(DeleteTest, RelativeNameRemovesEverythingTopIncluded) {
    AddTree("C:\\work\\tree");
    app.DeleteTree("tree", "*.*");
    EXPECT_EQ(Paths{"keep.txt"}, host.Tree("C:\\work"));
    EXPECT_EQ("C:\\work", host.m_strCurrentDir);
    EXPECT_EQ(0, host.m_nOpenSearches);
}

TEST_F(DeleteTest, FullPathEmptiesButLeavesTheTop) {
    AddTree("C:\\work\\tree");
    app.DeleteTree("C:\\work\\tree", "*.*");
    EXPECT_EQ((Paths{"keep.txt", "tree\\"}), host.Tree("C:\\work"));
    EXPECT_EQ("C:\\work", host.m_strCurrentDir);
}

TEST_F(DeleteTest, ReadOnlyFileKeepsItselfAndItsParents) {
    AddTree("C:\\work\\tree");
    host.AddFile("C:\\work\\tree\\sub1\\sub2\\locked.txt", "x", FILE_ATTRIBUTE_READONLY);
    app.DeleteTree("tree", "*.*");
    EXPECT_EQ((Paths{"keep.txt", "tree\\", "tree\\sub1\\", "tree\\sub1\\sub2\\",
                     "tree\\sub1\\sub2\\locked.txt"}),
              host.Tree("C:\\work"));
    EXPECT_EQ("C:\\work", host.m_strCurrentDir);
}

TEST_F(DeleteTest, HiddenSystemAndDotNamedEntriesGoLikeAnyOther) {
    host.AddFile("C:\\work\\tree\\h.sys", "", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    host.AddDirectory("C:\\work\\tree\\.dot", FILE_ATTRIBUTE_HIDDEN);
    host.AddFile("C:\\work\\tree\\.dot\\.hidden", "", FILE_ATTRIBUTE_HIDDEN);
    host.AddDirectory("C:\\work\\tree\\..x");
    app.DeleteTree("tree", "*.*");
    EXPECT_EQ(Paths{"keep.txt"}, host.Tree("C:\\work"));
}

TEST_F(DeleteTest, DotNamesAndMissingDirectoriesChangeNothing) {
    AddTree("C:\\work\\tree");
    const Paths before = host.Tree("C:\\");
    for (const char* name : {".", "..", "missing", "keep.txt", "C:\\nowhere"}) {
        host.m_events.clear();
        app.DeleteTree(name, "*.*");
        EXPECT_EQ(before, host.Tree("C:\\")) << name;
        EXPECT_EQ("C:\\work", host.m_strCurrentDir) << name;
        EXPECT_EQ(0, std::count_if(host.m_events.begin(), host.m_events.end(),
                                   [](const std::string& e) { return e.rfind("Delete", 0) == 0; }))
            << name;
    }
}

TEST_F(DeleteTest, EmptyDirectoryIsRemoved) {
    host.AddDirectory("C:\\work\\empty");
    app.DeleteTree("empty", "*.*");
    EXPECT_EQ(Paths{"keep.txt"}, host.Tree("C:\\work"));
}

TEST_F(DeleteTest, PatternDecidesWhatIsEnteredAndDeleted) {
    host.AddFile("C:\\work\\tree\\a.txt");
    host.AddFile("C:\\work\\tree\\b.log");
    host.AddFile("C:\\work\\tree\\d.txt\\inner.txt");
    host.AddFile("C:\\work\\tree\\nodot\\x.txt");
    app.DeleteTree("tree", "*.txt");
    EXPECT_EQ((Paths{"b.log", "nodot\\", "nodot\\x.txt"}), host.Tree("C:\\work\\tree"));
}

TEST_F(DeleteTest, LinksAreRemovedNeverFollowed) {
    host.AddFile("C:\\Users\\me\\precious.doc", "years of work");
    host.AddFile("C:\\Users\\me\\sub\\more.doc", "more");
    host.AddFile("C:\\work\\tree\\a.txt");
    host.AddLink("C:\\work\\tree\\link", "C:\\Users\\me");
    host.AddLink("C:\\work\\tree\\sub\\deeper", "C:\\Users");
    const Paths outside = host.Tree("C:\\Users");
    app.DeleteTree("tree", "*.*");
    EXPECT_EQ(outside, host.Tree("C:\\Users"));
    EXPECT_EQ(Paths{"keep.txt"}, host.Tree("C:\\work"));
    EXPECT_EQ("C:\\work", host.m_strCurrentDir);
}

TEST_F(DeleteTest, TooDeepCurrentDirectoryChangesNothing) {
    for (size_t length : {250u, 256u, 258u}) {
        const std::string deep = "C:\\" + std::string(length - 3, 'd');
        host.AddFile(deep + "\\tree\\a.txt");
        host.m_strCurrentDir = deep;
        host.m_events.clear();
        app.DeleteTree("tree", "*.*");
        EXPECT_EQ(length == 250u, !host.Exists(deep + "\\tree")) << length;
        EXPECT_EQ(deep, host.m_strCurrentDir) << length;
    }
}
} // namespace
