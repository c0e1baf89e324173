// The library's entry point. Rowgate holds no state that needs setting up or
// tearing down, and a library must not load others from here, so it only
// says yes to every notification. sqlite3.dll is bound by import and found
// beside Rowgate.dll through the manifest in Rowgate.rc.

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
