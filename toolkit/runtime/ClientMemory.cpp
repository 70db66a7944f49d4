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

namespace {

// Converts text (not empty) without best-fit mapping; *exact tells whether
// every character had a form of its own in the code page.
std::string ConvertWide(const WCHAR *text, bool *exact) {
    const UINT codePage = GetACP();
    // UTF-8 takes neither best-fit flags nor a default character; it can
    // fail only on unpaired surrogates.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL *usedDefaultOut = utf8 ? nullptr : &usedDefault;
    int bytes = WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr, usedDefaultOut);
    if (bytes <= 1) {
        *exact = false;
        return {};
    }
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, flags, text, -1, &out[0], bytes, nullptr, usedDefaultOut);
    out.resize(static_cast<size_t>(bytes - 1));
    *exact = !usedDefault;
    return out;
}

}  // namespace

std::string WideToAnsi(const WCHAR *text) {
    if (!text || !*text) return {};
    bool exact = false;
    return ConvertWide(text, &exact);
}

bool WideToAnsiExact(const WCHAR *text, std::string &out) {
    if (!text || !*text) {
        out.clear();
        return true;
    }
    bool exact = false;
    std::string converted = ConvertWide(text, &exact);
    if (!exact) return false;
    out.swap(converted);
    return true;
}

}  // namespace halvex
