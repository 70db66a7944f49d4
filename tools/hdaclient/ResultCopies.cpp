#include "ResultCopies.h"

#include <oleauto.h>

#include <cstdint>
#include <cstring>

namespace hdaclient {
namespace {

// A zeroed task-memory array of n elements, or null when there is nothing
// to copy. False when memory ran out.
template <class T>
bool Allocate(DWORD n, const T *source, T **out) {
    *out = nullptr;
    if (!source || n == 0) return true;
    if (n > SIZE_MAX / sizeof(T)) return false;
    *out = static_cast<T *>(CoTaskMemAlloc(n * sizeof(T)));
    if (!*out) return false;
    memset(*out, 0, n * sizeof(T));
    return true;
}

// Copies n elements that hold no pointers.
template <class T>
bool CopyArray(DWORD n, const T *from, T **to) {
    if (!Allocate(n, from, to)) return false;
    if (*to) memcpy(*to, from, n * sizeof(T));
    return true;
}

bool CopyVariants(DWORD n, const VARIANT *from, VARIANT *to) {
    for (DWORD i = 0; to && i < n; ++i) {
        // VariantCopy does not change its source; its declaration lacks const.
        if (FAILED(VariantCopy(&to[i], const_cast<VARIANT *>(&from[i])))) return false;
    }
    return true;
}

// The count is set once the arrays exist, so that the holder clears only
// values that were made.
bool CopyItem(const OPCHDA_ITEM &from, OPCHDA_ITEM *to) {
    to->hClient = from.hClient;
    to->haAggregate = from.haAggregate;
    if (!CopyArray(from.dwCount, from.pftTimeStamps, &to->pftTimeStamps) ||
        !CopyArray(from.dwCount, from.pdwQualities, &to->pdwQualities) ||
        !Allocate(from.dwCount, from.pvDataValues, &to->pvDataValues)) {
        return false;
    }
    to->dwCount = from.dwCount;
    return CopyVariants(from.dwCount, from.pvDataValues, to->pvDataValues);
}

bool CopyAttribute(const OPCHDA_ATTRIBUTE &from, OPCHDA_ATTRIBUTE *to) {
    to->hClient = from.hClient;
    to->dwAttributeID = from.dwAttributeID;
    if (!CopyArray(from.dwNumValues, from.ftTimeStamps, &to->ftTimeStamps) ||
        !Allocate(from.dwNumValues, from.vAttributeValues, &to->vAttributeValues)) {
        return false;
    }
    to->dwNumValues = from.dwNumValues;
    return CopyVariants(from.dwNumValues, from.vAttributeValues, to->vAttributeValues);
}

}  // namespace

bool CopyItemResults(DWORD count, const OPCHDA_ITEM *items, const HRESULT *errors,
                     ReadResults *to) {
    if (!CopyArray(count, errors, to->Errors()) || !Allocate(count, items, to->Items())) {
        return false;
    }
    for (DWORD i = 0; *to->Items() && i < count; ++i) {
        if (!CopyItem(items[i], &(*to->Items())[i])) return false;
    }
    return true;
}

bool CopyAttributeResults(DWORD count, const OPCHDA_ATTRIBUTE *values, const HRESULT *errors,
                          AttributeResults *to) {
    if (!CopyArray(count, errors, &to->errors) || !Allocate(count, values, &to->values)) {
        return false;
    }
    for (DWORD i = 0; to->values && i < count; ++i) {
        if (!CopyAttribute(values[i], &to->values[i])) return false;
    }
    return true;
}

}  // namespace hdaclient
