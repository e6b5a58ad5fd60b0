// Messages the device layer posts to the main window for itself, beside the ones the
// window already knows (halvern_abi.h). The main window hands every one of them, and
// UM_DRIVER_EVENT and UM_DRIVER_PLUG, to DeviceLink::handleMessage.
#pragma once

#include "halvern_abi.h"

namespace halvern {

// A reader accepted an event: wParam = reader index << 16 | head, lParam = value.
inline constexpr unsigned kUmReaderEvent = HALVERN_WM_USER + 530;
// A reader's first report carried the marker: wParam = reader index, lParam = the
// enumeration it belongs to.
inline constexpr unsigned kUmReaderActive = HALVERN_WM_USER + 531;
// A Bluetooth LE notification: wParam = head, lParam = value.
inline constexpr unsigned kUmBleEvent = HALVERN_WM_USER + 532;

}  // namespace halvern
