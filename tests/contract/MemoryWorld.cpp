// The contract world on the in-memory Windows: every precondition is scripted into a
// fresh CMemoryHost, whose virtual clock the waits of the tests move.
#include "tests/contract/ContractWorld.h"
#include "tests/memory/MemoryHost.h"

#include <cstdint>

namespace {
const char ROOT[] = "C:\\hda-contract";

class CMemoryWorld : public CContractWorld {
public:
    // The test program runs in its scratch folder: a current directory longer than a root.
    CMemoryWorld() {
        m_host.AddDirectory(ROOT);
        m_host.m_strCurrentDir = ROOT;
    }

    CHost& Host() override { return m_host; }
    bool IsWine() override { return false; }
    std::string Root() override { return ROOT; }

    void MakeDirectory(const std::string& path, DWORD dwAttributes) override {
        m_host.AddDirectory(path, dwAttributes);
    }
    void MakeFile(const std::string& path, DWORD dwAttributes) override {
        m_host.AddFile(path, "x", dwAttributes);
    }
    void MakeHardLink(const std::string& path, const std::string& existing) override {
        m_host.AddHardLink(path, existing);
    }
    bool Exists(const std::string& path) override { return m_host.Exists(path); }
    bool MoveEntry(const std::string& from, const std::string& to) override {
        return m_host.MoveEntry(from, to);
    }

    void AddHdaSubkey(const std::string& name) override { m_host.AddSubkey(name); }
    void ClearHdaSubkeys() override { m_host.m_subkeys.clear(); }

    std::string ProgramCommand(DWORD dwMs, DWORD dwExitCode, DWORD dwReadyMs,
                               const std::string& title) override {
        const std::string path = "C:\\programs\\" + std::to_string(++m_nPrograms) + ".exe";
        m_host.AddProgram(path, dwMs, dwExitCode, title, dwMs, dwReadyMs);
        return path;
    }
    DWORD Milliseconds() override { return static_cast<DWORD>(m_host.m_now); }

    void OpenHiddenWindow(const std::string& title) override {
        m_host.AddWindow(title, m_host.m_now, UINT64_MAX);
    }
    void CloseWindow(const std::string& title) override { m_host.EndWindow(title); }

private:
    CMemoryHost m_host;
    int m_nPrograms = 0;
};
} // namespace

std::unique_ptr<CContractWorld> MakeContractWorld() {
    return std::unique_ptr<CContractWorld>(new CMemoryWorld);
}
