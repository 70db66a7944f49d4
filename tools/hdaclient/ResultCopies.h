// Copies of the arrays a server passes to a callback. The server frees its
// arrays when the callback returns, so the sink keeps copies in task memory,
// owned by the same result holders as a synchronous read's.
#ifndef HDACLIENT_RESULT_COPIES_H
#define HDACLIENT_RESULT_COPIES_H

#include <windows.h>

#include "AttributeOutput.h"
#include "ReadOutput.h"
#include "opchda.h"

namespace hdaclient {

// Copies count records and codes (either may be null) into to, which was
// made for count records. False when memory ran out; the part copied is
// still freed by to.
bool CopyItemResults(DWORD count, const OPCHDA_ITEM *items, const HRESULT *errors,
                     ReadResults *to);
bool CopyAttributeResults(DWORD count, const OPCHDA_ATTRIBUTE *values, const HRESULT *errors,
                          AttributeResults *to);

}  // namespace hdaclient

#endif
