#include "runtime/ClientMemory.h"

#include <cstdint>

#include "runtime/ToolkitState.h"

namespace halvex {

ClientMemory::~ClientMemory() {
    for (void *block : blocks_) Toolkit().taskMalloc->Free(block);
}

template <class Allocate>
void *ClientMemory::Keep(Allocate allocate) {
    void *p = nullptr;
    try {
        // Room first, so that recording the block cannot fail after it exists.
        blocks_.reserve(blocks_.size() + 1);
        p = allocate();
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

void *ClientMemory::Bytes(size_t count, size_t size) {
    if (count == 0) return nullptr;
    return Keep([&]() -> void * {
        return count <= SIZE_MAX / size ? Toolkit().AllocClientMemory(count * size) : nullptr;
    });
}

WCHAR *ClientMemory::Wide(const std::string &text) {
    return static_cast<WCHAR *>(
        Keep([&]() -> void * { return Toolkit().AnsiToWide(text.c_str(), TRUE); }));
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
