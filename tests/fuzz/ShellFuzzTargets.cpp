#include "ShellFuzzTargets.h"

#include <string_view>

#include "FuzzRequire.h"
#include "app/SingleInstance.h"

namespace halvern::fuzz {

void SingleInstanceLineInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view sent(reinterpret_cast<const char*>(data), size);
    const auto cap = static_cast<std::size_t>(SingleInstance::kMaxRequestBytes);
    // The socket may hand the bytes over in any split, so the answer for every prefix
    // counts: once one is decided it stays decided, and past the cap all is refused.
    PeerRequest decided = PeerRequest::Incomplete;
    for (std::size_t n = 0; n <= size; ++n) {
        const PeerRequest r = ReadPeerRequest(QByteArrayView(sent.data(), static_cast<qsizetype>(n)));
        if (n > cap) {
            Require(r == PeerRequest::Refused, "no more than a request's worth is buffered");
            break;
        }
        if (decided != PeerRequest::Incomplete) Require(r == decided, "a decision stands as more bytes come");
        decided = r;
        // Only the exact request activates the running copy, and only a line decides.
        if (r == PeerRequest::Activate) Require(sent.substr(0, 9) == "activate\n", "the activate line");
        const bool hasLine = sent.substr(0, n).find('\n') != std::string_view::npos;
        Require(hasLine == (r != PeerRequest::Incomplete), "a whole line decides");
    }
}

}  // namespace halvern::fuzz
