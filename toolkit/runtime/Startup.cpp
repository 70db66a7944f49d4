// InitHalvex: COM start-up, class-object registration and the tick.
#include <new>

#include "runtime/TickThread.h"
#include "runtime/ToolkitState.h"
#include "server/ClassFactory.h"
#include "server/InterfaceAnchors.h"

namespace halvex {

BOOL StartToolkit(CLSID clsid, UINT rateMs) {
    ToolkitState &state = Toolkit();
    if (state.initialised) return FALSE;

    // The tick thread gets a security descriptor with a null DACL.
    static SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES security = {sizeof security, &descriptor, TRUE};

    state.comInitialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE,
                         RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);

    IMalloc *malloc = nullptr;
    if (FAILED(CoGetMalloc(MEMCTX_TASK, &malloc))) {
        CoUninitialize();
        return FALSE;
    }
    state.taskMalloc = malloc;
    CoFileTimeNow(&state.startTime);

    // Before any client can arrive: no interface's registration may lapse.
    AnchorInterfaces();
    state.classFactory = new (std::nothrow) ClassFactory();
    if (state.classFactory) {
        CoRegisterClassObject(clsid, state.classFactory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                              &state.registrationCookie);
    }

    state.tickRateMs = rateMs < 10 ? 10 : rateMs;
    if (state.comInitialized) {
        state.fallbackTimer = 0;
        StartTickThread(&security);
    } else {
        state.fallbackTimer = StartFallbackTimer(state.tickRateMs);
    }
    state.initialised = TRUE;
    return TRUE;
}

}  // namespace halvex
