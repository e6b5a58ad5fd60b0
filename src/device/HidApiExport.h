// Hands the process's HID interface to a run-time library as the C table of
// halvern_abi.h (Set_HidApi), so that the cable driver library reaches devices the way
// the host does: through hidapi serialised with the host's own calls on hardware, and
// through the virtual mouse in tests and demos.
#pragma once

#include "device/HidBackend.h"
#include "halvern_abi.h"

namespace halvern {

class HidApiExport {
public:
    explicit HidApiExport(HidBackend& backend);
    HidApiExport(const HidApiExport&) = delete;
    HidApiExport& operator=(const HidApiExport&) = delete;

    // Valid while this object lives.
    const HalvernHidApi* table() const { return &table_; }

private:
    HidBackend& backend_;
    HalvernHidApi table_{};
};

}  // namespace halvern
