// What a host contract test needs besides the host itself: a way to make the world it
// checks (files, registry subkeys, programs, windows) without going through the host.
#pragma once

#include "host/Host.h"

#include <memory>
#include <string>

class CContractWorld {
public:
    virtual ~CContractWorld() = default;

    virtual CHost& Host() = 0;
    // Wine lets a few things pass that Windows refuses; a case says which.
    virtual bool IsWine() = 0;
    // An empty directory of this test's own, as a full path without a trailing backslash.
    virtual std::string Root() = 0;

    // Attributes 0 leave what the system gives a new entry. Paths are taken literally:
    // "sub " and "f." are made with exactly those names.
    virtual void MakeDirectory(const std::string& path, DWORD dwAttributes = 0) = 0;
    virtual void MakeFile(const std::string& path, DWORD dwAttributes = 0) = 0;
    // A second name for an existing file.
    virtual void MakeHardLink(const std::string& path, const std::string& existing) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // Renames an entry as another program would; false when Windows refuses.
    virtual bool MoveEntry(const std::string& from, const std::string& to) = 0;

    // Subkeys of HKLM\SYSTEM\CurrentControlSet\Enum\HDAUDIO; the key starts empty.
    virtual void AddHdaSubkey(const std::string& name) = 0;
    virtual void ClearHdaSubkeys() = 0;

    // A command line for CreateProcessA: a GUI program, as the disc's helper is, that runs
    // dwMs from its start and then ends with dwExitCode. Its start-up takes dwReadyMs; then
    // it first waits for input, with a hidden top-level window titled title.
    virtual std::string ProgramCommand(DWORD dwMs, DWORD dwExitCode, DWORD dwReadyMs,
                                       const std::string& title) = 0;
    // The clock the host's waits take their time on, in milliseconds.
    virtual DWORD Milliseconds() = 0;

    // A top-level window without WS_VISIBLE, owned by someone other than the host.
    virtual void OpenHiddenWindow(const std::string& title) = 0;
    virtual void CloseWindow(const std::string& title) = 0;
};

// The world of the side this test program is built for.
std::unique_ptr<CContractWorld> MakeContractWorld();
