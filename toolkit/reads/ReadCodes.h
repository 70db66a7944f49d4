// Result codes and limits shared by the synchronous and queued reads.
#ifndef HALVEX_READ_CODES_H
#define HALVEX_READ_CODES_H

#include <windows.h>

namespace halvex {

constexpr HRESULT kInvalidHandle = static_cast<HRESULT>(0xC0040001);  // OPC_E_INVALIDHANDLE
constexpr HRESULT kMaxExceeded = static_cast<HRESULT>(0xC0041001);    // OPC_E_MAXEXCEEDED
constexpr HRESULT kMoreData = 0x40041003;                             // OPC_S_MOREDATA
// The longest interval a client may pass: a FILETIME with its sign bit set
// would be a negative span.
constexpr ULONGLONG kLargestInterval = 0x7FFFFFFFFFFFFFFFull;

}  // namespace halvex

#endif
