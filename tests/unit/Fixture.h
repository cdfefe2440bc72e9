// A fresh installer on a fresh in-memory Windows for each test.
#pragma once

#include "tests/memory/MemoryHost.h"
#include "setup/InstallApp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include <memory>
#include <string>

class InstallTest : public ::testing::Test {
protected:
    InstallTest() { g_pfnIsWow64Process = LookUpIsWow64Process(host); }

    // Runs the program as Windows would start it: the full command line, with the program's
    // quoted path in front of the options.
    int RunProgram(const std::string& options) {
        host.m_strCommandLine = "\"" + host.m_strModulePath + "\" " + options;
        return app.Run(nullptr, CWinApp::SkipProgramName(host.GetCommandLineA()));
    }

    // Re-does the start-up look-up after a test has changed what kernel32 offers.
    void LookUpAgain() { g_pfnIsWow64Process = LookUpIsWow64Process(host); }

    CMemoryHost host;
    CInstallApp app{host};
};
