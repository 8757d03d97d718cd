// The DLL needs no work at attach: everything starts from the host's call to SFSEPlugin_Load.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
