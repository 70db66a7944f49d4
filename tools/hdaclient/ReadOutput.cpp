#include "ReadOutput.h"

#include <cstdio>
#include <string>

#include "Failure.h"
#include "RequestTime.h"
#include "Table.h"
#include "Text.h"
#include "ValueText.h"

namespace hdaclient {
namespace {

void PrintValues(const OPCHDA_ITEM &item) {
    Table table({"Timestamp", "Value", "Type", "Quality"});
    for (DWORD i = 0; i < item.dwCount; ++i) {
        table.Add({item.pftTimeStamps ? FormatStamp(item.pftTimeStamps[i]) : "-",
                   item.pvDataValues ? FormatVariant(item.pvDataValues[i]) : "-",
                   item.pvDataValues ? VarTypeName(item.pvDataValues[i].vt) : "-",
                   item.pdwQualities ? QualityText(item.pdwQualities[i]) : "-"});
    }
    table.Print();
}

// "A.A.A  7 values" plus the item's code where it is not S_OK.
void PrintHeading(Connection &connection, const std::string &id, HRESULT result, DWORD count) {
    std::string heading = id;
    if (SUCCEEDED(result)) heading += "  " + Count(count, "value", "values");
    if (result != S_OK) heading += "  " + connection.Describe(result);
    printf("%s\n", heading.c_str());
}

}  // namespace

ReadResults::~ReadResults() {
    for (DWORD i = 0; items_ && i < count_; ++i) {
        OPCHDA_ITEM &item = items_[i];
        for (DWORD j = 0; item.pvDataValues && j < item.dwCount; ++j) {
            VariantClear(&item.pvDataValues[j]);
        }
        CoTaskMemFree(item.pftTimeStamps);
        CoTaskMemFree(item.pdwQualities);
        CoTaskMemFree(item.pvDataValues);
    }
    CoTaskMemFree(items_);
    CoTaskMemFree(errors_);
}

int PrintItemValues(Connection &connection, const ItemHandles &handles, HRESULT callResult,
                    const ReadResults &results) {
    bool anyFailed = callResult == S_FALSE;
    DWORD next = 0;  // index into the results, which hold only items with handles
    for (const ItemHandles::Item &requested : handles.Items()) {
        printf("\n");
        if (!requested.Ok()) {
            PrintHeading(connection, requested.id, requested.result, 0);
            anyFailed = true;
            continue;
        }
        DWORD index = next++;
        HRESULT result = results.Error(index);
        const OPCHDA_ITEM *item = results.Item(index);
        DWORD count = item && SUCCEEDED(result) ? item->dwCount : 0;
        PrintHeading(connection, requested.id, result, count);
        if (FAILED(result)) anyFailed = true;
        if (count > 0) PrintValues(*item);
    }
    return anyFailed ? kExitItemsFailed : kExitOk;
}

}  // namespace hdaclient
