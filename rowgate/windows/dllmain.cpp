// The library's entry point. Rowgate holds no state that needs setting up or
// tearing down, and a library must not load others from here, so it only
// says yes to every notification. sqlite3.dll is bound at the first call of
// an export (engine_binding.cpp).

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
