/* The C interface shared by halvern and the two run-time libraries it loads from its
 * own folder: the cable driver library "hiddriver_2.so" and the global input hook
 * library "Hook.so". Host and libraries agree on nothing but this header.
 *
 * Where Windows handed the libraries a window handle, halvern hands them a pointer to
 * a HalvernHostWindow. A library posts to that window by calling
 * window->post(window->context, message, wParam, lParam) from any thread; the host
 * delivers each posted message on its main thread, in the order posted. The pointer
 * stays valid until the library's matching close/remove entry point has returned. */
#ifndef HALVERN_ABI_H
#define HALVERN_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Message ids of the main window; the values are part of the contract. */
#define HALVERN_WM_USER 0x0400
#define UM_TRAY_NOTIFY (HALVERN_WM_USER + 1)      /* 0x0401 */
#define UM_MENU_COMMAND (HALVERN_WM_USER + 3)     /* 0x0403 */
#define UM_HOOK_EVENT (HALVERN_WM_USER + 10)      /* 0x040A */
#define UM_ACTIVATE (HALVERN_WM_USER + 13)        /* 0x040D */
#define UM_LINK_CHANGED (HALVERN_WM_USER + 104)   /* 0x0468 */
#define UM_SHOW_DPI (HALVERN_WM_USER + 105)       /* 0x0469 */
#define UM_APPLY_NOW (HALVERN_WM_USER + 512)      /* 0x0600 */
#define UM_DRIVER_EVENT (HALVERN_WM_USER + 515)   /* 0x0603 */
#define UM_DRIVER_PLUG (HALVERN_WM_USER + 516)    /* 0x0604 */
#define UM_APPLY_REQUEST (HALVERN_WM_USER + 517)  /* 0x0605 */

typedef struct HalvernHostWindow {
    void* context;
    void (*post)(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam);
} HalvernHostWindow;

#ifdef __cplusplus
}
#endif

#endif /* HALVERN_ABI_H */
