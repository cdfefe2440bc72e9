// Emptying a directory tree through handles, and never leaving it.
#include "tests/unit/Fixture.h"

namespace {
using Paths = std::vector<std::string>;

// Everything on drive C: but the tree C:\work\tree.
Paths Outside(CMemoryHost& host) {
    Paths all = host.Tree("C:\\");
    all.erase(std::remove_if(all.begin(), all.end(),
                             [](const std::string& e) { return e.rfind("work\\tree\\", 0) == 0; }),
              all.end());
    return all;
}

// Every delete test runs with the folders listed in each of these orders: a file system
// promises none, and a walk that stops at the first entry it cannot remove, or that
// relies on what comes first, fails in one of them.
class DeleteTest : public InstallTest,
                   public ::testing::WithParamInterface<CMemoryHost::ListOrder> {
protected:
    void SetUp() override {
        host.m_listOrder = GetParam();
        host.m_strCurrentDir = "C:\\work";
        host.AddDirectory("C:\\work");
        host.AddFile("C:\\work\\keep.txt", "mine");
    }
    // Three levels with files at every level; hidden, system and dot-named entries among
    // them, which go like any other.
    void AddTree(const std::string& top) {
        host.AddFile(top + "\\a.txt", "1");
        host.AddFile(top + "\\noext", "2");
        host.AddFile(top + "\\h.sys", "", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        host.AddFile(top + "\\.dot\\.hidden", "", FILE_ATTRIBUTE_HIDDEN);
        host.AddDirectory(top + "\\..x", FILE_ATTRIBUTE_HIDDEN);
        host.AddFile(top + "\\sub1\\b.txt", "3");
        host.AddFile(top + "\\sub1\\sub2\\c.txt", "4");
        host.AddFile(top + "\\sub1\\sub2\\sub3\\d.txt", "5");
        host.AddDirectory(top + "\\empty");
    }
};

TEST_P(DeleteTest, RelativeNameRemovesEverythingTopIncluded) {
    AddTree("C:\\work\\tree");
    host.AddDirectory("C:\\work\\empty");
    app.DeleteTree("tree", "*.*");
    app.DeleteTree("empty", "*.*");
    EXPECT_EQ(Paths{"keep.txt"}, host.Tree("C:\\work"));
}

// A full path is walked as it stands, whatever the current directory is, one too deep to
// read included.
TEST_P(DeleteTest, FullPathEmptiesButLeavesTheTop) {
    for (const std::string& start :
         {std::string("C:\\work"), std::string("C:\\Users\\me"), "C:\\" + std::string(300, 'd')}) {
        host.AddDirectory(start);
        AddTree("C:\\work\\tree");
        host.m_strCurrentDir = start;
        app.DeleteTree("C:\\work\\tree", "*.*");
        EXPECT_EQ((Paths{"keep.txt", "tree\\"}), host.Tree("C:\\work")) << start;
    }
}

TEST_P(DeleteTest, ReadOnlyFileKeepsItselfAndItsParents) {
    AddTree("C:\\work\\tree");
    host.AddFile("C:\\work\\tree\\sub1\\sub2\\locked.txt", "x", FILE_ATTRIBUTE_READONLY);
    app.DeleteTree("tree", "*.*");
    EXPECT_EQ((Paths{"keep.txt", "tree\\", "tree\\sub1\\", "tree\\sub1\\sub2\\",
                     "tree\\sub1\\sub2\\locked.txt"}),
              host.Tree("C:\\work"));
}

TEST_P(DeleteTest, DotNamesAndMissingDirectoriesChangeNothing) {
    AddTree("C:\\work\\tree");
    const Paths before = host.Tree("C:\\");
    // A top that cannot be opened is still tried as an empty folder; nothing else is removed.
    const std::pair<const char*, long> names[] = {
        {".", 0}, {"..", 0}, {"missing", 1}, {"keep.txt", 0}, {"C:\\nowhere", 0}};
    for (const auto& name : names) {
        host.m_events.clear();
        app.DeleteTree(name.first, "*.*");
        EXPECT_EQ(before, host.Tree("C:\\")) << name.first;
        // Every way the walk removes is counted.
        EXPECT_EQ(name.second, std::count_if(host.m_events.begin(), host.m_events.end(),
                                             [](const std::string& e) {
                                                 return e.rfind("NtSetInformationFile", 0) == 0 ||
                                                        e.rfind("RemoveDirectoryA", 0) == 0 ||
                                                        e.rfind("DeleteFileA", 0) == 0;
                                             }))
            << name.first;
    }
}

TEST_P(DeleteTest, PatternDecidesWhatIsEnteredAndDeleted) {
    host.AddFile("C:\\work\\tree\\a.txt");
    host.AddFile("C:\\work\\tree\\b.log");
    host.AddFile("C:\\work\\tree\\d.txt\\inner.txt");
    host.AddFile("C:\\work\\tree\\nodot\\x.txt");
    app.DeleteTree("tree", "*.txt");
    EXPECT_EQ((Paths{"b.log", "nodot\\", "nodot\\x.txt"}), host.Tree("C:\\work\\tree"));
}

TEST_P(DeleteTest, LinksAreRemovedNeverFollowed) {
    host.AddFile("C:\\Users\\me\\precious.doc", "years of work");
    host.AddFile("C:\\Users\\me\\sub\\more.doc", "more");
    host.AddFile("C:\\work\\tree\\a.txt");
    host.AddLink("C:\\work\\tree\\link", "C:\\Users\\me");
    host.AddLink("C:\\work\\tree\\sub\\deeper", "C:\\Users");
    const Paths outside = host.Tree("C:\\Users");
    app.DeleteTree("tree", "*.*");
    EXPECT_EQ(outside, host.Tree("C:\\Users"));
    EXPECT_EQ(Paths{"keep.txt"}, host.Tree("C:\\work"));
}

TEST_P(DeleteTest, TooDeepCurrentDirectoryChangesNothing) {
    for (size_t length : {250u, 256u, 258u}) {
        const std::string deep = "C:\\" + std::string(length - 3, 'd');
        host.AddFile(deep + "\\tree\\a.txt");
        host.m_strCurrentDir = deep;
        app.DeleteTree("tree", "*.*");
        EXPECT_EQ(length == 250u, !host.Exists(deep + "\\tree")) << length;
    }
}

// Win32 reads a name with trailing dots or blanks as another entry, and the ANSI listing
// shows a full-width backslash as "\\": such names stay, with what they hold and the folders
// above them. Beside them everything goes, and nothing outside the tree changes. A name read
// as a device goes by its literal path, never opened as the device; what administrators may
// delete but not read or list goes too.
TEST_P(DeleteTest, OddNamesStayDevicesAndUnreadableEntriesGo) {
    const std::string tree = "C:\\work\\tree\\";
    const std::string so = "\x83\x5C"; // ソ in code page 932: its second byte is "\\"
    struct {
        const char* name;
        UINT codePage;
        std::function<void(CMemoryHost&)> setUp;
        Paths remain; // of the tree; empty: the tree is gone
    } cases[] = {
        {"three dots, read as the folder itself",
         1252,
         [&](CMemoryHost& h) { h.AddFile(tree + "...\\in.txt"); },
         {"...\\", "...\\in.txt"}},
        {"dot and blank",
         1252,
         [&](CMemoryHost& h) { h.AddFile(tree + ". \\in.txt"); },
         {". \\", ". \\in.txt"}},
        {"two dots and a blank, read as the parent",
         1252,
         [&](CMemoryHost& h) { h.AddFile(tree + ".. \\in.txt"); },
         {".. \\", ".. \\in.txt"}},
        {"sub and, listed first, sub with a blank beside a junction named sub",
         1252,
         [&](CMemoryHost& h) {
             h.AddFile(tree + "sub \\in.txt");
             h.AddLink(tree + "sub", "C:\\outside");
         },
         {"sub \\", "sub \\in.txt"}},
        {"f beside f.",
         1252,
         [&](CMemoryHost& h) {
             h.AddFile(tree + "f.", "dot");
             h.AddFile(tree + "f", "plain");
         },
         {"f."}},
        {"full-width backslashes, shown as a way out",
         1252,
         [&](CMemoryHost& h) { h.AddListedAs(tree, u"..\uFF3C..\uFF3Coutside"); },
         {"..\\..\\outside\\"}},
        {"a full-width letter, a colon and a control character, each as it stands",
         1252,
         [&](CMemoryHost& h) {
             h.AddListedAs(tree, u"\uFF41", 0);
             h.AddListedAs(tree, u"b:c", 0);
             h.AddListedAs(tree, u"d\x01", 0);
         },
         {"a", "b:c", "d\x01"}},
        {"a folder listed as a link and opened as the folder it leads to, as Wine shows a "
         "Unix link",
         1252,
         [&](CMemoryHost& h) {
             h.AddDirectory("C:\\outside\\empty");
             h.AddUnixLink(tree + "link", "C:\\outside\\empty");
         },
         {"link\\"}},
        {"folders at the depths where the walk stops entering (256) and emptying (259)",
         1252,
         [&](CMemoryHost& h) {
             // The tree's own path has 12 characters.
             for (char c : {'a', 'b', 'c', 'd'})
                 h.AddFile(tree +
                           std::string(c == 'a'   ? 242
                                       : c == 'b' ? 243
                                       : c == 'c' ? 245
                                                  : 246,
                                       c) +
                           (c < 'c' ? "\\s\\in.txt" : "\\in.txt"));
         },
         {std::string(243, 'b') + "\\", std::string(243, 'b') + "\\s\\",
          std::string(243, 'b') + "\\s\\in.txt", std::string(246, 'd') + "\\",
          std::string(246, 'd') + "\\in.txt"}},
        {"names read as devices go",
         1252,
         [&](CMemoryHost& h) {
             h.AddFile(tree + "nul.txt");
             h.AddFile(tree + "plain\\COM1");
             h.AddFile(tree + "plain\\Aux .tar.gz");
             h.AddFile(tree + "conin$");
             h.AddFile(tree + "conout$.d\\in.txt");
             h.AddDirectory(tree + "CON");
         },
         {}},
        {"a file that may be deleted but not read, an empty folder that may not be entered",
         1252,
         [&](CMemoryHost& h) {
             h.AddFile(tree + "plain\\secret");
             h.Deny(tree + "plain\\secret", FILE_READ_DATA);
             h.AddDirectory(tree + "unlisted");
             h.Deny(tree + "unlisted", FILE_LIST_DIRECTORY);
             h.AddDirectory(tree + "closed");
             h.Deny(tree + "closed", FILE_LIST_DIRECTORY | FILE_TRAVERSE);
         },
         {}},
        {"a folder named as a device is not entered, its name read up to the first dot; COM0 "
         "and LPT0 are plain names",
         1252,
         [&](CMemoryHost& h) {
             for (const char* name : {"com0", "LPT0.d", "lpt1", "aux .d", "nul", "prn", "aux.x.d",
                                      "COM1.tar", "lpt9 .d"})
                 h.AddFile(tree + name + "\\in.txt");
         },
         {"COM1.tar\\", "COM1.tar\\in.txt", "aux .d\\", "aux .d\\in.txt", "aux.x.d\\",
          "aux.x.d\\in.txt", "lpt1\\", "lpt1\\in.txt", "lpt9 .d\\", "lpt9 .d\\in.txt", "nul\\",
          "nul\\in.txt", "prn\\", "prn\\in.txt"}},
        {"double-byte name with a backslash byte goes",
         932,
         [&](CMemoryHost& h) { h.AddFile(tree + so + "\\in.txt"); },
         {}},
    };
    for (const auto& c : cases) {
        CMemoryHost h;
        CInstallApp a(h);
        h.m_listOrder = GetParam();
        h.SetCodePage(c.codePage);
        h.m_strCurrentDir = "C:\\work";
        h.AddFile("C:\\work\\keep.txt", "mine");
        h.AddFile("C:\\outside\\sub\\in.txt", "theirs");
        h.AddFile("C:\\outside\\f", "theirs");
        h.AddFile(tree + "plain\\in.txt");
        c.setUp(h);
        const Paths outside = Outside(h);
        a.DeleteTree("tree", "*.*");
        EXPECT_EQ(c.remain, h.Tree("C:\\work\\tree")) << c.name;
        EXPECT_EQ(!c.remain.empty(), h.Exists("C:\\work\\tree")) << c.name;
        EXPECT_EQ(outside, Outside(h)) << c.name;
        EXPECT_EQ(0, h.m_nOpenHandles) << c.name;
    }
}

// Someone swaps an entry for a junction to a folder outside between two of the walk's
// calls, and may undo it again at the next one. A folder the walk is working on is held and
// cannot be swapped, nor can a file it has opened to delete; what is not held can be, and
// the walk never follows it.
TEST_P(DeleteTest, EntrySwappedBetweenTwoCallsNeverLeadsOut) {
    struct {
        const char* name;
        const char* before; // the call before which the swap is tried
        const char* entry;
        bool inPlace; // made a junction where it stands instead of being renamed away
        bool swapped; // whether the swap can succeed
        bool undone;  // turned back into a folder before the next call
    } cases[] = {
        {"folder, after its check", "NtQueryDirectoryFile sub", "C:\\work\\tree\\sub", false, false,
         false},
        {"the tree, while a folder in it is walked", "NtOpenFile deeper", "C:\\work\\tree", false,
         false, false},
        {"folder, before its check", "NtOpenFile sub", "C:\\work\\tree\\sub", false, true, false},
        {"empty folder, after its check, in place", "NtQueryDirectoryFile empty",
         "C:\\work\\tree\\empty", true, true, false},
        {"a folder turned into a junction and back between entering and checking",
         "NtOpenFile empty", "C:\\work\\tree\\empty", true, true, true},
        {"file, between its check and its deletion", "NtSetInformationFile f", "C:\\work\\tree\\f",
         false, false, false},
    };
    for (const auto& c : cases) {
        CMemoryHost h;
        CInstallApp a(h);
        h.m_listOrder = GetParam();
        h.m_strCurrentDir = "C:\\work";
        h.AddFile("C:\\work\\tree\\sub\\deeper\\in.txt");
        h.AddFile("C:\\work\\tree\\f");
        h.AddDirectory("C:\\work\\tree\\empty");
        h.AddFile("C:\\outside\\f", "theirs");
        h.AddFile("C:\\outside\\deeper\\in.txt", "theirs");
        h.AddFile("C:\\outside\\sub\\in.txt", "theirs");
        const Paths outside = h.Tree("C:\\outside");
        bool bTried = false;
        bool bSwapped = false;
        bool bUndo = false;
        h.m_beforeFileCall = [&](const std::string& call) {
            if (bUndo) {
                bUndo = false;
                h.AddDirectory(c.entry);
            }
            if (bTried || call != c.before)
                return;
            bTried = true;
            bSwapped = c.inPlace || h.MoveEntry(c.entry, "C:\\work\\moved");
            if (bSwapped)
                h.AddLink(c.entry, "C:\\outside");
            bUndo = bSwapped && c.undone;
        };
        a.DeleteTree("tree", "*.*");
        EXPECT_TRUE(bTried) << c.name;
        EXPECT_EQ(c.swapped, bSwapped) << c.name;
        EXPECT_EQ(outside, h.Tree("C:\\outside")) << c.name;
        // What took a folder's name before the walk opened it is not what the listing said,
        // and stays; all else goes.
        EXPECT_EQ(c.swapped && std::strncmp(c.before, "NtOpenFile", 10) == 0, h.Exists(c.entry))
            << c.name;
        EXPECT_EQ(0, h.m_nOpenHandles) << c.name;
    }
}

std::string OrderName(const ::testing::TestParamInfo<CMemoryHost::ListOrder>& info) {
    switch (info.param) {
    case CMemoryHost::ListOrder::Reversed:
        return "Reversed";
    case CMemoryHost::ListOrder::Sorted:
        return "Sorted";
    default:
        return "Insertion";
    }
}
INSTANTIATE_TEST_SUITE_P(ListOrders, DeleteTest,
                         ::testing::Values(CMemoryHost::ListOrder::Insertion,
                                           CMemoryHost::ListOrder::Reversed,
                                           CMemoryHost::ListOrder::Sorted),
                         OrderName);
} // namespace
