// The demo's history source: grid roundings, raw time stamps, values and
// qualities, attributes and aggregates, without the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Maplet1Callback.h"

namespace {

using namespace maplet1;

// 5 March 2024, UTC.
FILETIME At(int hour, int minute, int second, int ms = 0) {
    SYSTEMTIME st = {2024, 3, 2, 5, static_cast<WORD>(hour), static_cast<WORD>(minute),
                     static_cast<WORD>(second), static_cast<WORD>(ms)};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

ULONGLONG Ticks(const FILETIME &t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME FromTicks(ULONGLONG ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
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

std::vector<std::string> Stamps(CMaplet1Callback &cb, FILETIME *start, FILETIME *end,
                                long maxCount) {
    // One slot more than allowed, to catch writes past the maximum.
    std::vector<FILETIME> buffer(maxCount > 0 ? maxCount + 1 : 1, FILETIME{0xABAB, 0xABAB});
    long n = cb.GetTimeStamps(nullptr, start, end, maxCount, buffer.data());
    EXPECT_TRUE(buffer.back().dwLowDateTime == 0xABAB && buffer.back().dwHighDateTime == 0xABAB)
        << "wrote past the maximum";
    std::vector<std::string> out;
    for (long i = 0; i < n; ++i) out.push_back(Text(buffer[i]));
    return out;
}

std::string Previous(CMaplet1Callback &cb, FILETIME t) {
    FILETIME stamp{};
    EXPECT_EQ(cb.GetPreviousTimeStamp(nullptr, t, &stamp), S_OK);
    return Text(stamp);
}

std::string Next(CMaplet1Callback &cb, FILETIME t) {
    FILETIME stamp{};
    EXPECT_EQ(cb.GetNextTimeStamp(nullptr, t, &stamp), S_OK);
    return Text(stamp);
}

void *Handle(uintptr_t h) { return reinterpret_cast<void *>(h); }

std::wstring Str(const VARIANT &v) {
    return v.vt == VT_BSTR && v.bstrVal ? std::wstring(v.bstrVal) : L"<not a string>";
}

TEST(Maplet1Grid, FloorKeepsTheQuarterMinuteAtOrBefore) {
    CMaplet1Callback cb;
    EXPECT_EQ(Previous(cb, At(12, 0, 0)), "12:00:00.000");
    EXPECT_EQ(Previous(cb, At(12, 0, 14, 999)), "12:00:00.000");
    EXPECT_EQ(Previous(cb, At(12, 0, 15)), "12:00:15.000");
    EXPECT_EQ(Previous(cb, At(12, 0, 16)), "12:00:15.000");
    EXPECT_EQ(Previous(cb, At(12, 0, 30, 500)), "12:00:30.000");
    EXPECT_EQ(Previous(cb, At(12, 0, 45)), "12:00:45.000");
    EXPECT_EQ(Previous(cb, At(12, 0, 46)), "12:00:45.000");
    EXPECT_EQ(Previous(cb, At(12, 0, 59, 999)), "12:00:45.000");
    // Units below the millisecond go as well.
    EXPECT_EQ(Previous(cb, FromTicks(Ticks(At(12, 0, 15)) + 9999)), "12:00:15.000");
}

TEST(Maplet1Grid, NextMovesSecondZeroOnAndKeepsFifteen) {
    CMaplet1Callback cb;
    EXPECT_EQ(Next(cb, At(12, 0, 0)), "12:00:15.000");
    EXPECT_EQ(Next(cb, At(12, 0, 14)), "12:00:15.000");
    EXPECT_EQ(Next(cb, At(12, 0, 15)), "12:00:15.000");
    // Only whole seconds count: 15.5 s goes back to 15.
    EXPECT_EQ(Next(cb, At(12, 0, 15, 500)), "12:00:15.000");
    EXPECT_EQ(Next(cb, At(12, 0, 16)), "12:00:30.000");
    EXPECT_EQ(Next(cb, At(12, 0, 30)), "12:00:30.000");
    EXPECT_EQ(Next(cb, At(12, 0, 45)), "12:00:45.000");
    EXPECT_EQ(Next(cb, At(12, 0, 46)), "12:01:00.000");
    EXPECT_EQ(Next(cb, At(12, 0, 59)), "12:01:00.000");
    EXPECT_EQ(Next(cb, At(12, 59, 50)), "13:00:00.000");
    EXPECT_EQ(Next(cb, At(23, 59, 47)), "00:00:00.000+1d");
}

TEST(Maplet1TimeStamps, ForwardWithEndRunsFromGridNextToGridFloor) {
    CMaplet1Callback cb;
    FILETIME a = At(12, 0, 0), b = At(12, 1, 0);
    EXPECT_EQ(Stamps(cb, &a, &b, 100),
              (std::vector<std::string>{"12:00:15.000", "12:00:30.000", "12:00:45.000",
                                        "12:01:00.000"}));
    FILETIME c = At(12, 0, 15), d = At(12, 0, 44);
    EXPECT_EQ(Stamps(cb, &c, &d, 100),
              (std::vector<std::string>{"12:00:15.000", "12:00:30.000"}));
    // The maximum ends the read before the end does.
    FILETIME e = At(13, 0, 0);
    EXPECT_EQ(Stamps(cb, &a, &e, 2),
              (std::vector<std::string>{"12:00:15.000", "12:00:30.000"}));
    // Start equal to end: one stamp on 15, none on 0 (its grid next is later).
    EXPECT_EQ(Stamps(cb, &c, &c, 100), (std::vector<std::string>{"12:00:15.000"}));
    EXPECT_TRUE(Stamps(cb, &a, &a, 100).empty());
}

TEST(Maplet1TimeStamps, ForwardWithoutEndGivesExactlyTheMaximum) {
    CMaplet1Callback cb;
    FILETIME a = At(12, 0, 7);
    EXPECT_EQ(Stamps(cb, &a, nullptr, 5),
              (std::vector<std::string>{"12:00:15.000", "12:00:30.000", "12:00:45.000",
                                        "12:01:00.000", "12:01:15.000"}));
    EXPECT_EQ(Stamps(cb, &a, nullptr, 5000).size(), 5000u);
}

TEST(Maplet1TimeStamps, BackwardWithNullStartStepsBackFromGridFloorOfEnd) {
    CMaplet1Callback cb;
    FILETIME b = At(12, 1, 7);
    EXPECT_EQ(Stamps(cb, nullptr, &b, 3),
              (std::vector<std::string>{"12:01:00.000", "12:00:45.000", "12:00:30.000"}));
    // Near the FILETIME origin the stamps stop at 0 instead of wrapping round.
    FILETIME early = FromTicks(20 * kSecond);
    FILETIME stamps[5];
    ASSERT_EQ(cb.GetTimeStamps(nullptr, nullptr, &early, 5, stamps), 2);
    EXPECT_EQ(Ticks(stamps[0]), 15 * kSecond);
    EXPECT_EQ(Ticks(stamps[1]), 0u);
}

TEST(Maplet1TimeStamps, BackwardWithStartAfterEndMirrorsTheForwardRead) {
    CMaplet1Callback cb;
    FILETIME a = At(12, 1, 10), b = At(12, 0, 0);
    EXPECT_EQ(Stamps(cb, &a, &b, 100),
              (std::vector<std::string>{"12:01:00.000", "12:00:45.000", "12:00:30.000",
                                        "12:00:15.000"}));
    EXPECT_EQ(Stamps(cb, &a, &b, 2),
              (std::vector<std::string>{"12:01:00.000", "12:00:45.000"}));
    // Both inside one quarter minute: nothing on the grid between them.
    FILETIME c = At(12, 0, 40), d = At(12, 0, 32);
    EXPECT_TRUE(Stamps(cb, &c, &d, 100).empty());
}

TEST(Maplet1TimeStamps, NothingToGiveWritesNothing) {
    CMaplet1Callback cb;
    FILETIME a = At(12, 0, 0);
    EXPECT_TRUE(Stamps(cb, nullptr, nullptr, 10).empty());
    EXPECT_EQ(cb.GetTimeStamps(nullptr, &a, nullptr, 0, nullptr), 0);
    EXPECT_EQ(cb.GetTimeStamps(nullptr, &a, nullptr, -1, nullptr), 0);
}

bool InRange(const VARIANT &v) { return v.vt == VT_R4 && v.fltVal >= 95.0f && v.fltVal <= 105.0f; }

TEST(Maplet1Values, QualityIsRawOnWholeQuarterMinuteSeconds) {
    CMaplet1Callback cb;
    struct Case {
        FILETIME time;
        DWORD quality;
    } cases[] = {{At(12, 0, 7), 2},      {At(12, 0, 30, 500), 4}, {At(12, 0, 0), 4},
                 {At(12, 0, 45, 999), 4}, {At(12, 0, 16), 2},     {At(12, 0, 59), 2}};
    for (const Case &c : cases) {
        VARIANT v;
        VariantInit(&v);
        DWORD quality = 0;
        ASSERT_EQ(cb.ReadAt(nullptr, c.time, &v, &quality), S_OK);
        EXPECT_EQ(quality, c.quality) << Text(c.time);
        EXPECT_TRUE(InRange(v)) << Text(c.time);
    }
}

TEST(Maplet1Values, ValueScalesTheGeneratorsNextNumber) {
    CMaplet1Callback cb;
    srand(7);
    const int r = rand();
    srand(7);
    VARIANT v;
    VariantInit(&v);
    DWORD quality = 0;
    ASSERT_EQ(cb.ReadAt(nullptr, At(12, 0, 0), &v, &quality), S_OK);
    ASSERT_EQ(v.vt, VT_R4);
    EXPECT_FLOAT_EQ(v.fltVal, static_cast<float>(r / 32767.0 * 10.0 + 95.0));
}

// Each thread has its own generator in the C runtime; every one must stay
// within 95..105 and actually vary.
DWORD WINAPI ReadManyValues(void *arg) {
    auto *cb = static_cast<CMaplet1Callback *>(arg);
    int bad = 0;
    float first = 0, last = 0;
    for (int i = 0; i < 3000; ++i) {
        VARIANT v;
        VariantInit(&v);
        DWORD quality = 0;
        HRESULT hr = (i % 2) ? cb->ReadAt(nullptr, At(12, 0, i % 60), &v, &quality)
                             : cb->ReadProcessed(nullptr, 3, nullptr, nullptr, &v, &quality);
        if (hr != S_OK || !InRange(v)) ++bad;
        (i == 0 ? first : last) = v.fltVal;
    }
    return bad == 0 && first != last ? 0 : 1;
}

TEST(Maplet1Values, EveryThreadGetsValuesWithinRange) {
    CMaplet1Callback cb;
    HANDLE threads[6];
    for (HANDLE &t : threads) {
        t = CreateThread(nullptr, 0, ReadManyValues, &cb, 0, nullptr);
        ASSERT_NE(t, nullptr);
    }
    WaitForMultipleObjects(6, threads, TRUE, INFINITE);
    for (HANDLE t : threads) {
        DWORD code = 99;
        GetExitCodeThread(t, &code);
        EXPECT_EQ(code, 0u);
        CloseHandle(t);
    }
}

TEST(Maplet1Attributes, FixedAttributesAndTheStampLeftAlone) {
    CMaplet1Callback cb;
    FILETIME stamp = {0x1234, 0x5678};
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(cb.ReadCurrentAttribute(Handle(1), 1, &stamp, &v), S_OK);
    EXPECT_EQ(v.vt, VT_I2);
    EXPECT_EQ(v.iVal, VT_R4);
    ASSERT_EQ(cb.ReadCurrentAttribute(Handle(1), 2, &stamp, &v), S_OK);
    EXPECT_EQ(Str(v), L"Random Floating Point Values");
    ASSERT_EQ(cb.ReadCurrentAttribute(Handle(1), 3, &stamp, &v), S_OK);
    EXPECT_EQ(Str(v), L"Counts");
    VariantClear(&v);
    EXPECT_EQ(stamp.dwLowDateTime, 0x1234u);
    EXPECT_EQ(stamp.dwHighDateTime, 0x5678u);
}

TEST(Maplet1Attributes, ItemIdComesFromTheGivenHandles) {
    CMaplet1Callback cb;
    for (int i = 0; i < kItemCount; ++i) cb.SetItemHandle(i, 101 + i);
    const wchar_t *expected[] = {L"A.A.A", L"A.A.B", L"A.A.C", L"A.B.A", L"A.B.B",
                                 L"A.B.C", L"A.C.A", L"A.C.B", L"A.C.C"};
    FILETIME stamp{};
    VARIANT v;
    VariantInit(&v);
    for (int i = 0; i < kItemCount; ++i) {
        ASSERT_EQ(cb.ReadCurrentAttribute(Handle(101 + i), 13, &stamp, &v), S_OK);
        EXPECT_EQ(Str(v), expected[i]);
        VariantClear(&v);
    }
    ASSERT_EQ(cb.ReadCurrentAttribute(Handle(100), 13, &stamp, &v), S_OK);
    EXPECT_EQ(Str(v), L"UNKNOWN Item");
    VariantClear(&v);
    // A handle above 32 bits is not the 32-bit handle it ends with.
    if (sizeof(void *) > 4) {
        const uintptr_t wide = static_cast<uintptr_t>(0x100000000ull | 101);
        ASSERT_EQ(cb.ReadCurrentAttribute(Handle(wide), 13, &stamp, &v), S_OK);
        EXPECT_EQ(Str(v), L"UNKNOWN Item");
        VariantClear(&v);
    }
}

TEST(Maplet1Attributes, NoHandleMatchesBeforeTheItemsAreDefined) {
    CMaplet1Callback cb;
    cb.SetItemHandle(0, 0xFFFFFFFF);  // a definition that failed
    FILETIME stamp{};
    VARIANT v;
    VariantInit(&v);
    for (uintptr_t h : {uintptr_t(0), uintptr_t(1), uintptr_t(0xFFFFFFFF)}) {
        ASSERT_EQ(cb.ReadCurrentAttribute(Handle(h), 13, &stamp, &v), S_OK);
        EXPECT_EQ(Str(v), L"UNKNOWN Item") << h;
        VariantClear(&v);
    }
}

TEST(Maplet1Attributes, UnknownIdFailsAndLeavesTheValue) {
    CMaplet1Callback cb;
    FILETIME stamp{};
    for (DWORD id : {0u, 4u, 12u, 14u}) {
        VARIANT v;
        v.vt = VT_I4;
        v.lVal = 4711;
        EXPECT_EQ(cb.ReadCurrentAttribute(Handle(1), id, &stamp, &v), kInvalidAttrId) << id;
        EXPECT_EQ(cb.ReadAttributeAt(Handle(1), id, At(12, 0, 0), &v), kInvalidAttrId) << id;
        EXPECT_EQ(v.vt, VT_I4);
        EXPECT_EQ(v.lVal, 4711);
    }
}

TEST(Maplet1Attributes, AtTimeGivesTheCurrentValueWithItsCode) {
    CMaplet1Callback cb;
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(cb.ReadAttributeAt(Handle(1), 3, At(12, 0, 0), &v), kCurrentValue);
    EXPECT_EQ(Str(v), L"Counts");
    VariantClear(&v);

    // It asks ReadCurrentAttribute through the virtual table.
    struct Failing : CMaplet1Callback {
        HRESULT ReadCurrentAttribute(void *, DWORD, FILETIME *, VARIANT *) override {
            return E_ACCESSDENIED;
        }
    } failing;
    EXPECT_EQ(failing.ReadAttributeAt(Handle(1), 3, At(12, 0, 0), &v), E_ACCESSDENIED);
    EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST(Maplet1Aggregates, AverageIsARandomCalculatedValue) {
    CMaplet1Callback cb;
    FILETIME a = At(12, 0, 0), b = At(12, 1, 0);
    VARIANT v;
    VariantInit(&v);
    DWORD quality = 0;
    ASSERT_EQ(cb.ReadProcessed(nullptr, 3, &a, &b, &v, &quality), S_OK);
    EXPECT_TRUE(InRange(v));
    EXPECT_EQ(quality, 8u);
}

float Count(CMaplet1Callback &cb, FILETIME a, FILETIME b) {
    VARIANT v;
    VariantInit(&v);
    DWORD quality = 0;
    EXPECT_EQ(cb.ReadProcessed(nullptr, 5, &a, &b, &v, &quality), S_OK);
    EXPECT_EQ(quality, 8u);
    EXPECT_EQ(v.vt, VT_R4);
    return v.fltVal;
}

TEST(Maplet1Aggregates, CountIsTheNumberOfStampsUpToOneHundred) {
    CMaplet1Callback cb;
    EXPECT_EQ(Count(cb, At(12, 0, 0), At(12, 1, 0)), 4.0f);
    EXPECT_EQ(Count(cb, At(12, 1, 0), At(12, 0, 0)), 4.0f);
    EXPECT_EQ(Count(cb, At(12, 0, 0), At(12, 0, 14)), 0.0f);
    // An hour holds 240 stamps.
    EXPECT_EQ(Count(cb, At(12, 0, 0), At(13, 0, 0)), 100.0f);

    // The count comes from GetTimeStamps through the virtual table, asked
    // for at most 100.
    struct Scripted : CMaplet1Callback {
        long asked = 0;
        long GetTimeStamps(void *, FILETIME *, FILETIME *, long maxCount, FILETIME *) override {
            asked = maxCount;
            return 7;
        }
    } scripted;
    EXPECT_EQ(Count(scripted, At(12, 0, 0), At(12, 1, 0)), 7.0f);
    EXPECT_EQ(scripted.asked, 100);
}

TEST(Maplet1Aggregates, OtherAggregatesAreNotAvailable) {
    CMaplet1Callback cb;
    FILETIME a = At(12, 0, 0), b = At(12, 1, 0);
    for (DWORD id : {0u, 1u, 2u, 4u, 6u}) {
        VARIANT v;
        v.vt = VT_I4;
        v.lVal = 4711;
        DWORD quality = 77;
        EXPECT_EQ(cb.ReadProcessed(nullptr, id, &a, &b, &v, &quality), kNotAvail) << id;
        EXPECT_EQ(v.vt, VT_I4);
        EXPECT_EQ(v.lVal, 4711);
        EXPECT_EQ(quality, 77u);
    }
}

}  // namespace
