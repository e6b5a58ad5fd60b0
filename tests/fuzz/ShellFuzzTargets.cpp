#include "ShellFuzzTargets.h"

#include <string>
#include <string_view>

#include "FuzzRequire.h"
#include "app/SingleInstance.h"

namespace halvern::fuzz {

void SingleInstanceLineInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view sent(reinterpret_cast<const char*>(data), size);
    const auto cap = static_cast<std::size_t>(SingleInstance::kMaxRequestBytes);
    // The socket may hand the bytes over in any split, so the answer for every prefix
    // counts: once one is decided it stays decided, and past the cap all is refused.
    PeerMessage decided;
    for (std::size_t n = 0; n <= size; ++n) {
        const PeerMessage m = ReadPeerRequest(QByteArrayView(sent.data(), static_cast<qsizetype>(n)));
        if (n > cap) {
            Require(m.request == PeerRequest::Refused, "no more than a request's worth is buffered");
            break;
        }
        if (decided.request != PeerRequest::Incomplete) Require(m == decided, "a decision stands as more bytes come");
        decided = m;
        // Only the request line activates the running copy, with the token it carries,
        // and only a line decides.
        if (m.request == PeerRequest::Activate) {
            const std::string_view line = sent.substr(0, sent.find('\n') + 1);
            const std::string expected = m.token.isEmpty() ? "activate\n" : "activate " + m.token.toStdString() + "\n";
            Require(line == expected, "the activate line");
            Require(m.token.isEmpty() || IsActivationToken(m.token), "a token as tokens are");
        } else {
            Require(m.token.isEmpty(), "a token only with an activation");
        }
        const bool hasLine = sent.substr(0, n).find('\n') != std::string_view::npos;
        Require(hasLine == (m.request != PeerRequest::Incomplete), "a whole line decides");
    }
}

}  // namespace halvern::fuzz
