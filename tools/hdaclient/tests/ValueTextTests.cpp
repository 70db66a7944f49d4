// VARIANT values and qualities as hdaclient prints them.
#include <gtest/gtest.h>

#include "ValueText.h"

namespace hdaclient {
namespace {

// Owns a VARIANT for one test.
struct Value {
    Value() { VariantInit(&v); }
    ~Value() { VariantClear(&v); }
    VARIANT v;
};

std::string Format(VARTYPE type, void (*set)(VARIANT *)) {
    Value value;
    value.v.vt = type;
    set(&value.v);
    return FormatVariant(value.v);
}

TEST(HdaClientValues, NumbersInTheShortestFormThatReadsBack) {
    EXPECT_EQ("0.1", Format(VT_R4, [](VARIANT *v) { v->fltVal = 0.1f; }));
    EXPECT_EQ("16777216", Format(VT_R4, [](VARIANT *v) { v->fltVal = 16777216.0f; }));
    EXPECT_EQ("0.1", Format(VT_R8, [](VARIANT *v) { v->dblVal = 0.1; }));
    EXPECT_EQ("0.30000000000000004", Format(VT_R8, [](VARIANT *v) { v->dblVal = 0.1 + 0.2; }));
    EXPECT_EQ("1926", Format(VT_R8, [](VARIANT *v) { v->dblVal = 1926; }));
    EXPECT_EQ("-1e-300", Format(VT_R8, [](VARIANT *v) { v->dblVal = -1e-300; }));
    EXPECT_EQ("-32768", Format(VT_I2, [](VARIANT *v) { v->iVal = -32768; }));
    EXPECT_EQ("4294967295", Format(VT_UI4, [](VARIANT *v) { v->ulVal = 0xFFFFFFFFu; }));
    EXPECT_EQ("-9223372036854775807",
              Format(VT_I8, [](VARIANT *v) { v->llVal = -9223372036854775807LL; }));
    EXPECT_EQ("-5", Format(VT_I1, [](VARIANT *v) { v->cVal = -5; }));
    EXPECT_EQ("12.3456", Format(VT_CY, [](VARIANT *v) { v->cyVal.int64 = 123456; }));
}

TEST(HdaClientValues, OtherTypes) {
    EXPECT_EQ("(empty)", Format(VT_EMPTY, [](VARIANT *) {}));
    EXPECT_EQ("(null)", Format(VT_NULL, [](VARIANT *) {}));
    EXPECT_EQ("true", Format(VT_BOOL, [](VARIANT *v) { v->boolVal = VARIANT_TRUE; }));
    EXPECT_EQ("false", Format(VT_BOOL, [](VARIANT *v) { v->boolVal = VARIANT_FALSE; }));
    EXPECT_EQ("\"Füllstand\"", Format(VT_BSTR, [](VARIANT *v) { v->bstrVal = SysAllocString(L"F\u00fcllstand"); }));
    EXPECT_EQ("\"\"", Format(VT_BSTR, [](VARIANT *v) { v->bstrVal = nullptr; }));
    EXPECT_EQ("error 0x80004005", Format(VT_ERROR, [](VARIANT *v) { v->scode = E_FAIL; }));
    // 2026-12-06 12:00 as an OLE date.
    EXPECT_EQ("2026-12-06 12:00:00", Format(VT_DATE, [](VARIANT *v) { v->date = 46362.5; }));
}

TEST(HdaClientValues, OneDimensionalArrays) {
    Value numbers, strings;
    numbers.v.vt = VT_ARRAY | VT_I4;
    numbers.v.parray = SafeArrayCreateVector(VT_I4, 0, 3);
    for (LONG i = 0; i < 3; ++i) static_cast<LONG *>(numbers.v.parray->pvData)[i] = (i + 1) * 10;
    EXPECT_EQ("[10, 20, 30]", FormatVariant(numbers.v));
    // Counted from 1, with a null first element.
    strings.v.vt = VT_ARRAY | VT_BSTR;
    strings.v.parray = SafeArrayCreateVector(VT_BSTR, 1, 2);
    static_cast<BSTR *>(strings.v.parray->pvData)[1] = SysAllocString(L"b");
    EXPECT_EQ("[\"\", \"b\"]", FormatVariant(strings.v));
}

TEST(HdaClientValues, TypeNames) {
    EXPECT_EQ("VT_R8", VarTypeName(VT_R8));
    EXPECT_EQ("VT_ARRAY|VT_BSTR", VarTypeName(VT_ARRAY | VT_BSTR));
    EXPECT_EQ("VT_0x0FFF", VarTypeName(0x0FFF));
}

TEST(HdaClientValues, Qualities) {
    EXPECT_EQ("raw", QualityText(4));
    EXPECT_EQ("interpolated", QualityText(2));
    EXPECT_EQ("calculated", QualityText(8));
    EXPECT_EQ("no bound", QualityText(16));
    EXPECT_EQ("no data", QualityText(32));
    EXPECT_EQ("extra data+raw", QualityText(5));
    EXPECT_EQ("0x00000000", QualityText(0));
    EXPECT_EQ("0x00000100", QualityText(0x100));
    // Flags in the upper word with a data-access quality below.
    EXPECT_EQ("0x000400C0 (raw, good)", QualityText(0x000400C0));
    EXPECT_EQ("0x01080040 (calculated+partial, uncertain)", QualityText(0x01080040));
    EXPECT_EQ("0x00200000 (no data, bad)", QualityText(0x00200000));
}

}  // namespace
}  // namespace hdaclient
