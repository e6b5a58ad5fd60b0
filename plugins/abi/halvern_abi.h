/* The C interface shared by halvern and the two run-time libraries it loads from its
 * own folder: the cable driver library "hiddriver_2.so" and the global input hook
 * library "Hook.so". Host and libraries agree on nothing but this header.
 *
 * Where Windows handed the libraries a window handle, halvern hands them a pointer to
 * a HalvernHostWindow. A library posts to that window by calling
 * window->post(window->context, message, wParam, lParam) from any thread; the host
 * delivers each posted message on its main thread, in the order posted. The pointer
 * stays valid until the library's matching close/remove entry point has returned.
 *
 * The host loads each library by full path and resolves every entry point by name
 * (dlsym); a missing library or entry point only disables the calls that need it.
 * Entry points have C linkage and the types below; a library declares its functions
 * through the prototypes at the end of this header so that a mismatch fails to build. */
#ifndef HALVERN_ABI_H
#define HALVERN_ABI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Message ids of the main window; the values are part of the contract. */
#define HALVERN_WM_USER 0x0400
#define UM_TRAY_NOTIFY (HALVERN_WM_USER + 1)     /* 0x0401 */
#define UM_MENU_COMMAND (HALVERN_WM_USER + 3)    /* 0x0403 */
#define UM_HOOK_EVENT (HALVERN_WM_USER + 10)     /* 0x040A */
#define UM_ACTIVATE (HALVERN_WM_USER + 13)       /* 0x040D */
#define UM_LINK_CHANGED (HALVERN_WM_USER + 104)  /* 0x0468 */
#define UM_SHOW_DPI (HALVERN_WM_USER + 105)      /* 0x0469 */
#define UM_DRIVER_EVENT (HALVERN_WM_USER + 515)  /* 0x0603 */
#define UM_DRIVER_PLUG (HALVERN_WM_USER + 516)   /* 0x0604 */
#define UM_APPLY_REQUEST (HALVERN_WM_USER + 517) /* 0x0605 */

typedef struct HalvernHostWindow {
    void* context;
    void (*post)(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam);
} HalvernHostWindow;

/* ---- The driver library "hiddriver_2.so" (the cable link) ----
 *
 * Set_VIDPID(vendor, product): the cable device to look for; called once, first.
 * Open_DevMonitor(window, eventMessage, plugMessage): starts watching that device.
 *   From then on the library posts to `window`, from threads of its own:
 *   - plugMessage with wParam 1 when the device is attached (also when it is already
 *     present as the monitor starts) and wParam 0 when it is detached;
 *   - eventMessage for each event report of the device, with wParam = event head
 *     (marker 0xEE in the low byte, event code in the high byte) and lParam = the
 *     16-bit event value.
 * Open_FeatureDevice(): non-zero when the device is present and opened for
 *   SetFeature; Close_FeatureDevice() ends that access.
 * Close_DevMonitor(): stops watching; once it returns nothing more is posted.
 * SetFeature(report, length): writes one feature report (byte 0 the report id);
 *   non-zero when written. May be called from another thread than the others.
 * GetFeature(report, length): reads the feature report whose id is in byte 0; the
 *   host resolves it but does not call it.
 * Results named "not used" by the host are returned as 0. */
#define HALVERN_DRIVER_LIBRARY_NAME "hiddriver_2.so"

typedef int (*HalvernSetVidPidFn)(int vendorId, int productId);
typedef int (*HalvernOpenDevMonitorFn)(const HalvernHostWindow* window, uint32_t eventMessage, uint32_t plugMessage);
typedef int (*HalvernOpenFeatureDeviceFn)(void);
typedef int (*HalvernCloseFeatureDeviceFn)(void);
typedef int (*HalvernCloseDevMonitorFn)(void);
typedef int (*HalvernSetFeatureFn)(const unsigned char* report, int length);
typedef int (*HalvernGetFeatureFn)(unsigned char* report, int length);

/* Optional: the HID access a library uses, supplied by the host.
 *
 * A host that reaches HID devices through something other than the system (the
 * virtual mouse), or that must keep every hidapi call of the process in one place,
 * hands the library this table through Set_HidApi before Set_VIDPID. A library that
 * never receives it uses hidapi's hidraw backend and libudev itself. The table and its
 * context stay valid until Close_DevMonitor has returned.
 *
 * Every function may be called from any thread; calls on one device may overlap only
 * as read_timeout on one thread with send_feature_report or interrupt_read on
 * another. */
typedef struct HalvernHidDeviceInfo {
    char path[256]; /* NUL-terminated; open_path takes it */
    uint16_t vendor_id;
    uint16_t product_id;
    uint16_t usage_page;
    uint16_t usage;
    int32_t bus_type; /* hidapi's hid_bus_type values */
    int32_t interface_number;
} HalvernHidDeviceInfo;

typedef struct HalvernHidApi {
    uint32_t size; /* sizeof(HalvernHidApi) of the host's header */
    void* context;
    /* Writes up to `capacity` collections of vendor:product into `out`; returns how
     * many exist (which may exceed capacity), or -1 on error. */
    int (*enumerate)(void* context, uint16_t vendorId, uint16_t productId, HalvernHidDeviceInfo* out, int capacity);
    /* A device handle for `path`, or NULL. */
    void* (*open_path)(void* context, const char* path);
    void (*close)(void* context, void* device);
    /* hid_read_timeout's contract: bytes read, 0 when nothing came in time, -1 on
     * error (the device is gone). */
    int (*read_timeout)(void* context, void* device, unsigned char* data, size_t length, int milliseconds);
    /* hid_send_feature_report's contract: bytes written or -1. */
    int (*send_feature_report)(void* context, void* device, const unsigned char* data, size_t length);
    /* A descriptor, owned by the caller, that becomes readable whenever a device of
     * this host comes or goes (read and discard 8 bytes to re-arm it); -1 when the
     * library must watch for devices itself. */
    int (*open_change_fd)(void* context);
    /* Makes a read_timeout blocked on another thread return 0 soon; may be NULL, and
     * then the read ends with its time limit. */
    void (*interrupt_read)(void* context, void* device);
} HalvernHidApi;

typedef int (*HalvernSetHidApiFn)(const HalvernHidApi* api);

/* ---- The hook library "Hook.so" (global keyboard and mouse input) ----
 *
 * Between installhook(window) with enablehook(1) and the next removehook() or
 * enablehook(0), the library posts the user's global input to `window` as
 * UM_HOOK_EVENT: wParam = a virtual-key code, or a mouse message id (0x0201, 0x0202,
 * 0x0204, 0x0205, 0x0207, 0x0208, 0x020B, 0x020C); lParam = 0 for a key press and
 * non-zero for a release, or 1 or 2 (which side button) with 0x020B and 0x020C.
 * Outside that span it posts nothing.
 *
 * installhook returns 1 when the library watches the user's input wherever it goes,
 * and 0 when it cannot (no X11 display, or a Wayland session, where X sees nothing
 * typed into Wayland windows); the host then takes the input its own focused window
 * receives instead. Mouse events are off after every installhook until
 * enablemousehook(1). The other results are not used. */
#define HALVERN_HOOK_LIBRARY_NAME "Hook.so"

typedef int (*HalvernInstallMouseHookFn)(const HalvernHostWindow* window);
typedef int (*HalvernRemoveMouseHookFn)(void);
typedef int (*HalvernEnableMouseHookFn)(int on);
typedef int (*HalvernInstallHookFn)(const HalvernHostWindow* window);
typedef int (*HalvernRemoveHookFn)(void);
typedef int (*HalvernEnableHookFn)(int on);
typedef int (*HalvernMouseWheelEnableFn)(int on);

/* Prototypes for the libraries' own definitions, seen only by a library that defines
 * HALVERN_DRIVER_LIBRARY or HALVERN_HOOK_LIBRARY before including this header. The
 * host never calls these names; it resolves them at run time. */
#if defined(HALVERN_DRIVER_LIBRARY) || defined(HALVERN_HOOK_LIBRARY)
#define HALVERN_EXPORT __attribute__((visibility("default")))
#endif

#ifdef HALVERN_DRIVER_LIBRARY
HALVERN_EXPORT int Set_VIDPID(int vendorId, int productId);
HALVERN_EXPORT int Open_DevMonitor(const HalvernHostWindow* window, uint32_t eventMessage, uint32_t plugMessage);
HALVERN_EXPORT int Open_FeatureDevice(void);
HALVERN_EXPORT int Close_FeatureDevice(void);
HALVERN_EXPORT int Close_DevMonitor(void);
HALVERN_EXPORT int SetFeature(const unsigned char* report, int length);
HALVERN_EXPORT int GetFeature(unsigned char* report, int length);
HALVERN_EXPORT int Set_HidApi(const HalvernHidApi* api);
#endif

#ifdef HALVERN_HOOK_LIBRARY
HALVERN_EXPORT int installmousehook(const HalvernHostWindow* window);
HALVERN_EXPORT int removemousehook(void);
HALVERN_EXPORT int enablemousehook(int on);
HALVERN_EXPORT int installhook(const HalvernHostWindow* window);
HALVERN_EXPORT int removehook(void);
HALVERN_EXPORT int enablehook(int on);
HALVERN_EXPORT int mousewheelenable(int on);
#endif

#ifdef __cplusplus
}
#endif

#endif /* HALVERN_ABI_H */
