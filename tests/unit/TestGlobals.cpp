// The unit tests' own copy of the process-wide pointer; each test sets it from its host.
#include "setup/InstallApp.h"

PFN_ISWOW64PROCESS g_pfnIsWow64Process = nullptr;
