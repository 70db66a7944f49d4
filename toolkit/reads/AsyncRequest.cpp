#include "reads/AsyncRequest.h"

#include "reads/ValueGathering.h"
#include "runtime/ToolkitState.h"

namespace halvex {
namespace {

void FreeTask(void *block) {
    if (block) Toolkit().taskMalloc->Free(block);
}

void ClearValues(VARIANT *values, DWORD count) {
    if (!values) return;
    for (DWORD i = 0; i < count; ++i) VariantClear(&values[i]);
}

}  // namespace

ULONGLONG UtcNowMs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = Ticks(now);
    return ticks - ticks % 10000;
}

ULONGLONG AsyncRequest::WindowEnd() const {
    constexpr ULONGLONG kLatestTime = 0x7FFFFFFFFFFFFFFFull;
    const ULONGLONG start = Ticks(rangeStart);
    return kLatestTime - start < updateInterval ? kLatestTime : start + updateInterval;
}

void FreeItemRecords(OPCHDA_ITEM *records, DWORD count) {
    if (!records) return;
    for (DWORD i = 0; i < count; ++i) {
        ClearValues(records[i].pvDataValues, records[i].dwCount);
        FreeTask(records[i].pvDataValues);
        FreeTask(records[i].pftTimeStamps);
        FreeTask(records[i].pdwQualities);
    }
    FreeTask(records);
}

void FreeAttributeRecords(OPCHDA_ATTRIBUTE *records, DWORD count) {
    if (!records) return;
    for (DWORD i = 0; i < count; ++i) {
        ClearValues(records[i].vAttributeValues, records[i].dwNumValues);
        FreeTask(records[i].vAttributeValues);
        FreeTask(records[i].ftTimeStamps);
    }
    FreeTask(records);
}

AsyncRequest::~AsyncRequest() {
    FreeItemRecords(itemResults, numItems);
    FreeAttributeRecords(attributeResults, numAttributes);
    FreeTask(errors);
}

}  // namespace halvex
