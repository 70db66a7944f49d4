// Queued reads and advises of a server object, in process through the class
// object: argument checks, what each kind delivers, the queue's behaviour
// across passes, re-entrant sinks, and the result memory after delivery.
// History: GridSource (values on a 10 s grid; item "C" has none), 50 ms tick.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <string>
#include <vector>

#include "Halvex.h"
#include "opccomn.h"
#include "opchda.h"
#include "server/GridSource.h"
#include "support/EventLog.h"
#include "support/MallocSpyBase.h"
#include "support/RecordingSink.h"
#include "support/TestIds.h"

using testsupport::DeliveryCopy;
using testsupport::EventRecorder;
using testsupport::RecordingSink;
using Texts = std::vector<std::string>;

namespace {

constexpr UINT kTickMs = 50;
constexpr DWORD kWaitMs = 5000;
constexpr ULONGLONG S = GridSource::kStep;  // 10 s
// A grid point whose value index (stamp / 10 s mod 1000) is 0.
constexpr ULONGLONG T0 = 1320000000ull * S;
constexpr HRESULT kInvalidHandle = static_cast<HRESULT>(0xC0040001);
constexpr HRESULT kMaxExceeded = static_cast<HRESULT>(0xC0041001);
constexpr HRESULT kInvalidAttrId = static_cast<HRESULT>(0xC004100C);
constexpr HRESULT kNoData = 0x40041002;
constexpr HRESULT kMoreData = 0x40041003;
constexpr OPCHANDLE kBadHandle = 0xBAD;

testsupport::OutstandingAllocations g_spy;
OPCHANDLE g_items[3];  // "A", "B", "C"

FILETIME Ft(ULONGLONG t) { return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)}; }
OPCHDA_TIME At(ULONGLONG t) { return OPCHDA_TIME{FALSE, nullptr, Ft(t)}; }
ULONGLONG Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

template <class T>
void **Out(T **p) {
    return reinterpret_cast<void **>(p);
}

// A new server object through the registered class object.
HRESULT CreateServerObject(REFIID iid, void **out) {
    IClassFactory *factory = nullptr;
    HRESULT hr = CoGetClassObject(testids::kInprocClsid, CLSCTX_LOCAL_SERVER, nullptr,
                                  IID_IClassFactory, reinterpret_cast<void **>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(nullptr, iid, out);
    factory->Release();
    return hr;
}

// One server object with the sink advised and the three items' handles
// (client handles 11, 12, 13).
class AsyncReads : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, CreateServerObject(IID_IUnknown, Out(&unknown_)));
        ASSERT_EQ(S_OK, unknown_->QueryInterface(IID_IOPCHDA_AsyncRead, Out(&async_)));
        IOPCHDA_Server *server = nullptr;
        ASSERT_EQ(S_OK, unknown_->QueryInterface(IID_IOPCHDA_Server, Out(&server)));
        LPWSTR ids[] = {const_cast<LPWSTR>(L"A"), const_cast<LPWSTR>(L"B"),
                        const_cast<LPWSTR>(L"C")};
        OPCHANDLE clients[] = {11, 12, 13}, *handles = nullptr;
        HRESULT *errors = nullptr;
        ASSERT_EQ(S_OK, server->GetItemHandles(3, ids, clients, &handles, &errors));
        for (int i = 0; i < 3; ++i) hA_[i] = handles[i];
        CoTaskMemFree(handles);
        CoTaskMemFree(errors);
        server->Release();
        ASSERT_EQ(S_OK, unknown_->QueryInterface(IID_IConnectionPointContainer, Out(&container_)));
        ASSERT_EQ(S_OK, container_->FindConnectionPoint(IID_IOPCHDA_DataCallback, &point_));
        DWORD cookie = 0;
        ASSERT_EQ(S_OK, point_->Advise(static_cast<IOPCShutdown *>(&sink_), &cookie));
        baseline_ = g_spy.Count();
        EventRecorder::Instance().Clear();
    }
    void TearDown() override { ReleaseAll(); }

    void ReleaseRefs() {
        for (IUnknown **p : {reinterpret_cast<IUnknown **>(&point_),
                             reinterpret_cast<IUnknown **>(&container_),
                             reinterpret_cast<IUnknown **>(&async_), &unknown_}) {
            if (*p) (*p)->Release();
            *p = nullptr;
        }
    }
    // Gives up every reference and waits until the object is gone, which
    // releases the sink; the sink must not be destroyed before that.
    void ReleaseAll() {
        ReleaseRefs();
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sink_.backToOne, kWaitMs));
    }

    // ReadRaw of [start, end] with no limit; returns the cancel ID.
    DWORD ReadRaw(DWORD transaction, std::vector<OPCHANDLE> items, ULONGLONG start = T0,
                  ULONGLONG end = T0 + 2 * S, DWORD max = 0) {
        OPCHDA_TIME from = At(start), to = At(end);
        DWORD cancel = 0;
        HRESULT *errors = nullptr;
        HRESULT hr = async_->ReadRaw(transaction, &from, &to, max, FALSE,
                                     static_cast<DWORD>(items.size()), items.data(), &cancel,
                                     &errors);
        EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
        CoTaskMemFree(errors);
        return cancel;
    }
    DWORD AdviseRaw(DWORD transaction, std::vector<OPCHANDLE> items, ULONGLONG start,
                    ULONGLONG interval) {
        OPCHDA_TIME from = At(start);
        DWORD cancel = 0;
        HRESULT *errors = nullptr;
        EXPECT_EQ(S_OK, async_->AdviseRaw(transaction, &from, Ft(interval),
                                          static_cast<DWORD>(items.size()), items.data(),
                                          &cancel, &errors));
        CoTaskMemFree(errors);
        return cancel;
    }
    std::vector<DeliveryCopy> WaitDeliveries(size_t n) {
        EXPECT_TRUE(sink_.WaitFor(n, kWaitMs)) << "waiting for " << n << " deliveries";
        return sink_.Deliveries();
    }

    RecordingSink sink_;
    IUnknown *unknown_ = nullptr;
    IOPCHDA_AsyncRead *async_ = nullptr;
    IConnectionPointContainer *container_ = nullptr;
    IConnectionPoint *point_ = nullptr;
    OPCHANDLE hA_[3] = {};
    LONG baseline_ = 0;
};

TEST_F(AsyncReads, ArgumentChecksReturnAtOnceAfterTheirText) {
    OPCHANDLE h[] = {hA_[0]};
    OPCHDA_TIME start = At(T0), end = At(T0 + S), bad = {TRUE, const_cast<LPWSTR>(L"NOPE"), {}};
    FILETIME stamps[] = {Ft(T0)}, minute = Ft(6 * S), zero = {}, negative = {0, 0x80000000};
    DWORD ids[] = {1}, aggregates[] = {5}, cancel = 0;
    HRESULT *errors = nullptr;
    IOPCHDA_AsyncRead *r = async_;
    struct Case {
        const char *name, *text;
        HRESULT expected;
        std::function<HRESULT()> call;
    } cases[] = {
        {"raw no items", "IHDA_ASyncRead::ReadRaw()", E_INVALIDARG,
         [&] { return r->ReadRaw(1, &start, &end, 0, FALSE, 0, h, &cancel, &errors); }},
        {"raw over 5000", "IHDA_ASyncRead::ReadRaw()", kMaxExceeded,
         [&] { return r->ReadRaw(1, &start, &end, 5001, FALSE, 1, h, &cancel, &errors); }},
        {"raw one end, no count", "IHDA_ASyncRead::ReadRaw()", E_INVALIDARG,
         [&] { return r->ReadRaw(1, &start, &bad, 0, FALSE, 1, h, &cancel, &errors); }},
        {"raw no cancel ID", "IHDA_ASyncRead::ReadRaw()", E_INVALIDARG,
         [&] { return r->ReadRaw(1, &start, &end, 0, FALSE, 1, h, nullptr, &errors); }},
        {"advise bad start", "IHDA_SyncRead::AdviseRaw()", E_INVALIDARG,
         [&] { return r->AdviseRaw(1, &bad, minute, 1, h, &cancel, &errors); }},
        {"advise interval 0", "IHDA_SyncRead::AdviseRaw()", E_INVALIDARG,
         [&] { return r->AdviseRaw(1, &start, zero, 1, h, &cancel, &errors); }},
        {"advise negative interval", "IHDA_SyncRead::AdviseRaw()", E_INVALIDARG,
         [&] { return r->AdviseRaw(1, &start, negative, 1, h, &cancel, &errors); }},
        {"processed no end", "IHDA_SyncRead::ReadProcessed()", E_INVALIDARG,
         [&] { return r->ReadProcessed(1, &start, nullptr, zero, 1, h, aggregates, &cancel,
                                       &errors); }},
        {"processed 5001 intervals", "IHDA_SyncRead::ReadProcessed()", kMaxExceeded,
         [&] {
             OPCHDA_TIME late = At(T0 + 5001 * S);
             return r->ReadProcessed(1, &start, &late, Ft(S), 1, h, aggregates, &cancel, &errors);
         }},
        {"at time no stamps", "IHDA_ASyncRead::ReadAtTime()", E_INVALIDARG,
         [&] { return r->ReadAtTime(1, 0, stamps, 1, h, &cancel, &errors); }},
        {"attribute unknown item", "IHDA_ASyncRead::ReadAttribute()", kInvalidHandle,
         [&] { return r->ReadAttribute(1, &start, nullptr, kBadHandle, 1, ids, &cancel,
                                       &errors); }},
        {"attribute no start", "IHDA_ASyncRead::ReadAttribute()", E_INVALIDARG,
         [&] { return r->ReadAttribute(1, nullptr, nullptr, hA_[0], 1, ids, &cancel,
                                       &errors); }},
        {"advise processed", "IHDA_SyncRead::AdviseProcessed()", E_NOTIMPL,
         [&] { return r->AdviseProcessed(1, &start, minute, 1, h, aggregates, 1, &cancel,
                                         &errors); }},
        {"read modified", "IHDA_ASyncRead::ReadModified()", E_NOTIMPL,
         [&] { return r->ReadModified(1, &start, &end, 0, 1, h, &cancel, &errors); }},
        {"cancel made-up ID", "IHDA_ASyncRead::Cancel()", S_OK,
         [&] { return r->Cancel(0x5EED); }},
    };
    for (Case &c : cases) {
        // A refused call leaves no stale outputs (the stubs take no part).
        errors = reinterpret_cast<HRESULT *>(1);
        cancel = 77;
        EXPECT_EQ(c.expected, c.call()) << c.name;
        if (c.expected != E_NOTIMPL && c.expected != S_OK) {
            EXPECT_EQ(nullptr, errors) << c.name;
            const bool cancelOut = std::string(c.name) != "raw no cancel ID";
            EXPECT_EQ(cancelOut ? 0u : 77u, cancel) << c.name;
        }
        EXPECT_EQ(Texts({c.text}), EventRecorder::Instance().Take()) << c.name;
    }
}

TEST_F(AsyncReads, ReadBeforeAnyContainerHasNoConnection) {
    IOPCHDA_AsyncRead *fresh = nullptr;
    ASSERT_EQ(S_OK, CreateServerObject(IID_IOPCHDA_AsyncRead, Out(&fresh)));
    OPCHDA_TIME start = At(T0), end = At(T0 + S);
    DWORD cancel = 0;
    HRESULT *errors = reinterpret_cast<HRESULT *>(1);
    EXPECT_EQ(CONNECT_E_NOCONNECTION,
              fresh->ReadRaw(1, &start, &end, 0, FALSE, 1, &hA_[0], &cancel, &errors));
    EXPECT_EQ(nullptr, errors);
    fresh->Release();
}

// What a live view reads of each connection: oldest first, the client's name
// cut to 63 bytes, accepted reads and advises; a refused call counts nothing.
// (Synchronous reads and releases: the demo's live-model test.)
TEST_F(AsyncReads, ConnectionListCountsAcceptedReadsAndAdvises) {
    HDAConnectionInfo none[1];
    EXPECT_EQ(-1, GetHDAConnections(nullptr, 1));
    EXPECT_EQ(-1, GetHDAConnections(none, -1));
    EXPECT_EQ(1, GetHDAConnections(nullptr, 0));

    IOPCCommon *common = nullptr;
    ASSERT_EQ(S_OK, unknown_->QueryInterface(IID_IOPCCommon, Out(&common)));
    EXPECT_EQ(S_OK, common->SetClientName(std::wstring(70, L'n').c_str()));
    common->Release();
    OPCHDA_TIME from = At(T0), to = At(T0 + S);
    DWORD cancel = 0;
    HRESULT *errors = nullptr;
    EXPECT_EQ(E_INVALIDARG, async_->ReadRaw(9, &from, &to, 0, FALSE, 0, hA_, &cancel, &errors));
    ReadRaw(1, {hA_[0]});
    AdviseRaw(2, {hA_[0]}, Now(), 10000000);

    IUnknown *second = nullptr;
    ASSERT_EQ(S_OK, CreateServerObject(IID_IUnknown, Out(&second)));
    HDAConnectionInfo infos[3] = {};
    ASSERT_EQ(2, GetHDAConnections(infos, 1));
    ASSERT_EQ(2, GetHDAConnections(infos, 3));
    EXPECT_EQ(std::string(63, 'n'), infos[0].clientName);
    EXPECT_EQ(1u, infos[0].reads);
    EXPECT_EQ(1u, infos[0].advises);
    EXPECT_EQ(infos[0].id + 1, infos[1].id);
    EXPECT_EQ(std::string(), infos[1].clientName);
    EXPECT_EQ(0u, infos[1].reads + infos[1].advises);
    EXPECT_EQ(0u, infos[2].id) << "only live connections are written";
    second->Release();
}

TEST_F(AsyncReads, EachKindDeliversWhatItsReadGathers) {
    // Raw with an unknown handle among three: reported by the method and again
    // at delivery, with data for the others.
    OPCHDA_TIME from = At(T0), to = At(T0 + 2 * S);
    OPCHANDLE three[] = {hA_[0], kBadHandle, hA_[1]};
    DWORD cancel[5] = {};
    HRESULT *errors = nullptr;
    ASSERT_EQ(S_FALSE, async_->ReadRaw(1, &from, &to, 0, FALSE, 3, three, &cancel[0], &errors));
    EXPECT_EQ((std::vector<HRESULT>{S_OK, kInvalidHandle, S_OK}),
              std::vector<HRESULT>(errors, errors + 3));
    CoTaskMemFree(errors);
    // A raw read cut short by its limit: more data, so hrStatus S_FALSE.
    cancel[1] = ReadRaw(2, {hA_[0]}, T0, T0 + 2 * S, 2);
    // At two times; "C" has no values (empty, quality 32) but no error.
    FILETIME stamps[] = {Ft(T0 + S / 2), Ft(T0 + S)};
    OPCHANDLE ac[] = {hA_[0], hA_[2]};
    ASSERT_EQ(S_OK, async_->ReadAtTime(3, 2, stamps, 2, ac, &cancel[2], &errors));
    CoTaskMemFree(errors);
    // Count per 10 s interval over 30 s: one grid stamp each.
    OPCHDA_TIME end3 = At(T0 + 3 * S);
    DWORD count[] = {5};
    ASSERT_EQ(S_OK, async_->ReadProcessed(4, &from, &end3, Ft(S), 1, &hA_[0], count, &cancel[3],
                                          &errors));
    CoTaskMemFree(errors);
    // Current attributes: data type (VT_R8 = 5), item ID (a string), unknown.
    DWORD attributes[] = {1, 13, 99};
    ASSERT_EQ(S_OK, async_->ReadAttribute(5, &from, nullptr, hA_[1], 3, attributes, &cancel[4],
                                          &errors));
    EXPECT_EQ((std::vector<HRESULT>{S_OK, S_OK, S_OK}), std::vector<HRESULT>(errors, errors + 3));
    CoTaskMemFree(errors);
    for (int i = 0; i < 5; ++i) {
        EXPECT_NE(0u, cancel[i]);
        for (int j = 0; j < i; ++j) EXPECT_NE(cancel[j], cancel[i]);
    }

    std::vector<DeliveryCopy> got = WaitDeliveries(5);
    ASSERT_EQ(5u, got.size());
    // Delivered in queue order.
    const DeliveryCopy &raw = got[0];
    EXPECT_EQ(DeliveryCopy::kReadComplete, raw.method);
    EXPECT_EQ(1u, raw.transaction);
    EXPECT_EQ(S_FALSE, raw.status);
    EXPECT_EQ((std::vector<HRESULT>{S_OK, kInvalidHandle, S_OK}), raw.errors);
    EXPECT_EQ((std::vector<DWORD>{11, 0, 12}),
              (std::vector<DWORD>{raw.items[0].client, raw.items[1].client, raw.items[2].client}));
    EXPECT_EQ((std::vector<ULONGLONG>{T0, T0 + S, T0 + 2 * S}), raw.items[0].stamps);
    EXPECT_EQ((std::vector<double>{0, 1, 2}), raw.items[0].values);
    EXPECT_EQ((std::vector<DWORD>{4, 4, 4}), raw.items[0].qualities);
    EXPECT_TRUE(raw.items[1].values.empty());
    EXPECT_EQ((std::vector<double>{1000, 1001, 1002}), raw.items[2].values);

    EXPECT_EQ(2u, got[1].transaction);
    EXPECT_EQ(S_FALSE, got[1].status);
    EXPECT_EQ(std::vector<HRESULT>{kMoreData}, got[1].errors);
    EXPECT_EQ((std::vector<double>{0, 1}), got[1].items[0].values);

    EXPECT_EQ(3u, got[2].transaction);
    EXPECT_EQ(S_OK, got[2].status);
    EXPECT_EQ((std::vector<ULONGLONG>{T0 + S / 2, T0 + S}), got[2].items[0].stamps);
    EXPECT_EQ((std::vector<double>{0, 1}), got[2].items[0].values);
    EXPECT_EQ((std::vector<DWORD>{2, 4}), got[2].items[0].qualities);
    EXPECT_EQ((std::vector<DWORD>{32, 32}), got[2].items[1].qualities);
    EXPECT_EQ((std::vector<double>{-1, -1}), got[2].items[1].values);

    EXPECT_EQ(4u, got[3].transaction);
    EXPECT_EQ(S_OK, got[3].status);
    EXPECT_EQ((std::vector<double>{1, 1, 1}), got[3].items[0].values);

    const DeliveryCopy &attr = got[4];
    EXPECT_EQ(DeliveryCopy::kAttributeComplete, attr.method);
    EXPECT_EQ(5u, attr.transaction);
    EXPECT_EQ(S_FALSE, attr.status);
    EXPECT_EQ(12u, attr.client);
    EXPECT_EQ((std::vector<HRESULT>{S_OK, S_OK, kInvalidAttrId}), attr.errors);
    EXPECT_EQ(std::vector<double>{5}, attr.items[0].values);
    EXPECT_EQ(12u, attr.items[1].client);
    EXPECT_EQ(1u, attr.items[1].values.size());

    // Every result array a delivery handed out was freed after the sink
    // returned; the queue holds nothing once the object is gone.
    ReleaseAll();
    EXPECT_EQ(baseline_, g_spy.Count());
}

TEST_F(AsyncReads, ReadWithContainerButNoSinkIsDiscardedAtThePass) {
    ASSERT_EQ(S_OK, point_->Unadvise(1));
    ReadRaw(1, {hA_[0]});
    const char kRelease[] = "HDAServer::Release(5)";
    ASSERT_TRUE(EventRecorder::Instance().WaitFor(kRelease, kWaitMs));
    // The pass looks for the sink through the container, holding the point
    // for the turn: the object's count (4) goes up by one and back.
    EXPECT_EQ(Texts({"IHDA_ASyncRead::ReadRaw()",
                     "CIHDASvrConnectionContainer::FindConnectionPoint IID_IOPCHDA_DataCallback",
                     "CHDACallbackConnectionPoint::AddRef() [defered to OPCServerConnectionContainer]",
                     "OPCServerConnectionContainer::AddRef() [defered to OPCServer]",
                     "HDAServer::AddRef(5)",
                     "CHDACallbackConnectionPoint::Release() [defered to OPCServerConnectionContainer]",
                     "OPCServerConnectionContainer::Release() [defered to OPCServer]", kRelease}),
              EventRecorder::Instance().Take());
    // Advised again, the sink gets only the read made after.
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, point_->Advise(static_cast<IOPCShutdown *>(&sink_), &cookie));
    ReadRaw(2, {hA_[0]});
    std::vector<DeliveryCopy> got = WaitDeliveries(1);
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(2u, got[0].transaction);
}

// While a pass is inside the sink's call for transaction 100 (with the
// queue unlocked), the test queues, cancels and releases as it likes;
// requests queued then wait for the next pass, so nothing here races the
// tick. `next` runs inside the sink for every other delivery.
class HeldPass : public AsyncReads {
protected:
    void SetUp() override {
        AsyncReads::SetUp();
        inside_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        go_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        sink_.during = [this](const DeliveryCopy &d) {
            if (d.transaction != kHeld) {
                if (next) next(d);
                return;
            }
            SetEvent(inside_);
            WaitForSingleObject(go_, kWaitMs);
        };
        ReadRaw(kHeld, {hA_[0]});
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(inside_, kWaitMs));
    }
    void TearDown() override {
        SetEvent(go_);
        AsyncReads::TearDown();
        CloseHandle(inside_);
        CloseHandle(go_);
    }
    std::vector<DWORD> Transactions() {
        std::vector<DWORD> out;
        for (const DeliveryCopy &d : sink_.Deliveries()) out.push_back(d.transaction);
        return out;
    }

    static constexpr DWORD kHeld = 100;
    std::function<void(const DeliveryCopy &)> next;
    HANDLE inside_ = nullptr, go_ = nullptr;
};

TEST_F(HeldPass, CancelledBeforeItsPassNeverArrives) {
    DWORD doomed = ReadRaw(2, {hA_[0]});
    EXPECT_EQ(S_OK, async_->Cancel(doomed));
    ReadRaw(3, {hA_[0]});
    SetEvent(go_);
    WaitDeliveries(2);
    EXPECT_EQ((std::vector<DWORD>{kHeld, 3}), Transactions());
}

TEST_F(HeldPass, DestroyedObjectDropsItsQueueUndeliveredAndReleasesTheSinkOnce) {
    ReadRaw(2, {hA_[0], hA_[1]});
    AdviseRaw(3, {hA_[0]}, T0, 6 * S);
    // The pass holds the point, so the object lives until the turn ends.
    ReleaseRefs();
    SetEvent(go_);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sink_.backToOne, kWaitMs));
    EXPECT_EQ(1, sink_.Refs());
    EXPECT_EQ(std::vector<DWORD>{kHeld}, Transactions());
    EXPECT_EQ(baseline_, g_spy.Count());
}

// Sinks that call back into their connection from inside a delivery.
TEST_F(HeldPass, SinkMayCancelReadAndUnadviseFromInsideItsCallback) {
    DWORD advise = AdviseRaw(1, {hA_[0]}, T0, 6 * S);  // long past: due at every pass
    ReadRaw(2, {hA_[0]});
    next = [&](const DeliveryCopy &d) {
        if (d.transaction == 1) async_->Cancel(advise);  // its own advise
        if (d.transaction == 2) ReadRaw(3, {hA_[1]});    // a new read
        if (d.transaction == 3) point_->Unadvise(1);     // its own sink
    };
    SetEvent(go_);
    // Unadvised and let go by its last turn: nothing can call it any more.
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sink_.backToOne, kWaitMs));
    EXPECT_EQ((std::vector<DWORD>{kHeld, 1, 2, 3}), Transactions());
}

TEST_F(HeldPass, SinkMayReleaseTheLastReferenceFromInsideItsCallback) {
    AdviseRaw(1, {hA_[0]}, T0, 6 * S);
    ReadRaw(2, {hA_[0]});
    next = [&](const DeliveryCopy &) { ReleaseRefs(); };
    SetEvent(go_);
    // The read queued behind the advise is never delivered.
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sink_.backToOne, kWaitMs));
    EXPECT_EQ((std::vector<DWORD>{kHeld, 1}), Transactions());
    EXPECT_EQ(baseline_, g_spy.Count());
}

TEST_F(AsyncReads, AdviseAnHourBackCatchesUpOneSharedEdgeWindowPerPass) {
    // Whole minutes, so every window holds seven grid stamps, both edges.
    const ULONGLONG start = (Now() - 360 * S) / (6 * S) * (6 * S);
    AdviseRaw(7, {hA_[0], hA_[2]}, start, 6 * S);
    AdviseRaw(8, {hA_[2]}, start, 6 * S);  // never any data
    std::vector<DeliveryCopy> got = WaitDeliveries(6);
    std::vector<DeliveryCopy> windows, empty;
    for (const DeliveryCopy &d : got) (d.transaction == 7 ? windows : empty).push_back(d);
    ASSERT_GE(windows.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        const DeliveryCopy &w = windows[k];
        EXPECT_EQ(DeliveryCopy::kDataChange, w.method);
        EXPECT_EQ(S_FALSE, w.status) << "window " << k;
        EXPECT_EQ((std::vector<HRESULT>{S_OK, kNoData}), w.errors) << "window " << k;
        std::vector<ULONGLONG> expected;
        for (ULONGLONG t = start + k * 6 * S; t <= start + (k + 1) * 6 * S; t += S)
            expected.push_back(t);
        EXPECT_EQ(expected, w.items[0].stamps) << "window " << k;
        EXPECT_TRUE(w.items[1].stamps.empty()) << "window " << k;
    }
    ASSERT_FALSE(empty.empty());
    EXPECT_EQ(S_FALSE, empty[0].status);
    EXPECT_EQ(std::vector<HRESULT>{kNoData}, empty[0].errors);
}

}  // namespace

int main(int argc, char **argv) {
    CoRegisterMallocSpy(&g_spy);
    static GridSource source;
    DefineHDAAttribute(1, "Data Type", "HDA Item Data Type", VT_I2, 0);
    DefineHDAAttribute(13, "Item ID", "HDA Item Name", VT_BSTR, 0);
    DefineHDAAggregate(5, "Count", "Number of Random Values");
    const char *names[] = {"A", "B", "C"};
    for (int i = 0; i < 3; ++i) source.AddItem(g_items[i] = DefineHDAItem(names[i]), names[i]);
    SetHDAServerCallback(&source);
    InitHalvex(testids::kInprocClsid, kTickMs);
    EnableHDAEventMsgs(EventRecorder::Sink);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
