// The demo's history source: grid roundings, raw time stamps, values and
// qualities, attributes and aggregates, without the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "Maplet1Callback.h"

namespace {

using namespace maplet1;

// 5 March 2024, UTC.
FILETIME At(int hour, int minute, int second, int ms = 0) {
    SYSTEMTIME st = {2024, 3, 2, 5, WORD(hour), WORD(minute), WORD(second), WORD(ms)};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

// "hh:mm:ss.mmm", with "+1d" when the day moved on.
std::string Text(const FILETIME &ft) {
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&ft, &st)) return "invalid";
    char text[32];
    snprintf(text, sizeof text, "%02u:%02u:%02u.%03u%s", st.wHour, st.wMinute, st.wSecond,
             st.wMilliseconds, st.wDay == 6 ? "+1d" : st.wDay == 5 ? "" : "?d");
    return text;
}

// Seconds after 12:00:00 of the stamps read between start and end, themselves
// given in seconds after 12:00:00 (-1 for none).
std::vector<double> Read(CMaplet1Callback &cb, int start, int end, long maxCount) {
    const ULONGLONG noon = Ticks(At(12, 0, 0));
    FILETIME s = FromTicks(noon + start * kSecond), e = FromTicks(noon + end * kSecond);
    // One slot more than allowed, to catch writes past the maximum.
    std::vector<FILETIME> buffer(maxCount > 0 ? maxCount + 1 : 1, FILETIME{0xABAB, 0xABAB});
    long n = cb.GetTimeStamps(nullptr, start < 0 ? nullptr : &s, end < 0 ? nullptr : &e, maxCount,
                              buffer.data());
    EXPECT_TRUE(buffer.back().dwLowDateTime == 0xABAB && buffer.back().dwHighDateTime == 0xABAB)
        << "wrote past the maximum";
    std::vector<double> out;
    for (long i = 0; i < n; ++i) out.push_back(double(Ticks(buffer[i]) - noon) / kSecond);
    return out;
}

void *Handle(uintptr_t h) { return reinterpret_cast<void *>(h); }

// A variant's text, cleared.
std::wstring Str(VARIANT &v) {
    std::wstring text = v.vt == VT_BSTR && v.bstrVal ? v.bstrVal : L"<not a string>";
    VariantClear(&v);
    return text;
}

bool InRange(const VARIANT &v) { return v.vt == VT_R4 && v.fltVal >= 95.0f && v.fltVal <= 105.0f; }

// The grid roundings at a time, and the value there: raw (quality 4) on a
// whole second of the grid, else interpolated (2); always in range, and not
// always the same.
TEST(Maplet1Grid, FloorNextAndValueAtEachTime) {
    CMaplet1Callback cb;
    const struct { FILETIME time; const char *previous, *next; DWORD quality; } cases[] = {
        {At(12, 0, 0), "12:00:00.000", "12:00:15.000", 4},
        {At(12, 0, 7), "12:00:00.000", "12:00:15.000", 2},
        {At(12, 0, 14, 999), "12:00:00.000", "12:00:15.000", 2},
        // Only whole seconds count: 15.5 s goes back to 15 both ways.
        {At(12, 0, 15, 500), "12:00:15.000", "12:00:15.000", 4},
        {At(12, 0, 16), "12:00:15.000", "12:00:30.000", 2},
        {At(12, 0, 30, 500), "12:00:30.000", "12:00:30.000", 4},
        {At(12, 0, 45, 999), "12:00:45.000", "12:00:45.000", 4},
        {At(12, 0, 59), "12:00:45.000", "12:01:00.000", 2},
        {At(12, 0, 59, 999), "12:00:45.000", "12:01:00.000", 2},
        {At(23, 59, 47), "23:59:45.000", "00:00:00.000+1d", 2},
        // Units below the millisecond go as well.
        {FromTicks(Ticks(At(12, 0, 15)) + 9999), "12:00:15.000", "12:00:15.000", 4},
    };
    std::set<float> values;
    for (const auto &c : cases) {
        FILETIME previous{}, next{};
        VARIANT v;
        VariantInit(&v);
        DWORD quality = 0;
        EXPECT_EQ(S_OK, cb.GetPreviousTimeStamp(nullptr, c.time, &previous)) << Text(c.time);
        EXPECT_EQ(S_OK, cb.GetNextTimeStamp(nullptr, c.time, &next)) << Text(c.time);
        EXPECT_EQ(S_OK, cb.ReadAt(nullptr, c.time, &v, &quality)) << Text(c.time);
        EXPECT_EQ(c.previous, Text(previous)) << Text(c.time);
        EXPECT_EQ(c.next, Text(next)) << Text(c.time);
        EXPECT_EQ(c.quality, quality) << Text(c.time);
        EXPECT_TRUE(InRange(v)) << Text(c.time);
        values.insert(v.fltVal);
    }
    EXPECT_LT(1u, values.size());
}

TEST(Maplet1TimeStamps, ForwardFromGridNextBackwardFromGridFloor) {
    CMaplet1Callback cb;
    const struct { int start, end; long max; std::vector<double> expected; } cases[] = {
        {0, 60, 100, {15, 30, 45, 60}},
        {15, 44, 100, {15, 30}},
        {0, 3600, 2, {15, 30}},  // the maximum ends the read before the end does
        // Start equal to end: one stamp on 15, none on 0 (its grid next is later).
        {15, 15, 100, {15}},
        {0, 0, 100, {}},
        {7, -1, 5, {15, 30, 45, 60, 75}},  // without an end: exactly the maximum
        {-1, 67, 3, {60, 45, 30}},         // without a start: back from the end's floor
        // Start after end mirrors the forward read.
        {70, 0, 100, {60, 45, 30, 15}},
        {70, 0, 2, {60, 45}},
        {40, 32, 100, {}},  // both inside one quarter minute
        {-1, -1, 10, {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, Read(cb, c.start, c.end, c.max)) << c.start << " to " << c.end;
    EXPECT_EQ(5000u, Read(cb, 7, -1, 5000).size());
    FILETIME t12 = At(12, 0, 0);
    EXPECT_EQ(0, cb.GetTimeStamps(nullptr, &t12, nullptr, 0, nullptr));
    EXPECT_EQ(0, cb.GetTimeStamps(nullptr, &t12, nullptr, -1, nullptr));
    // Near the FILETIME origin the stamps stop at 0 instead of wrapping round.
    FILETIME early = FromTicks(20 * kSecond);
    FILETIME stamps[5];
    ASSERT_EQ(2, cb.GetTimeStamps(nullptr, nullptr, &early, 5, stamps));
    EXPECT_EQ(15 * kSecond, Ticks(stamps[0]));
    EXPECT_EQ(0u, Ticks(stamps[1]));
}

// Attributes 1-3 are fixed, 13 names the item by the handle given for it; at
// a time, the current value with its code. Unknown ids fail and leave the
// value, and the stamp is never touched.
TEST(Maplet1Attributes, FixedValuesItemIdsByHandleAndUnknownIds) {
    CMaplet1Callback cb;
    FILETIME stamp = {0x1234, 0x5678};
    // The text of a string attribute, read as current value.
    auto attribute = [&](uintptr_t handle, DWORD id) {
        VARIANT v;
        VariantInit(&v);
        EXPECT_EQ(S_OK, cb.ReadCurrentAttribute(Handle(handle), id, &stamp, &v)) << id;
        return Str(v);
    };
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(S_OK, cb.ReadCurrentAttribute(Handle(1), 1, &stamp, &v));
    EXPECT_EQ(VT_I2, v.vt);
    EXPECT_EQ(VT_R4, v.iVal);
    EXPECT_EQ(L"Random Floating Point Values", attribute(1, 2));
    EXPECT_EQ(L"Counts", attribute(1, 3));
    EXPECT_EQ(kCurrentValue, cb.ReadAttributeAt(Handle(1), 3, At(12, 0, 0), &v));
    EXPECT_EQ(L"Counts", Str(v));

    // Before the items are defined, or after a definition failed, no handle matches.
    cb.SetItemHandle(0, 0xFFFFFFFF);
    for (uintptr_t h : {uintptr_t(0), uintptr_t(1), uintptr_t(0xFFFFFFFF)})
        EXPECT_EQ(L"UNKNOWN Item", attribute(h, 13)) << h;
    for (int i = 0; i < kItemCount; ++i) cb.SetItemHandle(i, 101 + i);
    const wchar_t *expected[] = {L"A.A.A", L"A.A.B", L"A.A.C", L"A.B.A", L"A.B.B",
                                 L"A.B.C", L"A.C.A", L"A.C.B", L"A.C.C"};
    for (int i = 0; i < kItemCount; ++i) EXPECT_EQ(expected[i], attribute(101 + i, 13)) << i;
    EXPECT_EQ(L"UNKNOWN Item", attribute(100, 13));
    // A handle above 32 bits is not the 32-bit handle it ends with.
    if (sizeof(void *) > 4) {
        EXPECT_EQ(L"UNKNOWN Item", attribute(uintptr_t(0x100000000ull | 101), 13));
    }

    v.vt = VT_I4;
    v.lVal = 4711;
    for (DWORD id : {0u, 4u, 12u, 14u}) {
        EXPECT_EQ(kInvalidAttrId, cb.ReadCurrentAttribute(Handle(1), id, &stamp, &v)) << id;
        EXPECT_EQ(kInvalidAttrId, cb.ReadAttributeAt(Handle(1), id, At(12, 0, 0), &v)) << id;
    }
    EXPECT_EQ(VT_I4, v.vt);
    EXPECT_EQ(4711, v.lVal);
    EXPECT_EQ(0x1234u, stamp.dwLowDateTime);
    EXPECT_EQ(0x5678u, stamp.dwHighDateTime);

    // The value at a time is asked through the virtual table.
    struct Failing : CMaplet1Callback {
        HRESULT ReadCurrentAttribute(void *, DWORD, FILETIME *, VARIANT *) override {
            return E_ACCESSDENIED;
        }
    } failing;
    VariantInit(&v);
    EXPECT_EQ(E_ACCESSDENIED, failing.ReadAttributeAt(Handle(1), 3, At(12, 0, 0), &v));
    EXPECT_EQ(VT_EMPTY, v.vt);
}

VARIANT Processed(CMaplet1Callback &cb, DWORD aggregate, FILETIME a, FILETIME b) {
    VARIANT v;
    VariantInit(&v);
    DWORD quality = 0;
    EXPECT_EQ(S_OK, cb.ReadProcessed(nullptr, aggregate, &a, &b, &v, &quality));
    EXPECT_EQ(8u, quality);
    return v;
}

// Unknown aggregates fail and leave the value and the quality.
TEST(Maplet1Aggregates, AverageIsRandomCountIsTheStampsUpToOneHundred) {
    CMaplet1Callback cb;
    EXPECT_TRUE(InRange(Processed(cb, 3, At(12, 0, 0), At(12, 1, 0))));
    const struct { FILETIME a, b; float count; } cases[] = {
        {At(12, 0, 0), At(12, 1, 0), 4.0f},
        {At(12, 1, 0), At(12, 0, 0), 4.0f},
        {At(12, 0, 0), At(12, 0, 14), 0.0f},
        {At(12, 0, 0), At(13, 0, 0), 100.0f},  // an hour holds 240 stamps
    };
    for (const auto &c : cases) {
        VARIANT v = Processed(cb, 5, c.a, c.b);
        EXPECT_EQ(VT_R4, v.vt) << Text(c.a) << " to " << Text(c.b);
        EXPECT_EQ(c.count, v.fltVal) << Text(c.a) << " to " << Text(c.b);
    }
    // The count comes from GetTimeStamps through the virtual table, asked
    // for at most 100.
    struct Scripted : CMaplet1Callback {
        long asked = 0;
        long GetTimeStamps(void *, FILETIME *, FILETIME *, long maxCount, FILETIME *) override {
            asked = maxCount;
            return 7;
        }
    } scripted;
    EXPECT_EQ(7.0f, Processed(scripted, 5, At(12, 0, 0), At(12, 1, 0)).fltVal);
    EXPECT_EQ(100, scripted.asked);

    FILETIME a = At(12, 0, 0), b = At(12, 1, 0);
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = 4711;
    DWORD quality = 77;
    for (DWORD id : {0u, 1u, 2u, 4u, 6u})
        EXPECT_EQ(kNotAvail, cb.ReadProcessed(nullptr, id, &a, &b, &v, &quality)) << id;
    EXPECT_EQ(VT_I4, v.vt);
    EXPECT_EQ(4711, v.lVal);
    EXPECT_EQ(77u, quality);
}

}  // namespace
