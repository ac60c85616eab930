#include "sim/radio/Adapter.h"

#include "common/Utf8.h"
#include "sim/world/Utf16.h"
#include "sim/world/Words.h"

#include <cstring>
#include <optional>

namespace kobalt::sim {

using common::Utf16ToUtf8;

Adapter::Adapter()
    : m_pin(kDefaultPin), m_name(*Utf8ToUtf16(kDefaultLocalName)),
      m_address(*ParseAddress(kDefaultLocalAddress)) {}

ResultCode Adapter::GetDefaultPinCode(char* pin, uint32_t* length) const {
    if (pin == nullptr || length == nullptr) {
        return kErrBadArgument;
    }
    std::lock_guard lock(m_mutex);
    const uint32_t capacity = *length;
    *length = static_cast<uint32_t>(m_pin.size());
    if (capacity < m_pin.size() + 1) {
        return kErrTooSmall;
    }
    std::memcpy(pin, m_pin.data(), m_pin.size());
    pin[m_pin.size()] = '\0';
    return kOk;
}

ResultCode Adapter::SetDefaultPinCode(const char* pin, uint32_t length) {
    if (pin == nullptr) {
        return kErrBadArgument;
    }
    const void* end = std::memchr(pin, '\0', length);
    if (end == nullptr) {
        return kErrBadText;
    }
    const std::size_t size = static_cast<std::size_t>(static_cast<const char*>(end) - pin);
    if (size == 0 || size > kMaxPinBytes) {
        return kErrBadText;
    }
    std::lock_guard lock(m_mutex);
    m_pin.assign(pin, size);
    return kOk;
}

ResultCode Adapter::GetLocalName(KOBALT_WCHAR* name, int capacity) const {
    if (name == nullptr || capacity < 1) {
        return kErrBadArgument;
    }
    std::lock_guard lock(m_mutex);
    CopyTerminated(m_name, name, static_cast<std::size_t>(capacity));
    return kOk;
}

ResultCode Adapter::SetLocalName(const KOBALT_WCHAR* name) {
    if (name == nullptr) {
        return kErrBadArgument;
    }
    std::u16string text;
    // A name of kMaxLocalNameBytes bytes has at most as many units; one more unit must be the NUL.
    for (std::size_t i = 0;; ++i) {
        if (i > kMaxLocalNameBytes) {
            return kErrBadText;
        }
        if (name[i] == 0) {
            break;
        }
        text.push_back(name[i]);
    }
    const std::optional<std::string> utf8 = Utf16ToUtf8(text);
    if (!utf8 || utf8->size() > kMaxLocalNameBytes) {
        return kErrBadText;
    }
    std::lock_guard lock(m_mutex);
    m_name = std::move(text);
    return kOk;
}

ResultCode Adapter::GetSoftwareVersion(KOBALT_WCHAR* version) const {
    if (version == nullptr) {
        return kErrBadArgument;
    }
    static_assert(kSoftwareVersion.size() < kVersionUnits);
    CopyTerminated(*Utf8ToUtf16(kSoftwareVersion), version, kVersionUnits);
    return kOk;
}

ResultCode Adapter::GetLocalAddress(KOBALT_BdAddr* addr) const {
    if (addr == nullptr) {
        return kErrBadArgument;
    }
    std::lock_guard lock(m_mutex);
    *addr = m_address.ToAbi();
    return kOk;
}

std::vector<std::string> Adapter::StateLines() const {
    std::lock_guard lock(m_mutex);
    return {"adapter pin " + QuoteText(m_pin), "adapter name " + QuoteText(*Utf16ToUtf8(m_name)),
            "adapter version " + QuoteText(kSoftwareVersion),
            "adapter address " + FormatAddress(m_address)};
}

} // namespace kobalt::sim
