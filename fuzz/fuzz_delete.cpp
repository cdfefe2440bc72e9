// Fuzzes the tree delete over random in-memory trees with junctions that lead out of the
// tree, back into it or nowhere, names that Win32 reads as other entries or as devices, and
// an entry swapped for a junction between two of the walk's calls: nothing outside the tree
// may change, no handle may stay open, and a tree with nothing locked, odd or swapped in it
// must go entirely.
#include "fuzz/FuzzSupport.h"

#include <algorithm>

namespace {
const char WORK[] = "C:\\work";
const char TREE[] = "C:\\work\\tree";
const char MOVED[] = "C:\\work\\moved";
const char* const PATTERNS[] = {"*.*", "*", "*.txt", "a*", "?*", "*a*"};
const char* const OUTSIDE[] = {"C:\\",        "C:\\work",   "C:\\outside", "C:\\outside\\deep",
                               "C:\\WINDOWS", "C:\\missing"};
// Names Win32 reads as the folder itself, its parent or a sibling.
const char* const ODD_NAMES[] = {"...", ". ", ".. ", "a.", "a ", "b. .", "..  "};
// Names with full-width backslashes, which the ANSI listing shows as "\\": a way out, if
// handed back.
const char16_t* const LISTED_AS[] = {u"..\uFF3C..\uFF3Coutside", u"..\uFF3C..",
                                     u"..\uFF3C..\uFF3CWINDOWS", u"a\uFF3C..\uFF3C.."};
// Names Win32 reads as devices wherever they stand; a file or an empty folder of such a
// name still goes.
const char* const DEVICE_NAMES[] = {"nul",    "CON.txt", "com1",  "Lpt9.tar.gz",
                                    "aux .x", "PRN",     "conin$"};

enum Mode { RELATIVE_FROM_WORK, FULL_FROM_WORK, FULL_FROM_ELSEWHERE, MODE_COUNT };

// A name that starts with a letter (so never "." or "..") and holds neither separators
// nor wildcard characters; it may end in a dot or a blank.
std::string NextName(FuzzedDataProvider& input, size_t nMaxLength) {
    static const char LETTERS[] = "aAbB";
    static const char TAIL[] = "aAbB.-_ ~$0\x81\x83\xE0\xFC";
    std::string name(1, LETTERS[input.ConsumeIntegralInRange<size_t>(0, sizeof(LETTERS) - 2)]);
    size_t nLength = input.ConsumeIntegralInRange<size_t>(0, nMaxLength);
    for (size_t i = 0; i < nLength; ++i)
        name += TAIL[input.ConsumeIntegralInRange<size_t>(0, sizeof(TAIL) - 2)];
    return name;
}

template <typename T, size_t N> T Pick(FuzzedDataProvider& input, T const (&names)[N]) {
    return names[input.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

bool Below(const std::string& entry, const std::string& top) {
    return entry.compare(0, top.size(), top) == 0;
}

// Everything on drive C: outside the tree, and outside where a swap puts what it moves.
std::vector<std::string> Outside(CMemoryHost& host) {
    std::vector<std::string> all = host.Tree("C:\\");
    all.erase(std::remove_if(all.begin(), all.end(),
                             [](const std::string& e) {
                                 return e == "work\\tree\\" || Below(e, "work\\tree\\") ||
                                        Below(e, "work\\moved");
                             }),
              all.end());
    return all;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const Mode mode = static_cast<Mode>(input.ConsumeIntegralInRange<int>(0, MODE_COUNT - 1));
    const char* pszPattern = Pick(input, PATTERNS);
    // The swap: before which of the walk's file calls (0: none), and how.
    const size_t nSwapAt = input.ConsumeIntegralInRange<size_t>(0, 40);
    const bool bInPlace = input.ConsumeBool();

    CMemoryHost host;
    host.AddDirectory(TREE);
    host.AddFile("C:\\work\\keep.txt", "mine");
    host.AddFile("C:\\outside\\deep\\data.txt", "theirs");
    host.AddFile("C:\\outside\\a.txt", "theirs", FILE_ATTRIBUTE_HIDDEN);

    std::vector<std::string> dirs = {TREE};
    std::vector<std::string> entries = {TREE};
    bool bLeft = false; // something the walk must leave: read-only, or an odd name
    size_t nLongest = sizeof(TREE) - 1;
    while (input.remaining_bytes() > 0 && dirs.size() < 200) {
        const int op = input.ConsumeIntegralInRange<int>(0, 7);
        const std::string parent = dirs[input.ConsumeIntegralInRange<size_t>(0, dirs.size() - 1)];
        std::string name = op == 5   ? Pick(input, ODD_NAMES)
                           : op == 7 ? Pick(input, DEVICE_NAMES)
                                     : NextName(input, op == 4 ? 120 : 12);
        std::string path = parent + "\\" + name;
        if (op != 6 && host.Exists(path))
            continue;
        if (name.back() == '.' || name.back() == ' ')
            bLeft = true;
        switch (op) {
        case 0: {
            const DWORD attributes = input.ConsumeIntegralInRange<DWORD>(0, 7) |
                                     FILE_ATTRIBUTE_ARCHIVE; // read-only, hidden, system
            host.AddFile(path, "x", attributes);
            bLeft = bLeft || (attributes & FILE_ATTRIBUTE_READONLY);
            break;
        }
        case 1:
        case 4:
        case 5:
            host.AddDirectory(path);
            dirs.push_back(path);
            break;
        case 2: {
            // A junction out of the tree, back into it, to its own parent, or to nothing.
            std::vector<std::string> targets(std::begin(OUTSIDE), std::end(OUTSIDE));
            targets.insert(targets.end(), dirs.begin(), dirs.end());
            host.AddLink(path,
                         targets[input.ConsumeIntegralInRange<size_t>(0, targets.size() - 1)]);
            break;
        }
        case 3: {
            const std::string other = "C:\\outside\\" + NextName(input, 12);
            if (!host.Exists(other))
                host.AddFile(other, "theirs");
            path.clear();
            break;
        }
        case 6:
            host.AddListedAs(parent, Pick(input, LISTED_AS));
            bLeft = true;
            path.clear();
            break;
        case 7:
            if (input.ConsumeBool())
                host.AddFile(path, "x");
            else
                host.AddDirectory(path);
            break;
        }
        if (!path.empty())
            entries.push_back(path);
        nLongest = std::max(nLongest, path.size());
    }

    // Before the chosen call, an entry of the tree is renamed away and a junction out takes
    // its place, or an empty folder becomes a junction where it stands.
    const std::string victim = entries[nSwapAt % entries.size()];
    const bool bVictimIsFolder = std::find(dirs.begin(), dirs.end(), victim) != dirs.end();
    const std::string target = OUTSIDE[nSwapAt % (sizeof(OUTSIDE) / sizeof(*OUTSIDE))];
    size_t nCalls = 0;
    bool bSwapped = false;
    host.m_beforeFileCall = [&](const std::string&) {
        if (++nCalls != nSwapAt)
            return;
        if (bInPlace) {
            bSwapped = bVictimIsFolder && host.Exists(victim) && host.Tree(victim).empty();
        } else {
            bSwapped = host.MoveEntry(victim, MOVED);
        }
        if (bSwapped)
            host.AddLink(victim, target);
    };

    const bool bRelative = mode == RELATIVE_FROM_WORK;
    host.m_strCurrentDir = mode == FULL_FROM_ELSEWHERE ? "C:\\outside\\deep" : WORK;
    const std::vector<std::string> outsideBefore = Outside(host);

    CInstallApp app(host);
    app.DeleteTree(bRelative ? "tree" : TREE, pszPattern);

    FUZZ_CHECK(Outside(host) == outsideBefore);
    FUZZ_CHECK(host.m_nOpenHandles == 0);

    // With every entry matched, nothing to leave, no swap and every path short enough to
    // be a current directory, the walk reaches everything.
    const bool bAll = std::strcmp(pszPattern, "*.*") == 0 || std::strcmp(pszPattern, "*") == 0;
    if (bAll && !bLeft && !bSwapped && nLongest < 250) {
        if (bRelative)
            FUZZ_CHECK(!host.Exists(TREE));
        else
            FUZZ_CHECK(host.Tree(TREE).empty());
    }
    return 0;
}
