#include "AttributeOutput.h"

#include <string>

#include "CommandSupport.h"
#include "RequestTime.h"
#include "ResultCodes.h"
#include "Table.h"
#include "ValueText.h"

namespace hdaclient {
namespace {

// The data type attribute holds a VARTYPE; its name is shown beside it.
std::string AttributeValueText(DWORD id, const VARIANT &value) {
    std::string text = FormatVariant(value);
    if (id == OPCHDA_DATA_TYPE && (value.vt == VT_I2 || value.vt == VT_I4 || value.vt == VT_UI2)) {
        text += " (" + VarTypeName(static_cast<VARTYPE>(value.vt == VT_I4 ? value.lVal : value.iVal)) + ")";
    }
    return text;
}

}  // namespace

AttributeResults::~AttributeResults() {
    for (DWORD i = 0; values && i < count; ++i) {
        for (DWORD j = 0; values[i].vAttributeValues && j < values[i].dwNumValues; ++j) {
            VariantClear(&values[i].vAttributeValues[j]);
        }
        CoTaskMemFree(values[i].ftTimeStamps);
        CoTaskMemFree(values[i].vAttributeValues);
    }
    CoTaskMemFree(values);
    CoTaskMemFree(errors);
}

void PrintAttributeValues(const AttributeResults &results, const std::vector<DWORD> &ids,
                          const std::vector<Definition> &defined, std::set<HRESULT> *codes) {
    Table table({"ID", "Attribute", "Timestamp", "Value", "Type", "Result"});
    table.AlignRight(0);
    table.HideIfEmpty(5);
    for (DWORD i = 0; i < results.count; ++i) {
        HRESULT code = results.errors ? results.errors[i] : S_OK;
        std::string result = code == S_OK ? "" : ResultLabel(code);
        if (code != S_OK) codes->insert(code);
        const Definition *definition = FindById(defined, ids[i]);
        std::string name = definition ? definition->name : "";
        const OPCHDA_ATTRIBUTE *a = results.values ? &results.values[i] : nullptr;
        DWORD n = a && SUCCEEDED(code) && a->vAttributeValues ? a->dwNumValues : 0;
        if (n == 0) table.Add({IdText(ids[i]), name, "", "", "", result});
        for (DWORD j = 0; j < n; ++j) {
            table.Add({j == 0 ? IdText(ids[i]) : "", j == 0 ? name : "",
                       a->ftTimeStamps ? FormatStamp(a->ftTimeStamps[j]) : "-",
                       AttributeValueText(ids[i], a->vAttributeValues[j]),
                       VarTypeName(a->vAttributeValues[j].vt), j == 0 ? result : ""});
        }
    }
    table.Print();
}

}  // namespace hdaclient
