#include "GattServer.h"

#include <algorithm>

namespace halvern::kernel {

namespace {

std::uint16_t Le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

void PutLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// A UUID in a request, two bytes or sixteen; a 128-bit one counts only when it is a
// 16-bit one on the Bluetooth base UUID.
std::optional<std::uint16_t> ShortUuid(std::span<const std::uint8_t> uuid) {
    static constexpr std::uint8_t kBase[16] = {0xFB, 0x34, 0x9B, 0x5F, 0x80, 0x00, 0x00, 0x80,
                                               0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    if (uuid.size() == 2) return Le16(uuid, 0);
    if (uuid.size() != 16) return std::nullopt;
    for (std::size_t i = 0; i < 16; ++i)
        if (i != 12 && i != 13 && uuid[i] != kBase[i]) return std::nullopt;
    return Le16(uuid, 12);
}

// The requested handle range, or the handle to name in the error.
struct Range {
    std::uint16_t start, end;
    bool valid() const { return start != 0 && start <= end; }
};

constexpr std::size_t kPrepareQueueLimit = 128;

}  // namespace

std::uint16_t GattServer::add(Attribute a) {
    attributes_.push_back(std::move(a));
    const auto handle = static_cast<std::uint16_t>(attributes_.size());
    for (auto it = attributes_.rbegin(); it != attributes_.rend(); ++it)
        if (it->type == gatt::kPrimaryService) {
            it->groupEnd = handle;
            break;
        }
    return handle;
}

const GattServer::Attribute* GattServer::at(std::uint16_t handle) const {
    if (handle == 0 || handle > attributes_.size()) return nullptr;
    return &attributes_[handle - 1u];
}

void GattServer::addService(std::uint16_t uuid) {
    Attribute a{gatt::kPrimaryService, {}};
    PutLe16(a.value, uuid);
    add(std::move(a));
}

std::uint16_t GattServer::addCharacteristic(std::uint16_t uuid, std::uint8_t properties,
                                            std::vector<std::uint8_t> value, WriteHandler onWrite) {
    const auto valueHandle = static_cast<std::uint16_t>(attributes_.size() + 2);
    Attribute declaration{gatt::kCharacteristic, {properties}};
    PutLe16(declaration.value, valueHandle);
    PutLe16(declaration.value, uuid);
    add(std::move(declaration));
    Attribute v{uuid, std::move(value)};
    v.readable = (properties & gatt::kRead) != 0;
    v.writable = (properties & gatt::kWrite) != 0;
    v.writableWithoutResponse = (properties & gatt::kWriteWithoutResponse) != 0;
    v.onWrite = std::move(onWrite);
    add(std::move(v));
    if (properties & (gatt::kNotify | gatt::kIndicate)) {
        Attribute ccc{gatt::kClientConfiguration, {0, 0}};
        ccc.writable = true;
        add(std::move(ccc));
    }
    return valueHandle;
}

void GattServer::addDescriptor(std::uint16_t uuid, std::vector<std::uint8_t> value) { add({uuid, std::move(value)}); }

GattServer::Pdu GattServer::error(std::uint8_t request, std::uint16_t handle, std::uint8_t code) const {
    Pdu out{att::kErrorResponse, request};
    PutLe16(out, handle);
    out.push_back(code);
    return out;
}

std::optional<GattServer::Pdu> GattServer::receive(std::span<const std::uint8_t> pdu) {
    if (pdu.empty()) return std::nullopt;
    const std::uint8_t op = pdu[0];
    // Sizes each request must have at least (opcode included); exactly, where fixed.
    auto sized = [&](std::size_t least, bool exact = false) {
        return exact ? pdu.size() == least : pdu.size() >= least;
    };
    switch (op) {
        case att::kExchangeMtuRequest: {
            if (!sized(3, true)) return error(op, 0, att::kInvalidPdu);
            Pdu out{att::kExchangeMtuResponse};
            PutLe16(out, att::kMtu);
            return out;
        }
        case att::kFindInformationRequest:
            return sized(5, true) ? findInformation(pdu) : error(op, 0, att::kInvalidPdu);
        case att::kFindByTypeValueRequest: return sized(7) ? findByTypeValue(pdu) : error(op, 0, att::kInvalidPdu);
        case att::kReadByTypeRequest:
            return sized(7, true) || sized(21, true) ? readByType(pdu) : error(op, 0, att::kInvalidPdu);
        case att::kReadRequest:
        case att::kReadBlobRequest:
            return sized(op == att::kReadRequest ? 3 : 5, true) ? read(pdu) : error(op, 0, att::kInvalidPdu);
        case att::kReadByGroupTypeRequest:
            return sized(7, true) || sized(21, true) ? readByGroupType(pdu) : error(op, 0, att::kInvalidPdu);
        case att::kWriteRequest: {
            if (!sized(3)) return error(op, 0, att::kInvalidPdu);
            const std::uint16_t handle = Le16(pdu, 1);
            const Attribute* a = at(handle);
            if (!a) return error(op, handle, att::kInvalidHandle);
            if (!a->writable) return error(op, handle, att::kWriteNotPermitted);
            if (std::uint8_t code = write(handle, pdu.subspan(3))) return error(op, handle, code);
            return Pdu{att::kWriteResponse};
        }
        case att::kWriteCommand: {
            if (!sized(3)) return std::nullopt;
            const std::uint16_t handle = Le16(pdu, 1);
            const Attribute* a = at(handle);
            if (a && a->writableWithoutResponse) write(handle, pdu.subspan(3));
            return std::nullopt;
        }
        case att::kPrepareWriteRequest: return sized(5) ? prepareWrite(pdu) : error(op, 0, att::kInvalidPdu);
        case att::kExecuteWriteRequest: return sized(2, true) ? executeWrite(pdu) : error(op, 0, att::kInvalidPdu);
        default:
            // Commands (bit 6) and confirmations go unanswered; other requests are not
            // supported.
            if ((op & 0x40) || op == 0x1E || (op & 1)) return std::nullopt;
            return error(op, 0, att::kRequestNotSupported);
    }
}

std::uint8_t GattServer::write(std::uint16_t handle, std::span<const std::uint8_t> value) {
    Attribute& a = attributes_[handle - 1u];
    if (a.type == gatt::kClientConfiguration) {
        if (value.size() != 2) return att::kInvalidAttributeValueLength;
        a.value.assign(value.begin(), value.end());
        return 0;
    }
    if (a.onWrite) return a.onWrite(value);
    a.value.assign(value.begin(), value.end());
    return 0;
}

GattServer::Pdu GattServer::findInformation(std::span<const std::uint8_t> pdu) const {
    const Range r{Le16(pdu, 1), Le16(pdu, 3)};
    if (!r.valid()) return error(pdu[0], r.start, att::kInvalidHandle);
    Pdu out{att::kFindInformationResponse, 0x01};  // 16-bit UUIDs
    for (std::uint32_t h = r.start; h <= r.end && h <= attributes_.size() && out.size() + 4 <= att::kMtu; ++h) {
        PutLe16(out, static_cast<std::uint16_t>(h));
        PutLe16(out, attributes_[h - 1].type);
    }
    if (out.size() == 2) return error(pdu[0], r.start, att::kAttributeNotFound);
    return out;
}

GattServer::Pdu GattServer::findByTypeValue(std::span<const std::uint8_t> pdu) const {
    const Range r{Le16(pdu, 1), Le16(pdu, 3)};
    if (!r.valid()) return error(pdu[0], r.start, att::kInvalidHandle);
    const std::uint16_t type = Le16(pdu, 5);
    const auto value = pdu.subspan(7);
    Pdu out{att::kFindByTypeValueResponse};
    for (std::uint32_t h = r.start; h <= r.end && h <= attributes_.size() && out.size() + 4 <= att::kMtu; ++h) {
        const Attribute& a = attributes_[h - 1];
        if (a.type != type || !std::ranges::equal(a.value, value)) continue;
        PutLe16(out, static_cast<std::uint16_t>(h));
        PutLe16(out, a.groupEnd ? a.groupEnd : static_cast<std::uint16_t>(h));
    }
    if (out.size() == 1) return error(pdu[0], r.start, att::kAttributeNotFound);
    return out;
}

GattServer::Pdu GattServer::readByType(std::span<const std::uint8_t> pdu) const {
    const Range r{Le16(pdu, 1), Le16(pdu, 3)};
    if (!r.valid()) return error(pdu[0], r.start, att::kInvalidHandle);
    const std::optional<std::uint16_t> type = ShortUuid(pdu.subspan(5));
    Pdu out{att::kReadByTypeResponse, 0};
    std::size_t length = 0;
    for (std::uint32_t h = r.start; h <= r.end && h <= attributes_.size(); ++h) {
        const Attribute& a = attributes_[h - 1];
        if (!type || a.type != *type) continue;
        if (!a.readable) {
            if (length == 0) return error(pdu[0], static_cast<std::uint16_t>(h), att::kReadNotPermitted);
            break;
        }
        // Every entry as long as the first: the first value, cut to what fits.
        const std::size_t cut = std::min<std::size_t>(a.value.size(), att::kMtu - 4);
        if (length == 0) length = cut;
        else if (cut != length || a.value.size() != cut) break;
        if (out.size() + 2 + length > att::kMtu) break;
        PutLe16(out, static_cast<std::uint16_t>(h));
        out.insert(out.end(), a.value.begin(), a.value.begin() + static_cast<std::ptrdiff_t>(length));
    }
    if (out.size() == 2) return error(pdu[0], r.start, att::kAttributeNotFound);
    out[1] = static_cast<std::uint8_t>(length + 2);
    return out;
}

GattServer::Pdu GattServer::read(std::span<const std::uint8_t> pdu) const {
    const std::uint16_t handle = Le16(pdu, 1);
    const std::uint16_t offset = pdu[0] == att::kReadBlobRequest ? Le16(pdu, 3) : 0;
    const Attribute* a = at(handle);
    if (!a) return error(pdu[0], handle, att::kInvalidHandle);
    if (!a->readable) return error(pdu[0], handle, att::kReadNotPermitted);
    if (offset > a->value.size()) return error(pdu[0], handle, att::kInvalidOffset);
    Pdu out{pdu[0] == att::kReadRequest ? att::kReadResponse : att::kReadBlobResponse};
    const std::size_t n = std::min<std::size_t>(a->value.size() - offset, att::kMtu - 1);
    out.insert(out.end(), a->value.begin() + offset, a->value.begin() + offset + static_cast<std::ptrdiff_t>(n));
    return out;
}

GattServer::Pdu GattServer::readByGroupType(std::span<const std::uint8_t> pdu) const {
    const Range r{Le16(pdu, 1), Le16(pdu, 3)};
    if (!r.valid()) return error(pdu[0], r.start, att::kInvalidHandle);
    if (ShortUuid(pdu.subspan(5)) != gatt::kPrimaryService) return error(pdu[0], r.start, att::kUnsupportedGroupType);
    Pdu out{att::kReadByGroupTypeResponse, 6};
    for (std::uint32_t h = r.start; h <= r.end && h <= attributes_.size() && out.size() + 6 <= att::kMtu; ++h) {
        const Attribute& a = attributes_[h - 1];
        if (a.type != gatt::kPrimaryService) continue;
        PutLe16(out, static_cast<std::uint16_t>(h));
        PutLe16(out, a.groupEnd);
        out.insert(out.end(), a.value.begin(), a.value.end());
    }
    if (out.size() == 2) return error(pdu[0], r.start, att::kAttributeNotFound);
    return out;
}

GattServer::Pdu GattServer::prepareWrite(std::span<const std::uint8_t> pdu) {
    const std::uint16_t handle = Le16(pdu, 1);
    const Attribute* a = at(handle);
    if (!a) return error(pdu[0], handle, att::kInvalidHandle);
    if (!a->writable) return error(pdu[0], handle, att::kWriteNotPermitted);
    if (prepared_.size() >= kPrepareQueueLimit) return error(pdu[0], handle, att::kPrepareQueueFull);
    prepared_.push_back({handle, Le16(pdu, 3), {pdu.begin() + 5, pdu.end()}});
    Pdu out(pdu.begin(), pdu.end());
    out[0] = att::kPrepareWriteResponse;
    return out;
}

GattServer::Pdu GattServer::executeWrite(std::span<const std::uint8_t> pdu) {
    std::vector<Prepared> queue;
    queue.swap(prepared_);
    if (pdu[1] == 0x01) {
        // Each attribute's parts in the order they came, each where the last one
        // ended, make one value written as a whole.
        std::vector<std::uint16_t> handles;
        for (const Prepared& p : queue)
            if (std::ranges::find(handles, p.handle) == handles.end()) handles.push_back(p.handle);
        for (std::uint16_t handle : handles) {
            std::vector<std::uint8_t> value;
            for (const Prepared& p : queue) {
                if (p.handle != handle) continue;
                if (p.offset != value.size()) return error(pdu[0], handle, att::kInvalidOffset);
                value.insert(value.end(), p.bytes.begin(), p.bytes.end());
            }
            if (std::uint8_t code = write(handle, value)) return error(pdu[0], handle, code);
        }
    }
    return Pdu{att::kExecuteWriteResponse};
}

std::optional<GattServer::Pdu> GattServer::notification(std::uint16_t valueHandle,
                                                        std::span<const std::uint8_t> value) const {
    const Attribute* ccc = at(static_cast<std::uint16_t>(valueHandle + 1));
    if (!ccc || ccc->type != gatt::kClientConfiguration || (ccc->value[0] & 0x01) == 0) return std::nullopt;
    Pdu out{att::kNotification};
    PutLe16(out, valueHandle);
    out.insert(out.end(), value.begin(),
               value.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(value.size(), att::kMtu - 3)));
    return out;
}

}  // namespace halvern::kernel
