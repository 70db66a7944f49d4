#include "runtime/ClientMemory.h"

#include <cstdint>

#include "runtime/ToolkitState.h"

namespace halvex {

ClientMemory::~ClientMemory() {
    for (void *block : blocks_) Toolkit().taskMalloc->Free(block);
}

void *ClientMemory::Bytes(size_t count, size_t size) {
    if (count == 0) return nullptr;
    void *p = nullptr;
    if (count <= SIZE_MAX / size) {
        try {
            blocks_.reserve(blocks_.size() + 1);
            p = Toolkit().AllocClientMemory(count * size);
        } catch (...) {
            p = nullptr;
        }
    }
    if (!p) {
        failed_ = true;
        return nullptr;
    }
    blocks_.push_back(p);
    return p;
}

WCHAR *ClientMemory::Wide(const std::string &text) {
    WCHAR *p = nullptr;
    try {
        blocks_.reserve(blocks_.size() + 1);
        p = Toolkit().AnsiToWide(text.c_str(), TRUE);
    } catch (...) {
        p = nullptr;
    }
    if (!p) {
        failed_ = true;
        return nullptr;
    }
    blocks_.push_back(p);
    return p;
}

std::string WideToAnsi(const WCHAR *text) {
    if (!text || !*text) return {};
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], bytes, nullptr, nullptr);
    out.resize(static_cast<size_t>(bytes - 1));
    return out;
}

}  // namespace halvex
