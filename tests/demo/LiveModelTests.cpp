// The main view's model without the window: the trend's stamps and values
// from a history source on the demo's grid, and the connection list of the
// toolkit started in this process, followed through connects, a read and
// releases.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Halvex.h"
#include "LiveModel.h"
#include "Maplet1Callback.h"
#include "opccomn.h"
#include "opchda.h"
#include "support/TestIds.h"

namespace {

using namespace maplet1;

constexpr DWORD kWaitMs = 5000;
constexpr ULONGLONG kFiveMinutes = 5 * 60 * kSecond;

// 5 March 2024, UTC.
FILETIME At(int hour, int minute, int second) {
    SYSTEMTIME st = {2024, 3, 2, 5, WORD(hour), WORD(minute), WORD(second), 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

SYSTEMTIME Calendar(ULONGLONG ticks) {
    const FILETIME ft = FromTicks(ticks);
    SYSTEMTIME st = {};
    FileTimeToSystemTime(&ft, &st);
    return st;
}

// The demo's grid, with a value that tells its stamp: minute * 100 + second
// (12:03:15 gives 315). Every stamp at second 0 of 12:00 fails with a success
// code, which counts as a failure.
class ScriptedSource : public CMaplet1Callback {
public:
    HRESULT ReadAt(void *item, FILETIME time, VARIANT *value, DWORD *quality) override {
        reads.push_back(item);
        SYSTEMTIME st;
        FileTimeToSystemTime(&time, &st);
        if (st.wHour == 12 && st.wMinute == 0 && st.wSecond == 0) return 0x40041002;
        value->vt = VT_R4;
        value->fltVal = static_cast<float>(st.wMinute * 100 + st.wSecond);
        *quality = kQualityRaw;
        return S_OK;
    }
    std::vector<void *> reads;  // the item of each call
};

// "hh:mm:ss=value" for each point.
std::vector<std::string> Points(const TrendSeries &series) {
    std::vector<std::string> out;
    for (const TrendPoint &p : series.points) {
        const SYSTEMTIME st = Calendar(p.stamp);
        char text[32];
        snprintf(text, sizeof text, "%02u:%02u:%02u=%g", st.wHour, st.wMinute, st.wSecond,
                 p.value);
        out.push_back(text);
    }
    return out;
}

void *Item(uintptr_t handle) { return reinterpret_cast<void *>(handle); }

// 12:03:07 with five minutes: 11:58:07 rounds up to 11:58:15 and 12:03:07
// down to 12:03:00, 20 stamps; 12:00:00 has no value. 15 s later the window
// gained 12:03:15 and lost 11:58:15, and only the new stamp (and the one
// without a value) is asked again.
TEST(LiveModelTrend, StampsOfTheWindowOnTheGridWithTheSourcesValues) {
    ScriptedSource source;
    LiveModel model(source, {{Item(101), "A.A.A"}, {Item(102), "A.A.B"}}, nullptr, kFiveMinutes);
    model.Refresh(At(12, 3, 7));
    const std::vector<std::string> first = {
        "11:58:15=5815", "11:58:30=5830", "11:58:45=5845", "11:59:00=5900", "11:59:15=5915",
        "11:59:30=5930", "11:59:45=5945", "12:00:15=15",   "12:00:30=30",   "12:00:45=45",
        "12:01:00=100",  "12:01:15=115",  "12:01:30=130",  "12:01:45=145",  "12:02:00=200",
        "12:02:15=215",  "12:02:30=230",  "12:02:45=245",  "12:03:00=300"};
    ASSERT_EQ(2u, model.Series().size());
    EXPECT_EQ("A.A.A", model.Series()[0].name);
    EXPECT_EQ("A.A.B", model.Series()[1].name);
    EXPECT_EQ(first, Points(model.Series()[0]));
    EXPECT_EQ(first, Points(model.Series()[1]));
    EXPECT_EQ(40u, source.reads.size());
    EXPECT_EQ(0, model.ConnectionCount());

    source.reads.clear();
    model.Refresh(At(12, 3, 22));
    std::vector<std::string> second(first.begin() + 1, first.end());
    second.push_back("12:03:15=315");
    EXPECT_EQ(second, Points(model.Series()[0]));
    EXPECT_EQ(second, Points(model.Series()[1]));
    EXPECT_EQ(std::vector<void *>({Item(101), Item(101), Item(102), Item(102)}), source.reads);
}

// Set by the toolkit's disconnect notification.
HANDLE g_released = nullptr;

void __stdcall OnReleased(int) { SetEvent(g_released); }

template <class T>
void **Out(T **p) {
    return reinterpret_cast<void **>(p);
}

IUnknown *Connect() {
    IClassFactory *factory = nullptr;
    IUnknown *server = nullptr;
    if (SUCCEEDED(CoGetClassObject(testids::kInprocClsid, CLSCTX_LOCAL_SERVER, nullptr,
                                   IID_IClassFactory, Out(&factory)))) {
        factory->CreateInstance(nullptr, IID_IUnknown, Out(&server));
        factory->Release();
    }
    return server;
}

HRESULT SetClientName(IUnknown *server, const wchar_t *name) {
    IOPCCommon *common = nullptr;
    HRESULT hr = server->QueryInterface(IID_IOPCCommon, Out(&common));
    if (FAILED(hr)) return hr;
    hr = common->SetClientName(name);
    common->Release();
    return hr;
}

// One synchronous ReadRaw of A.A.A over half a minute; frees what it got.
HRESULT ReadOnce(IUnknown *server) {
    IOPCHDA_Server *items = nullptr;
    IOPCHDA_SyncRead *sync = nullptr;
    HRESULT hr = server->QueryInterface(IID_IOPCHDA_Server, Out(&items));
    if (FAILED(hr)) return hr;
    LPWSTR ids[] = {const_cast<LPWSTR>(L"A.A.A")};
    OPCHANDLE client = 1, *handles = nullptr;
    HRESULT *errors = nullptr;
    hr = items->GetItemHandles(1, ids, &client, &handles, &errors);
    items->Release();
    if (FAILED(hr)) return hr;
    CoTaskMemFree(errors);
    hr = server->QueryInterface(IID_IOPCHDA_SyncRead, Out(&sync));
    if (SUCCEEDED(hr)) {
        OPCHDA_TIME from = {FALSE, nullptr, At(12, 0, 0)}, to = {FALSE, nullptr, At(12, 0, 30)};
        OPCHDA_ITEM *values = nullptr;
        hr = sync->ReadRaw(&from, &to, 0, FALSE, 1, handles, &values, &errors);
        sync->Release();
        if (SUCCEEDED(hr)) {
            for (DWORD i = 0; i < values[0].dwCount; ++i) VariantClear(&values[0].pvDataValues[i]);
            CoTaskMemFree(values[0].pftTimeStamps);
            CoTaskMemFree(values[0].pdwQualities);
            CoTaskMemFree(values[0].pvDataValues);
            CoTaskMemFree(values);
            CoTaskMemFree(errors);
        }
    }
    CoTaskMemFree(handles);
    return hr;
}

// Releases the connection and waits until the toolkit reports it gone.
bool Release(IUnknown *server) {
    ResetEvent(g_released);
    server->Release();
    return WaitForSingleObject(g_released, kWaitMs) == WAIT_OBJECT_0;
}

FILETIME Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return now;
}

TEST(LiveModelConnections, CountAndCountersFollowConnectsReadsAndReleases) {
    ScriptedSource unused;
    LiveModel model(unused, {}, GetHDAConnections, kFiveMinutes);
    IUnknown *first = Connect();
    ASSERT_NE(nullptr, first);
    IUnknown *second = Connect();
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(S_OK, SetClientName(first, L"live model test"));
    EXPECT_EQ(S_OK, ReadOnce(first));

    model.Refresh(Now());
    EXPECT_EQ(2, model.ConnectionCount());
    ASSERT_EQ(2u, model.Connections().size());
    const ConnectionRow a = model.Connections()[0], b = model.Connections()[1];
    EXPECT_EQ("live model test", a.clientName);
    EXPECT_EQ(1u, a.reads);
    EXPECT_EQ(0u, a.advises);
    EXPECT_EQ("", b.clientName);
    EXPECT_EQ(0u, b.reads + b.advises);
    EXPECT_LT(a.id, b.id) << "oldest first";

    ASSERT_TRUE(Release(second)) << "no disconnect notification";
    model.Refresh(Now());
    EXPECT_EQ(1, model.ConnectionCount());
    ASSERT_EQ(1u, model.Connections().size());
    EXPECT_EQ(a.id, model.Connections()[0].id);
    EXPECT_EQ(1u, model.Connections()[0].reads);

    ASSERT_TRUE(Release(first)) << "no disconnect notification";
    model.Refresh(Now());
    EXPECT_EQ(0, model.ConnectionCount());
    EXPECT_TRUE(model.Connections().empty());
}

}  // namespace

int main(int argc, char **argv) {
    g_released = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    static CMaplet1Callback source;
    for (int i = 0; i < kItemCount; ++i) source.SetItemHandle(i, DefineHDAItem(kItemNames[i]));
    SetHDAServerCallback(&source);
    InitHalvex(testids::kInprocClsid, 100);
    EnableHDADisconnectNotification(OnReleased);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
