// Library load and unload.
#include <windows.h>

#include "runtime/ToolkitState.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        halvex::Toolkit().OnLoad();
        break;
    case DLL_PROCESS_DETACH:
        // A non-null reserved pointer means the process is ending: its other
        // threads are gone, possibly holding COM's locks, so the unload makes
        // no calls into COM then.
        halvex::Toolkit().OnUnload(reserved == nullptr);
        break;
    default:
        break;
    }
    return TRUE;
}
