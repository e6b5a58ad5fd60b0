// libFuzzer entry point; HALVERN_FUZZ_TARGET picks the target at build time.
#include "DeviceFuzzTargets.h"
#include "ProtocolFuzzTargets.h"
#include "ShellFuzzTargets.h"
#include "SkinFuzzTargets.h"
#include "StorageFuzzTargets.h"
#include "ToolFuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    halvern::fuzz::HALVERN_FUZZ_TARGET(data, size);
    return 0;
}
