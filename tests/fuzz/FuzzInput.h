// Shapes a fuzzer's bytes into values and SDK records. Reading past the end yields zeros and
// empty blocks, so every input is a complete run.
#pragma once

#include "FuzzCheck.h"
#include "framework/Afx.h"
#include "platform/DialogTemplate.h"
#include "sdk/KobaltAbi.h"
#include "sdk/SdkApi.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kobalt::fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool Empty() const { return m_pos >= m_size; }

    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }

    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(Byte()) << (8 * i);
        return v;
    }

    // A count for the SDK to report: mostly near the records actually given, sometimes any
    // 32-bit value, so that both plausible and hostile counts come up.
    uint32_t Count(uint32_t given) {
        switch (Byte() % 4) {
        case 0:
            return given;
        case 1:
            return given + Byte() % 4;
        case 2:
            return given > 0 ? given - 1 - Byte() % given : 0;
        default:
            return U32();
        }
    }

    // Up to `max` bytes, as many as the next length byte asks for (or what is left).
    std::vector<uint8_t> Block(std::size_t max) {
        std::size_t want = Byte();
        if (want == 255)
            want = max; // a full block: fields without room for a terminator
        want = std::min({want, max, m_size - std::min(m_pos, m_size)});
        std::vector<uint8_t> out(m_data + m_pos, m_data + m_pos + want);
        m_pos += want;
        return out;
    }

    // Fills `out` (`size` bytes) from the input; a short input leaves the tail as it was.
    void Fill(void* out, std::size_t size) {
        std::size_t n = std::min(size, m_size - std::min(m_pos, m_size));
        std::memcpy(out, m_data + m_pos, n);
        m_pos += n;
    }

    // A record of `size` bytes: a copy of the input for the first `Block` bytes, then either zeros
    // or a repeated filler unit (no terminator anywhere), as the next byte says.
    std::vector<uint8_t> Record(std::size_t size) {
        std::vector<uint8_t> out(size, 0);
        uint8_t mode = Byte();
        if (mode & 1) {
            uint8_t lo = Byte(), hi = Byte();
            if (lo == 0 && hi == 0)
                lo = 'A';
            for (std::size_t i = 0; i + 1 < size; i += 2) {
                out[i] = lo;
                out[i + 1] = hi;
            }
        }
        std::vector<uint8_t> head = Block(size);
        std::copy(head.begin(), head.end(), out.begin());
        return out;
    }

private:
    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// Creates `dlg`'s window from its template without running a modal loop, so that a target can
// send it messages directly for every input. The window lives as long as the process.
template <class Dialog> HWND CreateModeless(Dialog& dlg) {
    const DialogTemplate* tmpl = FindDialogTemplate(static_cast<int>(dlg.m_nIDTemplate));
    if (tmpl == nullptr)
        return nullptr;
    return CreateDialogIndirectParamW(nullptr, tmpl, nullptr, &AfxDlgProc,
                                      reinterpret_cast<LPARAM>(static_cast<CWnd*>(&dlg)));
}

// Unbinds every entry point of the loaded library, so that nothing a target does reaches it;
// targets then bind the fakes they need.
inline void UnbindSdk() {
#define KOBALT_FUZZ_UNBIND(name, fn, failure) g_SdkApi.name = nullptr;
    KOBALT_SDK_ENTRY_POINTS(KOBALT_FUZZ_UNBIND)
#undef KOBALT_FUZZ_UNBIND
}

// Sends a button click to `window`.
inline void Click(HWND window, int id) {
    SendMessageW(window, WM_COMMAND,
                 static_cast<WPARAM>((static_cast<UINT>(BN_CLICKED) << 16) | static_cast<UINT>(id)),
                 0);
}

} // namespace kobalt::fuzz
