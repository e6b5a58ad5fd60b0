/* A stand-in hook library that notes the order in which its entry points are called.
 * The test reads the notes through a handle of its own on the module, which keeps it
 * loaded after the host has freed it. */
#define HALVERN_HOOK_LIBRARY
#include "halvern_abi.h"

#include <string.h>

static char calls[1024];

static int note(const char* name) {
    if (strlen(calls) + strlen(name) + 2 < sizeof calls) {
        strcat(calls, name);
        strcat(calls, " ");
    }
    return 0;
}

int installmousehook(const HalvernHostWindow* window) {
    (void)window;
    return note("installmousehook");
}
int removemousehook(void) { return note("removemousehook"); }
int enablemousehook(int on) { return note(on ? "enablemousehook(1)" : "enablemousehook(0)"); }
int installhook(const HalvernHostWindow* window) {
    (void)window;
    return note("installhook");
}
int removehook(void) { return note("removehook"); }
int enablehook(int on) { return note(on ? "enablehook(1)" : "enablehook(0)"); }
int mousewheelenable(int on) { return note(on ? "mousewheelenable(1)" : "mousewheelenable(0)"); }

/* Every call so far, each name followed by a space. */
HALVERN_EXPORT const char* recorded_hook_calls(void) { return calls; }
