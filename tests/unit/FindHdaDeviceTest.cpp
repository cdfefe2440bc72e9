// Finding the codec function in the registry, and the two failure boxes.
#include "tests/unit/Fixture.h"

namespace {
const char SENTINEL[] = "untouched";

class FindTest : public InstallTest {
protected:
    void SetUp() override { Prepare(host, app); }
    static void Prepare(CMemoryHost& h, CInstallApp& a) {
        a.Run(nullptr, ""); // fills the patterns; nothing is registered, so nothing starts
        h.m_boxes.clear();
        h.m_events.clear();
        h.m_enumIndexes.clear();
        std::strcpy(a.m_szDevicePath, SENTINEL);
    }
};

TEST_F(FindTest, FailuresShowTheirBoxAndLeaveTheDevicePath) {
    struct {
        const char* name;
        std::function<void(CMemoryHost&)> setUp;
        bool result;
        const char* box;   // nullptr: none
        size_t enumerated; // RegEnumKeyA calls, the failing one included
    } cases[] = {
        {"no key", [](CMemoryHost& h) { h.m_bHdaKeyExists = false; }, false, "Get keyCount fail !!",
         0},
        {"access refused", [](CMemoryHost& h) { h.m_lOpenError = ERROR_ACCESS_DENIED; }, false,
         "Get keyCount fail !!", 0},
        {"count unreadable",
         [](CMemoryHost& h) {
             h.m_subkeys = {"FUNC_01&VEN_1095&DEV_1390"};
             h.m_lQueryError = ERROR_ACCESS_DENIED;
         },
         true, nullptr, 0},
        {"subkey gone",
         [](CMemoryHost& h) {
             h.m_subkeys = {"FUNC_01&VEN_0000", "FUNC_01&VEN_1095&DEV_1390"};
             h.m_nEnumFailAt = 1;
         },
         false, "Enum Key Fail !!", 2},
        // 255 characters, the registry's own limit, is one more than the buffer holds.
        {"name too long for the buffer",
         [](CMemoryHost& h) {
             h.m_subkeys = {std::string(230, 'A') + "FUNC_01&VEN_1095&DEV_1390"};
         },
         false, "Enum Key Fail !!", 1},
        {"no subkeys", [](CMemoryHost&) {}, true, nullptr, 0},
        {"no pattern",
         [](CMemoryHost& h) {
             h.m_subkeys = {"FUNC_01&VEN_1234&DEV_5678&SUBSYS_00000000&REV_1000",
                            "func_01&ven_1095&dev_1390", "FUNC_02&VEN_1095&DEV_1390",
                            "FUNC_01&VEN_1095&DEV_139"};
         },
         true, nullptr, 4},
    };
    for (auto& c : cases) {
        CMemoryHost h;
        CInstallApp a(h);
        Prepare(h, a);
        c.setUp(h);
        EXPECT_EQ(c.result, a.FindHdaDevice()) << c.name;
        EXPECT_STREQ(SENTINEL, a.m_szDevicePath) << c.name;
        if (c.box == nullptr) {
            EXPECT_TRUE(h.m_boxes.empty()) << c.name;
        } else {
            ASSERT_EQ(1u, h.m_boxes.size()) << c.name;
            EXPECT_EQ(c.box, h.m_boxes[0].text);
            EXPECT_EQ("hdasetup", h.m_boxes[0].caption);
            EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), h.m_boxes[0].type);
        }
        EXPECT_EQ(c.enumerated, h.m_enumIndexes.size()) << c.name;
        EXPECT_EQ(0, h.m_nOpenKeys) << c.name << ": key left open";
    }
}

TEST_F(FindTest, FirstMatchingSubkeyInIndexOrderWins) {
    struct {
        std::vector<std::string> subkeys;
        const char* found;
    } cases[] = {
        {{"FUNC_01&VEN_1234&DEV_5678&SUBSYS_00000000&REV_1000",
          "FUNC_01&VEN_17E8&DEV_0047&SUBSYS_00000000&REV_1000"},
         "HDAUDIO\\FUNC_01&VEN_17E8&DEV_0047&SUBSYS_00000000&REV_1000"},
        {{"FUNC_01&VEN_17E8&DEV_0047&SUBSYS_1", "FUNC_01&VEN_1095&DEV_1390&SUBSYS_2"},
         "HDAUDIO\\FUNC_01&VEN_17E8&DEV_0047&SUBSYS_1"},
        {{"FUNC_01&VEN_1095&DEV_13901"}, "HDAUDIO\\FUNC_01&VEN_1095&DEV_13901"},
        // The longest name the buffer takes is read whole and passed over.
        {{std::string(254, 'N'), "FUNC_01&VEN_1095&DEV_1390"},
         "HDAUDIO\\FUNC_01&VEN_1095&DEV_1390"},
        {{"XYZ FUNC_01&VEN_1095&DEV_1392&SUBSYS_10951392&REV_1000"},
         "HDAUDIO\\XYZ FUNC_01&VEN_1095&DEV_1392&SUBSYS_10951392&REV_1000"},
    };
    for (auto& c : cases) {
        host.m_subkeys = c.subkeys;
        host.m_enumIndexes.clear();
        app.m_szDevicePath[0] = '\0';
        EXPECT_TRUE(app.FindHdaDevice());
        EXPECT_STREQ(c.found, app.m_szDevicePath);
        EXPECT_EQ(0, host.m_nOpenKeys);
    }
    // Nothing after the winner is looked at.
    EXPECT_EQ(std::vector<DWORD>{0}, host.m_enumIndexes);
}

TEST_F(FindTest, DevicePathFillsItsBufferExactlyAndNeverMore) {
    const std::string pattern = "FUNC_01&VEN_1095&DEV_1390";
    const std::string name246 = pattern + std::string(246 - pattern.size(), 'x');
    const std::string name247 = pattern + std::string(247 - pattern.size(), 'y');

    // The fields declared after the device path hold sentinels (no zero in the folder) and are
    // compared by name: a write past it shows without reading past an array. The IDs keep their
    // text, as the scan reads them.
    std::memset(app.m_szExeDir, 'G', EXE_DIR_SIZE);
    app.m_nServicePack = -7;
    const auto fieldsBehind = [this] {
        const char* ids = reinterpret_cast<const char*>(app.m_szHardwareId);
        return std::string(app.m_szExeDir, EXE_DIR_SIZE) +
               std::string(ids, sizeof(app.m_szHardwareId)) + std::to_string(app.m_nServicePack);
    };
    const std::string before = fieldsBehind();
    host.m_subkeys = {name247, name246};
    EXPECT_TRUE(app.FindHdaDevice());
    EXPECT_EQ("HDAUDIO\\" + name246, std::string(app.m_szDevicePath));
    EXPECT_EQ(before, fieldsBehind());

    // Too long to pass on whole: no match, and the scan goes on to the end.
    host.m_subkeys = {name247};
    std::strcpy(app.m_szDevicePath, SENTINEL);
    EXPECT_TRUE(app.FindHdaDevice());
    EXPECT_STREQ(SENTINEL, app.m_szDevicePath);
    EXPECT_EQ(before, fieldsBehind());
}

TEST_F(FindTest, PatternsMatchOnlyAtDoubleByteBoundaries) {
    host.SetCodePage(932);
    // 0x83 takes the F as its trail byte, so the pattern does not begin on a character.
    host.m_subkeys = {"\x83"
                      "FUNC_01&VEN_1095&DEV_1390",
                      "\x83\x83"
                      "FUNC_01&VEN_1095&DEV_1392"};
    EXPECT_TRUE(app.FindHdaDevice());
    EXPECT_STREQ("HDAUDIO\\\x83\x83"
                 "FUNC_01&VEN_1095&DEV_1392",
                 app.m_szDevicePath);
}
} // namespace
