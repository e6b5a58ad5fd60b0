// The C entry points of Hook.so; see halvern_abi.h for their contract.
#define HALVERN_HOOK_LIBRARY
#include "halvern_abi.h"

#include "GlobalHook.h"

using halvern::hook::GlobalHook;

extern "C" {

// The library watches keyboard and mouse through one listener; installhook starts it.
int installmousehook(const HalvernHostWindow*) { return 0; }

int removemousehook(void) {
    GlobalHook::instance().enableMouse(false);
    return 0;
}

int enablemousehook(int on) {
    GlobalHook::instance().enableMouse(on != 0);
    return 0;
}

int installhook(const HalvernHostWindow* window) { return GlobalHook::instance().install(window); }

int removehook(void) {
    GlobalHook::instance().remove();
    return 0;
}

int enablehook(int on) {
    GlobalHook::instance().enableKeys(on != 0);
    return 0;
}

int mousewheelenable(int on) {
    GlobalHook::instance().enableWheel(on != 0);
    return 0;
}

}  // extern "C"
