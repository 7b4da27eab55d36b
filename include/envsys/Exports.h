// The two functions the plug-in module exports, undecorated C names (cdecl
// on 32-bit Windows).
#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

#if defined(_WIN32)
#define ENVSYS_EXPORT __declspec(dllexport)
#define ENVSYS_CDECL __cdecl
#else
#define ENVSYS_EXPORT __attribute__((visibility("default")))
#define ENVSYS_CDECL
#endif

extern "C" {
ENVSYS_EXPORT void ENVSYS_CDECL InitDLL(uint32_t param, envsys::ApplicationShell* shell);
ENVSYS_EXPORT void ENVSYS_CDECL ExitDLL();

// Signatures a host uses after looking the names up in the module.
typedef void(ENVSYS_CDECL* InitDllFunction)(uint32_t param, envsys::ApplicationShell* shell);
typedef void(ENVSYS_CDECL* ExitDllFunction)();
}
