// hdasetup.exe's version information as Windows' own API reads it: what Properties and
// Details, and inventory tools, show of the exe on a disc. Windows build only; the exe lies
// one folder above this test program.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {
std::string ExePath() {
    char szPath[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    std::string path = szPath;
    path.erase(path.rfind('\\')); // the test program's name
    path.erase(path.rfind('\\')); // its folder
    return path + "\\hdasetup.exe";
}

class VersionInfo : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = ExePath();
        DWORD dwHandle = 0;
        const DWORD dwSize = ::GetFileVersionInfoSizeA(path.c_str(), &dwHandle);
        ASSERT_NE(0u, dwSize) << path << ": no version information, error " << ::GetLastError();
        m_block.resize(dwSize);
        ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, dwSize, m_block.data())) << path;
    }

    // The value at sSubBlock and its length as VerQueryValueA gives them, or nullptr.
    const void* Query(const std::string& sSubBlock, UINT* pnLen) {
        void* pValue = nullptr;
        *pnLen = 0;
        if (!::VerQueryValueA(m_block.data(), sSubBlock.c_str(), &pValue, pnLen))
            return nullptr;
        return pValue;
    }

    std::vector<char> m_block;
};

// The four numbers of the project's version text, missing parts as 0.
struct CVersionNumbers {
    unsigned major = 0, minor = 0, patch = 0, tweak = 0;
};
CVersionNumbers ProjectVersionNumbers() {
    CVersionNumbers v;
    std::sscanf(HDA_VERSION, "%u.%u.%u.%u", &v.major, &v.minor, &v.patch, &v.tweak);
    return v;
}
} // namespace

// The numbers Explorer shows as "File version" and that installers compare, the kind of file,
// and the one language and code page the strings are given in (US English, 1252).
TEST_F(VersionInfo, FixedPartAndTranslationMatchTheProject) {
    UINT nLen = 0;
    const auto* pFixed = static_cast<const VS_FIXEDFILEINFO*>(Query("\\", &nLen));
    ASSERT_NE(nullptr, pFixed);
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), nLen);
    EXPECT_EQ(0xFEEF04BDu, pFixed->dwSignature);
    const CVersionNumbers v = ProjectVersionNumbers();
    const DWORD dwMs = MAKELONG(v.minor, v.major), dwLs = MAKELONG(v.tweak, v.patch);
    EXPECT_EQ(dwMs, pFixed->dwFileVersionMS);
    EXPECT_EQ(dwLs, pFixed->dwFileVersionLS);
    EXPECT_EQ(dwMs, pFixed->dwProductVersionMS);
    EXPECT_EQ(dwLs, pFixed->dwProductVersionLS);
    EXPECT_EQ(0u, pFixed->dwFileFlags & pFixed->dwFileFlagsMask) << "debug or pre-release flags";
    EXPECT_EQ(static_cast<DWORD>(VOS_NT_WINDOWS32), pFixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), pFixed->dwFileType);

    const auto* pTranslation = static_cast<const WORD*>(Query("\\VarFileInfo\\Translation", &nLen));
    ASSERT_NE(nullptr, pTranslation);
    ASSERT_EQ(2 * sizeof(WORD), nLen);
    EXPECT_EQ(0x0409, pTranslation[0]);
    EXPECT_EQ(1252, pTranslation[1]);
}

// Each string of the US English block, exactly; the version strings are the project's.
TEST_F(VersionInfo, StringsAreTheProjectsInUsEnglish) {
    const struct {
        const char* name;
        const char* expected;
    } strings[] = {
        {"FileDescription", "High Definition Audio set-up for driver discs"},
        {"FileVersion", HDA_VERSION},
        {"InternalName", "hdasetup"},
        {"OriginalFilename", "hdasetup.exe"},
        {"ProductName", "hdasetup"},
        {"ProductVersion", HDA_VERSION},
    };
    for (const auto& s : strings) {
        UINT nLen = 0;
        const auto* pValue = static_cast<const char*>(
            Query(std::string("\\StringFileInfo\\040904E4\\") + s.name, &nLen));
        ASSERT_NE(nullptr, pValue) << s.name << " missing";
        // What was read back, for the record (--gtest_output=xml).
        RecordProperty(s.name, pValue);
        EXPECT_STREQ(s.expected, pValue) << s.name;
    }
}
