#include "support/HostileCalls.h"

#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <mutex>
#include <random>

#include "opccomn.h"
#include "opchda.h"
#include "support/CountingSink.h"

namespace testsupport {
namespace {

// Codes by their value: the toolkit's own names stay inside it.
constexpr HRESULT kInvalidHandle = HRESULT(0xC0040001), kUnknownItemId = HRESULT(0xC0040007),
                  kInvalidItemId = HRESULT(0xC0040008), kMaxExceeded = HRESULT(0xC0041001),
                  kInvalidAttrId = HRESULT(0xC004100C), kNoData = 0x40041002,
                  kMoreData = 0x40041003, kCurrentValue = 0x40041005;
constexpr ULONGLONG kStep = 100000000ull;         // GridSource's grid: 10 s
constexpr ULONGLONG kT0 = 1320000000ull * kStep;  // a grid stamp with value index 0
constexpr LCID kLocale = 0x0800;                  // the only locale
constexpr DWORD kLimitMs = 10000, kWaitMs = 5000;  // for one call; for one wait within a call
constexpr DWORD kMarker = 0x7E57C0DE;  // the closing read; random transactions stay below 0x10000
void *const kStale = reinterpret_cast<void *>(0xDEADBEE0);  // an output the callee left alone

// What each kind of method may return, then what an entry of an error array may hold.
using Codes = std::vector<HRESULT>;
const Codes kQuery = {S_OK, E_NOINTERFACE, E_INVALIDARG, E_POINTER},
            kPlain = {S_OK, E_INVALIDARG, E_POINTER, E_OUTOFMEMORY},
            kList = {S_OK, S_FALSE, E_INVALIDARG, E_POINTER, E_OUTOFMEMORY},
            kSync = {S_OK, S_FALSE, E_INVALIDARG, E_POINTER, E_OUTOFMEMORY, kMaxExceeded},
            kSyncAttribute = {S_OK,          S_FALSE,      E_INVALIDARG,  E_POINTER,
                              E_OUTOFMEMORY, kMaxExceeded, kInvalidHandle},
            kQueued = {S_OK,          S_FALSE,      E_INVALIDARG,   E_POINTER,
                       E_OUTOFMEMORY, kMaxExceeded, kInvalidHandle, CONNECT_E_NOCONNECTION},
            kNotImpl = {E_NOTIMPL, E_INVALIDARG, E_POINTER}, kOk = {S_OK}, kSkip = {S_OK, S_FALSE};
const Codes kItemCodes = {S_OK, kNoData, kMoreData, kInvalidHandle, kMaxExceeded, E_OUTOFMEMORY},
            kAttributeCodes = {S_OK, kCurrentValue, kInvalidAttrId, E_FAIL, E_OUTOFMEMORY},
            kIdCodes = {S_OK, kUnknownItemId, kInvalidItemId, E_OUTOFMEMORY},
            kHandleCodes = {S_OK, kInvalidHandle},
            kFilterCodes = {S_OK, E_INVALIDARG, E_FAIL, kInvalidAttrId};

bool In(const Codes &codes, HRESULT hr) {
    return std::find(codes.begin(), codes.end(), hr) != codes.end();
}
std::string Hex(DWORD v) {
    char text[16];
    snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(v));
    return text;
}
FILETIME Ft(ULONGLONG t) { return {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)}; }
ULONGLONG Ticks(const FILETIME &t) { return ULONGLONG(t.dwHighDateTime) << 32 | t.dwLowDateTime; }
// Arrays behind every count; freed with every value.
bool Shaped(const OPCHDA_ITEM &r) {
    return !r.dwCount || (r.pftTimeStamps && r.pdwQualities && r.pvDataValues);
}
bool Shaped(const OPCHDA_ATTRIBUTE &r) {
    return !r.dwNumValues || (r.ftTimeStamps && r.vAttributeValues);
}
void Free(OPCHDA_ITEM &r) {
    for (DWORD k = 0; r.pvDataValues && k < r.dwCount; ++k) VariantClear(&r.pvDataValues[k]);
    for (void *p : {(void *)r.pftTimeStamps, (void *)r.pdwQualities, (void *)r.pvDataValues})
        CoTaskMemFree(p);
}
void Free(OPCHDA_ATTRIBUTE &r) {
    for (DWORD k = 0; r.vAttributeValues && k < r.dwNumValues; ++k)
        VariantClear(&r.vAttributeValues[k]);
    CoTaskMemFree(r.ftTimeStamps);
    CoTaskMemFree(r.vAttributeValues);
}
// The first item over [T0, T0 + 20 s] without bounds: the three grid stamps,
// values 0, 1, 2 (item 0, stamp / 10 s mod 1000), quality 4 (on the grid).
bool Known(const OPCHDA_ITEM &r) {
    const ULONGLONG stamps[] = {kT0, kT0 + kStep, kT0 + 2 * kStep};
    const double values[] = {0, 1, 2};
    bool ok = r.dwCount == 3 && Shaped(r);
    for (DWORD k = 0; ok && k < 3; ++k)
        ok = Ticks(r.pftTimeStamps[k]) == stamps[k] && r.pvDataValues[k].vt == VT_R8 &&
             r.pvDataValues[k].dblVal == values[k] && r.pdwQualities[k] == 4;
    return ok;
}

// The data-callback sink: checks each delivery's entry codes, its hrStatus
// (S_FALSE exactly when an entry is not S_OK) and its arrays, on the server's
// thread, so it only records; notes whether the closing read came right.
class HostileSink : public CountingSink {
public:
    HostileSink() : CountingSink(false, true) {}
    ~HostileSink() override { CloseHandle(marked); }
    HANDLE marked = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // the closing read arrived
    bool markedKnown = false;                                     // read after `marked`
    std::vector<std::string> Problems() {
        std::lock_guard<std::mutex> guard(lock_);
        return problems_;
    }
    HRESULT STDMETHODCALLTYPE OnDataChange(DWORD t, HRESULT s, DWORD n, OPCHDA_ITEM *r,
                                           HRESULT *e) override { return Check(t, s, n, r, e); }
    HRESULT STDMETHODCALLTYPE OnReadComplete(DWORD t, HRESULT s, DWORD n, OPCHDA_ITEM *r,
                                             HRESULT *e) override { return Check(t, s, n, r, e); }
    HRESULT STDMETHODCALLTYPE OnReadAttributeComplete(DWORD t, HRESULT s, OPCHANDLE, DWORD n,
                                                      OPCHDA_ATTRIBUTE *r, HRESULT *e) override {
        return Check(t, s, n, r, e);
    }

private:
    template <class Record>
    HRESULT Check(DWORD t, HRESULT status, DWORD n, Record *r, const HRESULT *e) {
        const bool items = std::is_same<Record, OPCHDA_ITEM>();
        const Codes &allowed = items ? kItemCodes : kAttributeCodes;
        std::lock_guard<std::mutex> guard(lock_);
        bool bad = n && (!r || !e), failed = false;
        for (DWORD i = 0; !bad && i < n; ++i) {
            bad = !In(allowed, e[i]) || !Shaped(r[i]);
            failed = failed || e[i] != S_OK;
        }
        if ((bad || status != (failed ? S_FALSE : S_OK)) && problems_.size() < 10)
            problems_.push_back("delivery of transaction " + Hex(t) + " malformed");
        if constexpr (std::is_same<Record, OPCHDA_ITEM>()) {
            if (t == kMarker && n == 1 && !bad) markedKnown = Known(r[0]);
            if (t == kMarker) SetEvent(marked);
        }
        return S_OK;
    }
    std::mutex lock_;
    std::vector<std::string> problems_;
};

// An [in] array argument: `count` elements at `data`.
template <class T>
struct ArrayArg {
    std::vector<T> items;
    DWORD count = 0;
    T *data = nullptr;
};

// One output of the current call: a slot prefilled with a stale value (the
// callee may get null in its place), checked by World::Settle after the call
// by its kind, in this order, and freed or released.
enum Kind { kValue, kCancel, kCount, kMemory, kStrings, kObject, kFound, kItems, kAttributes,
            kErrors };
struct Output {
    Kind kind;
    DWORD n, exact;      // kErrors: entries; kItems: at most n values, exact if not 0;
    const void *array;   // kCancel: an advise if n. kErrors: the array the entries
    const Codes *codes;  // answer and the codes they may hold.
    void *current;       // kObject: where the object goes (T **), the one there released
    alignas(8) unsigned char slot[16];
    template <class T>
    T Get() const {
        T v;
        memcpy(&v, slot, sizeof v);
        return v;
    }
};

// The connection and the objects made from it, the values the generators
// draw from, and the current call: its arguments (all drawn for every call),
// its outputs and its problems.
struct World {
    World(const HostileSetup &setup, unsigned seed)
        : engine(seed), inProcess(setup.inProcess), factory(setup.factory),
          itemIds(setup.itemIds) {}
    ~World() { ClearFilters(); }

    DWORD Any() { return engine(); }
    ULONGLONG Any64() { return ULONGLONG(Any()) << 32 | Any(); }
    DWORD Below(size_t n) { return n ? DWORD(Any() % n) : 0; }
    bool Chance(unsigned percent) { return Below(100) < percent; }
    template <class C>
    auto Pick(const C &from) -> std::decay_t<decltype(*std::begin(from))> {
        return std::begin(from)[Below(std::end(from) - std::begin(from))];
    }
    template <class T>
    T Pick(std::initializer_list<T> from) { return from.begin()[Below(from.size())]; }
    // One of `from`, or in `percent` of the draws any 32 bits.
    template <class C>
    DWORD Mixed(unsigned percent, const C &from) { return Chance(percent) ? Any() : Pick(from); }
    DWORD Mixed(unsigned p, std::initializer_list<DWORD> from) { return Mixed<>(p, from); }
    template <class T>
    void Keep(std::vector<T> &v, T value) {  // a value handed out, for later calls
        if (v.size() < 32 && std::find(v.begin(), v.end(), value) == v.end()) v.push_back(value);
    }
    void Expect(bool ok, const char *problem) { if (!ok) problems.push_back(problem); }

    // An output prefilled with `stale`; in process sometimes null, and the
    // call then lacks an output.
    template <class T>
    T *Out(T &slot, typename std::common_type<T>::type stale) {
        slot = stale;
        const bool given = !inProcess || !Chance(6);
        outsGiven = outsGiven && given;
        return given ? &slot : nullptr;
    }
    template <class T>
    T *Add(Kind kind, T stale, DWORD n = 0, DWORD exact = 0, const void *array = nullptr,
           const Codes *codes = nullptr, void *current = nullptr) {
        outs.push_back({kind, n, exact, array, codes, current, {}});
        return Out(*reinterpret_cast<T *>(outs.back().slot), stale);
    }
    template <class T>
    T **Memory(Kind kind = kMemory) { return Add(kind, static_cast<T *>(kStale)); }
    template <class T>
    T **Object(T **current = nullptr) {
        return Add(kObject, static_cast<T *>(kStale), 0, 0, nullptr, nullptr, current);
    }
    DWORD *Cancel(bool advise = false) { return Add(kCancel, DWORD{0}, advise); }
    template <class R>
    R **Records(DWORD most, DWORD exact = 0) {
        const Kind kind = std::is_same<R, OPCHDA_ITEM>() ? kItems : kAttributes;
        return Add(kind, static_cast<R *>(kStale), most, exact);
    }
    HRESULT **Errors(DWORD n, const void *array, const Codes &codes) {
        return Add(kErrors, static_cast<HRESULT *>(kStale), n, 0, array, &codes);
    }
    void Settle(HRESULT hr);
    template <class R>
    void TakeRecords(R *r, DWORD n, const HRESULT *e, const Output &o);

    IID AnyIid();
    LPWSTR Name();
    OPCHANDLE AnyHandle() { return Mixed(10, handles); }
    DWORD AnyEnum() {  // marshaling sends enums in 16 bits: larger values only in process
        if (inProcess && Chance(20)) return Chance(50) ? 0xFFFFFFFF : Any();
        return Pick({0, 1, 2, 3, 4, 5, 0x7FFF});
    }
    ULONGLONG AnyStamp(bool nearT0);
    OPCHDA_TIME *Time(OPCHDA_TIME &t, bool nearT0);
    DWORD Big() { return Chance(5) ? inProcess ? 2000 : 300 : 4; }  // an array's most elements
    template <class T, class Gen>
    void Array(ArrayArg<T> &a, DWORD most, Gen gen, const DWORD *beside = nullptr);
    void Draw();
    void ClearFilters() { for (VARIANT &v : filters.items) VariantClear(&v); }
    DWORD Transaction() { return Below(0x10000); }
    DWORD AnyCancelId() {
        const DWORD id = Mixed(10, cancelIds);
        if (id == liveAdvise) liveAdvise = 0;
        return id;
    }
    IOPCHDA_AsyncRead *AnyAsync() { return Chance(15) ? bareAsync : async; }
    IConnectionPoint *AnyPoint() { return points[Below(2)]; }
    IUnknown *AnySink() {
        return Pick<IUnknown *>({static_cast<IOPCShutdown *>(&sink),
                                 static_cast<IOPCShutdown *>(&shutdownSink),
                                 static_cast<IOPCShutdown *>(&plainSink), nullptr});
    }
    IUnknown *AnyObject() {
        return Pick<IUnknown *>({connection, server, common, sync, async, container, points[0],
                                 points[1], browser, strings, pointEnum});
    }

    HRESULT Open();
    std::vector<std::string> ClosingRead();
    bool WaitSinksBackToOne();
    std::vector<std::string> Close();

    std::mt19937 engine;
    const bool inProcess;
    IClassFactory *const factory;
    const std::vector<std::wstring> itemIds;
    IUnknown *connection = nullptr;
    IOPCHDA_Server *server = nullptr;
    IOPCCommon *common = nullptr;
    IOPCHDA_SyncRead *sync = nullptr;
    // bareAsync: on a connection that never asked for its container.
    IOPCHDA_AsyncRead *async = nullptr, *bareAsync = nullptr;
    IConnectionPointContainer *container = nullptr;
    IConnectionPoint *points[2] = {};  // shutdown, data callback
    IOPCHDA_Browser *browser = nullptr;
    IEnumString *strings = nullptr;
    IEnumConnectionPoints *pointEnum = nullptr;
    std::vector<OPCHANDLE> handles = {0, 0xFFFFFFFF, 0xBAD0BAD0};  // grows with those handed out
    std::vector<DWORD> cancelIds = {0, 1, 0xFFFFFFFF};           // grows with those handed out
    DWORD liveAdvise = 0;  // one AdviseRaw left running at a time
    HostileSink sink;
    CountingSink shutdownSink{true, false}, plainSink{false, false};

    std::vector<std::string> problems;  // the current call's
    std::deque<Output> outs;
    bool outsGiven = true;           // no output was null
    std::deque<std::wstring> texts;  // names and time strings
    OPCHDA_TIME times[2], *start, *end;
    DWORD numValues, item;
    BOOL bounds;
    FILETIME interval;
    ArrayArg<OPCHANDLE> items, given, clients;
    ArrayArg<DWORD> aggregates, attributeIds;
    ArrayArg<FILETIME> stamps;
    ArrayArg<LPWSTR> names;
    ArrayArg<OPCHDA_OPERATORCODES> operators;
    ArrayArg<VARIANT> filters;
};

// Refused (with every output given): each pointer output null again, unless
// the method is not implemented and does nothing at all. Succeeded: not on a
// null array, no output left stale, each there (an empty list may be null),
// the entries right; then freed or released.
void World::Settle(HRESULT hr) {
    std::stable_sort(outs.begin(), outs.end(),
                     [](const Output &a, const Output &b) { return a.kind < b.kind; });
    const Output *count = nullptr, *errs = nullptr;
    for (const Output &o : outs) {
        if (o.kind == kCount) count = &o;
        if (o.kind == kErrors) errs = &o;
    }
    if (SUCCEEDED(hr) && errs && !errs->array)
        return Expect(false, "accepted a null array with a count");
    HRESULT *e = errs && errs->Get<void *>() != kStale ? errs->Get<HRESULT *>() : nullptr;
    for (Output &o : outs) {
        void *p = o.Get<void *>();
        if (o.kind == kCancel && SUCCEEDED(hr)) {
            Expect(o.Get<DWORD>() != 0, "cancel ID 0");
            Keep(cancelIds, o.Get<DWORD>());
            if (o.n && liveAdvise) async->Cancel(liveAdvise);
            if (o.n) liveAdvise = o.Get<DWORD>();
        }
        if (o.kind <= kCount) continue;
        if (FAILED(hr) || p == kStale) {
            Expect(FAILED(hr) || p != kStale, "succeeded leaving an output unwritten");
            Expect(SUCCEEDED(hr) || hr == E_NOTIMPL || !outsGiven || !p,
                   "refused leaving an output pointer set");
            continue;
        }
        const DWORD n =
            o.kind >= kFound ? errs->n : count && o.kind != kObject ? count->Get<DWORD>() : 1;
        Expect(p || !n, "succeeded without an output");
        for (DWORD i = 0; o.kind == kStrings && p && i < n; ++i)
            CoTaskMemFree(static_cast<LPWSTR *>(p)[i]);
        for (DWORD i = 0; o.kind == kFound && p && e && i < n; ++i)
            if (e[i] == S_OK) Keep(handles, static_cast<OPCHANDLE *>(p)[i]);
        if (o.kind == kItems) TakeRecords(static_cast<OPCHDA_ITEM *>(p), n, e, o);
        if (o.kind == kAttributes) TakeRecords(static_cast<OPCHDA_ATTRIBUTE *>(p), n, e, o);
        // S_FALSE exactly when an entry is neither S_OK nor OPC_S_MOREDATA.
        bool failed = false, defined = true;
        for (DWORD i = 0; o.kind == kErrors && p && i < n; ++i) {
            defined = defined && In(*o.codes, e[i]);
            failed = failed || (e[i] != S_OK && e[i] != kMoreData);
        }
        Expect(defined, "an entry has an undefined code");
        Expect(o.kind != kErrors || !p || hr == (failed ? S_FALSE : S_OK),
               "result disagrees with its entries");
        if (o.kind == kObject && o.current) std::swap(*static_cast<void **>(o.current), p);
        if (o.kind == kObject && p) static_cast<IUnknown *>(p)->Release();
        if (o.kind != kObject) CoTaskMemFree(p);
    }
}

// Read records: each shaped; for an item at most `o.n` values, exactly
// `o.exact` (when not 0) if it was read. Freed.
template <class R>
void World::TakeRecords(R *r, DWORD n, const HRESULT *e, const Output &o) {
    for (DWORD i = 0; r && i < n; ++i) {
        Expect(Shaped(r[i]), "values without arrays");
        if constexpr (std::is_same<R, OPCHDA_ITEM>())
            Expect(r[i].dwCount <= o.n &&
                       (!o.exact || !e || e[i] != S_OK || r[i].dwCount == o.exact),
                   "the wrong number of values");
        Free(r[i]);
    }
}

IID World::AnyIid() {
    IID iid = *Pick({&IID_IUnknown, &IID_IOPCHDA_Server, &IID_IOPCHDA_SyncRead,
                     &IID_IOPCHDA_AsyncRead, &IID_IOPCCommon, &IID_IConnectionPointContainer,
                     &IID_IConnectionPoint, &IID_IEnumConnectionPoints, &IID_IEnumString,
                     &IID_IOPCHDA_Browser, &IID_IOPCHDA_DataCallback, &IID_IOPCShutdown,
                     &IID_IOPCHDA_SyncUpdate, &IID_IClassFactory, &IID_IMarshal, &IID_NULL});
    if (Chance(10)) iid.Data1 = Any();
    return iid;
}

// Item IDs and browse names: defined ones, empty segments and stray dots,
// characters the ANSI code page cannot hold (or holds only as a look-alike),
// an unpaired surrogate, format directives, long texts; in process also null.
LPWSTR World::Name() {
    static const wchar_t *const odd[] = {
        L"", L".", L"..", L"A.", L".A", L"A..A", L"P..Q", L"P.Q.", L"Root", L"\u4E2D",
        L"A\u4E2D", L"\u0100", L"\xD800", L"%s%n%x", L"A", L"P", L"P.Q", L"Q", L"A.A", L"A.A.A"};
    if (inProcess && Chance(5)) return nullptr;
    const DWORD kind = Below(20);
    texts.push_back(kind == 0 ? std::wstring(20000, L'A') : Chance(40) ? Pick(itemIds) : Pick(odd));
    for (int i = 0; kind == 1 && i < 2000; ++i) texts.back() += L".P.Q";
    return &texts.back()[0];
}

// On and between the grid points around T0; or 0, the grid, past the data,
// now, any, and the largest FILETIMEs with and without the sign bit.
ULONGLONG World::AnyStamp(bool nearT0) {
    if (nearT0) return kT0 - 2 * kStep + Below(9) * (kStep / 2);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    if (Chance(40)) return Pick({Ticks(now), Any64(), Any64() >> 1});
    return Pick({0ull, 1ull, kT0, kT0 + kStep, kT0 + kStep / 2, kT0 + 5001 * kStep,
                 0x7FFFFFFFFFFFFFFFull, 0x8000000000000000ull, 0xFFFFFFFFFFFFFFFFull});
}

// A time record: absolute (AnyStamp), or a relative string: dangling signs,
// offsets that leave the FILETIME range or overflow 32 bits, lower case,
// unknown units, non-ASCII, empty (the null time) and very long strings. In
// process also a null record and a null string. The string is writable: the
// proxy copies an [in, out] string back into the client's buffer.
OPCHDA_TIME *World::Time(OPCHDA_TIME &t, bool nearT0) {
    static const wchar_t *const malformed[] = {
        L"NOW", L"NOW-", L"NOW+", L"NOW-1H", L"NOW+99999999Y", L"NOW-99999999Y", L"",
        L"DAY-1D+7H30M", L"YEAR", L"WEEK-1W", L"MONTH+1MO", L"SECOND-2147483647S",
        L"NOW-2147483648S", L"NOW-99999999999999999999S", L"NOW--1H", L"NOW-1H-", L"now",
        L"NOW-1Q", L"NOW-1\u4E2D", L"\u4E2D", L"NOW 1H", L"NOW+1", L"NOW-10000Y", L"-1H",
        L"\xD800", L"NOW+1Y-1Y+1MO"};
    t = {};
    if (inProcess && !nearT0 && Chance(6)) return nullptr;
    t.ftTime = Ft(AnyStamp(nearT0));
    if (nearT0 || Chance(45)) return &t;
    const DWORD kind = Below(12);
    texts.push_back(kind == 0 ? L"NOW" : kind == 1 ? std::wstring(20000, L'X') : Pick(malformed));
    for (int i = 0; kind == 0 && i < 3000; ++i) texts.back() += L"+1S";
    t.bString = Chance(90) ? TRUE : 2;
    t.szTime = inProcess && Chance(5) ? nullptr : &texts.back()[0];
    return &t;
}

// Mostly 1..most real elements; sometimes a count of 0 with an array. In
// process also a null array with a small count, with 0xFFFFFFFF, or with 0:
// a method must refuse those before it reads an element. (A huge count with
// a smaller real array is never made: no server can guard against it.) An
// array beside another takes its count, holds real elements (one for a huge
// count, given only with a null array), and in process is sometimes null.
template <class T, class Gen>
void World::Array(ArrayArg<T> &a, DWORD most, Gen gen, const DWORD *beside) {
    const DWORD shape = Below(14);
    const DWORD n = beside ? (*beside == 0xFFFFFFFF ? 1 : *beside) : shape ? 1 + Below(most) : 0;
    a.items.assign(n ? n : 1, T{});
    for (DWORD i = 0; i < n; ++i) a.items[i] = gen();
    a.count = beside ? *beside : n;
    a.data = a.items.data();
    if (inProcess && (beside ? shape == 0 : shape >= 1 && shape <= 3)) a.data = nullptr;
    if (inProcess && !beside && shape >= 2 && shape <= 3) a.count = shape == 2 ? 0xFFFFFFFF : 0;
}

// The next call's arguments. `counted` keeps the times near T0 and asks for
// aggregate 5 (Count), which GridSource works out one grid stamp at a time;
// it refuses the other aggregates at once. Above 5000 values are refused.
void World::Draw() {
    ClearFilters();
    problems.clear();
    outs.clear();
    texts.clear();
    outsGiven = true;
    const bool counted = Chance(25);
    start = Time(times[0], counted);
    end = Time(times[1], counted);
    numValues = Mixed(10, {0, 1, 2, 3, 10, 5000, 5001, 0xFFFFFFFF});
    bounds = Pick({FALSE, TRUE, 2, -1});
    interval = Ft(Chance(15) ? Any64()
                             : Pick({0ull, 1ull, kStep, 6 * kStep, 8640 * kStep,
                                     0x7FFFFFFFFFFFFFFFull, 0x8000000000000000ull, ~0ull}));
    item = AnyHandle();
    Array(items, 4, [&] { return AnyHandle(); });
    Array(aggregates, 0, [&] { return counted ? 5 : Pick({0, 1, 3, 7, -1}); }, &items.count);
    Array(given, Big(), [&] { return AnyHandle(); });
    Array(stamps, Big(), [&] { return Ft(AnyStamp(false)); });
    Array(attributeIds, Chance(5) ? 50 : 4, [&] { return Mixed(10, {1, 2, 13, 0, 99, ~0ul}); });
    Array(names, Big(), [&] { return Name(); });
    Array(clients, 0, [&] { return Any(); }, &names.count);
    Array(operators, 0, [&] { return OPCHDA_OPERATORCODES(AnyEnum()); }, &attributeIds.count);
    Array(filters, 0, [&] {
        VARIANT v = {};
        v.vt = Chance(50) ? VT_I4 : VT_BSTR;
        if (v.vt == VT_I4) v.lVal = LONG(Any());
        else v.bstrVal = SysAllocString(Name());
        return v;
    }, &attributeIds.count);
}

// Next with odd counts and an array that size; in process also a null array
// with a huge count (nothing may be written through it) and a null count. A
// short batch is S_FALSE, except from the point enumerator, which hands out
// one point a call (across processes the marshaling then pads it with nulls).
template <class Element, class Enum>
HRESULT Next(World &w, Enum *e, std::initializer_list<ULONG> counts, bool oneAtATime) {
    const ULONG celt = w.Pick(counts);
    std::vector<Element> got(celt ? celt : 1, nullptr);
    const bool noArray = w.inProcess && w.Chance(5);
    ULONG fetched = 0, *fetchedOut = w.Out(fetched, 0xFFFF);
    const HRESULT hr = e->Next(noArray ? ~0u : celt, noArray ? nullptr : got.data(), fetchedOut);
    if (FAILED(hr) || noArray) return hr;
    const ULONG n = fetchedOut ? fetched : hr == S_OK ? 1 : 0;
    w.Expect(n <= celt && (oneAtATime || hr != S_OK || n == celt), "the wrong count fetched");
    for (ULONG i = 0; i < n && i < celt; ++i) {
        if constexpr (std::is_same<Element, LPOLESTR>()) CoTaskMemFree(got[i]);
        else if (got[i]) got[i]->Release();
    }
    return hr;
}

// ---- The table: every client-callable method with the codes it may return ----

struct Call {
    const char *name;
    Codes codes;
    HRESULT (*run)(World &w);
};
// A call that is one expression; codes in braces go in parentheses.
#define CALL(name, codes, ...) {name, codes, [](World &w) -> HRESULT { return __VA_ARGS__; }}
#define ARRAY(a) (a).count, (a).data  // an [in] array argument
#define ITEM_ERRORS(codes) w.Errors(ARRAY(w.items), codes)

const Call kCalls[] = {
    CALL("IClassFactory::QueryInterface", kQuery,
         w.factory->QueryInterface(w.AnyIid(), (void **)w.Object<IUnknown>())),
    CALL("IClassFactory::CreateInstance",
         (Codes{S_OK, E_NOINTERFACE, E_INVALIDARG, E_POINTER, E_OUTOFMEMORY,
                CLASS_E_NOAGGREGATION}),
         w.factory->CreateInstance(w.Chance(15) ? static_cast<IOPCShutdown *>(&w.plainSink)
                                                : nullptr,
                                   w.AnyIid(), (void **)w.Object<IUnknown>())),
    // Wine's proxy answers LockServer itself, with E_NOTIMPL.
    {"IClassFactory::LockServer", {S_OK, E_NOTIMPL}, [](World &w) {
         const HRESULT hr = w.factory->LockServer(TRUE);
         w.Expect(w.factory->LockServer(FALSE) == hr, "LockServer(FALSE) answered otherwise");
         return hr;
     }},
    CALL("IUnknown::QueryInterface", kQuery,
         w.AnyObject()->QueryInterface(w.AnyIid(), (void **)w.Object<IUnknown>())),

    CALL("IOPCHDA_Server::GetItemAttributes", kPlain,
         w.server->GetItemAttributes(w.Add(kCount, DWORD{7}), w.Memory<DWORD>(),
                                     w.Memory<WCHAR *>(kStrings), w.Memory<WCHAR *>(kStrings),
                                     w.Memory<VARTYPE>())),
    CALL("IOPCHDA_Server::GetAggregates", kPlain,
         w.server->GetAggregates(w.Add(kCount, DWORD{7}), w.Memory<DWORD>(),
                                 w.Memory<WCHAR *>(kStrings), w.Memory<WCHAR *>(kStrings))),
    CALL("IOPCHDA_Server::GetHistorianStatus", kPlain,
         w.server->GetHistorianStatus(w.Add(kValue, OPCHDA_DOWN), w.Memory<FILETIME>(),
                                      w.Memory<FILETIME>(), w.Add(kValue, WORD{9}),
                                      w.Add(kValue, WORD{9}), w.Add(kValue, WORD{9}),
                                      w.Add(kValue, DWORD{9}), w.Memory<WCHAR>(),
                                      w.Memory<WCHAR>())),
    CALL("IOPCHDA_Server::GetItemHandles", kList,
         w.server->GetItemHandles(ARRAY(w.names), w.clients.data, w.Memory<OPCHANDLE>(kFound),
                                  w.Errors(ARRAY(w.names), kIdCodes))),
    CALL("IOPCHDA_Server::ReleaseItemHandles", kList,
         w.server->ReleaseItemHandles(ARRAY(w.given), w.Errors(ARRAY(w.given), kHandleCodes))),
    CALL("IOPCHDA_Server::ValidateItemIDs", kList,
         w.server->ValidateItemIDs(ARRAY(w.names), w.Errors(ARRAY(w.names), kIdCodes))),
    // No filters need no arrays; each filter gets an entry.
    CALL("IOPCHDA_Server::CreateBrowse", kList,
         w.server->CreateBrowse(ARRAY(w.attributeIds), w.operators.data, w.filters.data,
                                w.Object(&w.browser),
                                w.Errors(w.attributeIds.count,
                                         w.attributeIds.count ? w.attributeIds.data : kStale,
                                         kFilterCodes))),

    {"IOPCCommon::SetLocaleID", {S_OK, E_INVALIDARG}, [](World &w) {
         const LCID locale = w.Mixed(10, {kLocale, 0x0409, 0, 0x0400, 0x007F, 0xFFFFFFFF});
         const HRESULT hr = w.common->SetLocaleID(locale);
         w.Expect(hr == (locale == kLocale ? S_OK : E_INVALIDARG), "wrong answer for the locale");
         return hr;
     }},
    {"IOPCCommon::GetLocaleID", kPlain, [](World &w) {
         LCID locale;
         const HRESULT hr = w.common->GetLocaleID(w.Out(locale, 7));
         w.Expect(hr != S_OK || locale == kLocale, "not the one locale");
         return hr;
     }},
    CALL("IOPCCommon::QueryAvailableLocaleIDs", kPlain,
         w.common->QueryAvailableLocaleIDs(w.Add(kValue, DWORD{7}), w.Memory<LCID>())),
    // Some text for any code, of at most 127 characters.
    {"IOPCCommon::GetErrorString", kPlain, [](World &w) {
         const DWORD code = w.Mixed(30, {0, 1, 0x80004005, 0x80070057, 0x8007000E, 0x80070005,
                                         0xC0040001, 0xC0040007, 0x0004000F, 0xC0041001,
                                         0xC0040203, 0xFFFFFFFF, 0x80040200});
         LPWSTR *text = w.Memory<WCHAR>();
         const HRESULT hr = w.common->GetErrorString(HRESULT(code), text);
         const bool got = hr == S_OK && text && *text != kStale && *text;
         w.Expect(!got || (**text && wcslen(*text) <= 127), "error text empty or too long");
         return hr;
     }},
    CALL("IOPCCommon::SetClientName", kPlain, w.common->SetClientName(w.Name())),

    CALL("IOPCHDA_SyncRead::ReadRaw", kSync,
         w.sync->ReadRaw(w.start, w.end, w.numValues, w.bounds, ARRAY(w.items),
                         w.Records<OPCHDA_ITEM>(w.numValues ? w.numValues : 5000),
                         ITEM_ERRORS(kItemCodes))),
    CALL("IOPCHDA_SyncRead::ReadProcessed", kSync,
         w.sync->ReadProcessed(w.start, w.end, w.interval, ARRAY(w.items), w.aggregates.data,
                               w.Records<OPCHDA_ITEM>(5000), ITEM_ERRORS(kItemCodes))),
    // An item read has a value for each stamp.
    CALL("IOPCHDA_SyncRead::ReadAtTime", kSync,
         w.sync->ReadAtTime(ARRAY(w.stamps), ARRAY(w.items),
                            w.Records<OPCHDA_ITEM>(w.stamps.count, w.stamps.count),
                            w.Errors(w.items.count, w.stamps.data ? w.items.data : nullptr,
                                     kItemCodes))),
    CALL("IOPCHDA_SyncRead::ReadModified", kNotImpl,
         w.sync->ReadModified(w.start, w.end, w.numValues, ARRAY(w.items),
                              w.Memory<OPCHDA_MODIFIEDITEM>(), ITEM_ERRORS(kItemCodes))),
    CALL("IOPCHDA_SyncRead::ReadAttribute", kSyncAttribute,
         w.sync->ReadAttribute(w.start, w.end, w.item, ARRAY(w.attributeIds),
                               w.Records<OPCHDA_ATTRIBUTE>(0),
                               w.Errors(ARRAY(w.attributeIds), kAttributeCodes))),

    CALL("IOPCHDA_AsyncRead::ReadRaw", kQueued,
         w.AnyAsync()->ReadRaw(w.Transaction(), w.start, w.end, w.numValues, w.bounds,
                               ARRAY(w.items), w.Cancel(), ITEM_ERRORS(kHandleCodes))),
    CALL("IOPCHDA_AsyncRead::AdviseRaw", kQueued,
         w.AnyAsync()->AdviseRaw(w.Transaction(), w.start, w.interval, ARRAY(w.items),
                                 w.Cancel(true), ITEM_ERRORS(kHandleCodes))),
    CALL("IOPCHDA_AsyncRead::ReadProcessed", kQueued,
         w.AnyAsync()->ReadProcessed(w.Transaction(), w.start, w.end, w.interval, ARRAY(w.items),
                                     w.aggregates.data, w.Cancel(), ITEM_ERRORS(kHandleCodes))),
    CALL("IOPCHDA_AsyncRead::AdviseProcessed", kNotImpl,
         w.AnyAsync()->AdviseProcessed(w.Transaction(), w.start, w.interval, ARRAY(w.items),
                                       w.aggregates.data, w.Any(), w.Cancel(),
                                       ITEM_ERRORS(kHandleCodes))),
    CALL("IOPCHDA_AsyncRead::ReadAtTime", kQueued,
         w.AnyAsync()->ReadAtTime(w.Transaction(), ARRAY(w.stamps), ARRAY(w.items), w.Cancel(),
                                  w.Errors(w.items.count, w.stamps.data ? w.items.data : nullptr,
                                           kHandleCodes))),
    CALL("IOPCHDA_AsyncRead::ReadModified", kNotImpl,
         w.AnyAsync()->ReadModified(w.Transaction(), w.start, w.end, w.numValues, ARRAY(w.items),
                                    w.Cancel(), ITEM_ERRORS(kHandleCodes))),
    CALL("IOPCHDA_AsyncRead::ReadAttribute", kQueued,
         w.AnyAsync()->ReadAttribute(w.Transaction(), w.start, w.end, w.item,
                                     ARRAY(w.attributeIds), w.Cancel(),
                                     w.Errors(ARRAY(w.attributeIds), kHandleCodes))),
    CALL("IOPCHDA_AsyncRead::Cancel", kOk, w.AnyAsync()->Cancel(w.AnyCancelId())),

    CALL("IOPCHDA_Browser::GetEnum", kPlain,
         w.browser->GetEnum(OPCHDA_BROWSETYPE(w.AnyEnum()), w.Object(&w.strings))),
    CALL("IOPCHDA_Browser::ChangeBrowsePosition",
         (Codes{S_OK, E_FAIL, E_INVALIDARG, E_OUTOFMEMORY}),
         w.browser->ChangeBrowsePosition(OPCHDA_BROWSEDIRECTION(w.AnyEnum()), w.Name())),
    CALL("IOPCHDA_Browser::GetItemID",
         (Codes{S_OK, kInvalidItemId, E_INVALIDARG, E_POINTER, E_OUTOFMEMORY}),
         w.browser->GetItemID(w.Name(), w.Memory<WCHAR>())),
    CALL("IOPCHDA_Browser::GetBranchPosition", kPlain,
         w.browser->GetBranchPosition(w.Memory<WCHAR>())),

    CALL("IEnumString::Next", kList,
         Next<LPOLESTR>(w, w.strings, {0, 1, 1, 2, 3, 7, 100, 1000}, false)),
    CALL("IEnumString::Skip", kSkip, w.strings->Skip(w.Pick({0u, 1u, 2u, 5u, 0x7FFFFFFFu, ~0u}))),
    CALL("IEnumString::Reset", kOk, w.strings->Reset()),
    CALL("IEnumString::Clone", kPlain, w.strings->Clone(w.Object(&w.strings))),

    CALL("IConnectionPointContainer::EnumConnectionPoints", kPlain,
         w.container->EnumConnectionPoints(w.Object(&w.pointEnum))),
    CALL("IConnectionPointContainer::FindConnectionPoint",
         (Codes{S_OK, E_NOINTERFACE, E_INVALIDARG, E_POINTER, CONNECT_E_NOCONNECTION}),
         w.container->FindConnectionPoint(w.AnyIid(), w.Object<IConnectionPoint>())),
    CALL("IConnectionPoint::GetConnectionInterface", kPlain,
         w.AnyPoint()->GetConnectionInterface(w.Add(kValue, IID_NULL))),
    CALL("IConnectionPoint::GetConnectionPointContainer", kPlain,
         w.AnyPoint()->GetConnectionPointContainer(w.Object<IConnectionPointContainer>())),
    CALL("IConnectionPoint::Advise",
         (Codes{S_OK, E_POINTER, E_INVALIDARG, CONNECT_E_ADVISELIMIT, CONNECT_E_CANNOTCONNECT}),
         w.AnyPoint()->Advise(w.AnySink(), w.Add(kValue, DWORD{77}))),
    CALL("IConnectionPoint::Unadvise", (Codes{S_OK, CONNECT_E_NOCONNECTION, E_INVALIDARG}),
         w.AnyPoint()->Unadvise(w.Mixed(10, {1, 1, 0, 2, 0xFFFFFFFF}))),
    CALL("IConnectionPoint::EnumConnections", kNotImpl,
         w.AnyPoint()->EnumConnections(w.Object<IEnumConnections>())),
    CALL("IEnumConnectionPoints::Next", kList,
         Next<IConnectionPoint *>(w, w.pointEnum, {0, 1, 1, 2, 5}, true)),
    CALL("IEnumConnectionPoints::Skip", kSkip, w.pointEnum->Skip(w.Pick({0u, 1u, 2u, ~0u}))),
    CALL("IEnumConnectionPoints::Reset", kOk, w.pointEnum->Reset()),
    CALL("IEnumConnectionPoints::Clone", kPlain, w.pointEnum->Clone(w.Object(&w.pointEnum))),
};
#undef CALL
#undef ARRAY
#undef ITEM_ERRORS

// ---- Opening, the closing read, closing ----

// The connection's interfaces, the sink advised, a connection without a
// container, the items' handles, a browser and the two enumerators (a null
// array with a count of 0 would fail in the proxy: one dummy filter).
HRESULT World::Open() {
    HRESULT hr = factory->CreateInstance(nullptr, IID_IUnknown, (void **)&connection);
    const std::pair<const IID *, void **> wanted[] = {
        {&IID_IOPCHDA_Server, (void **)&server},       {&IID_IOPCCommon, (void **)&common},
        {&IID_IOPCHDA_SyncRead, (void **)&sync},       {&IID_IOPCHDA_AsyncRead, (void **)&async},
        {&IID_IConnectionPointContainer, (void **)&container}};
    for (const auto &w : wanted)
        if (SUCCEEDED(hr)) hr = connection->QueryInterface(*w.first, w.second);
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(IID_IOPCShutdown, &points[0]);
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(IID_IOPCHDA_DataCallback, &points[1]);
    DWORD cookie = 0, id = 1;
    if (SUCCEEDED(hr)) hr = points[1]->Advise(static_cast<IOPCShutdown *>(&sink), &cookie);
    if (SUCCEEDED(hr))
        hr = factory->CreateInstance(nullptr, IID_IOPCHDA_AsyncRead, (void **)&bareAsync);
    std::vector<LPWSTR> ids;
    for (const std::wstring &itemId : itemIds) ids.push_back(const_cast<LPWSTR>(itemId.c_str()));
    std::vector<OPCHANDLE> clientHandles(ids.size(), 11);
    OPCHANDLE *found = nullptr;
    HRESULT *errors = nullptr;
    if (SUCCEEDED(hr))
        hr = server->GetItemHandles(DWORD(ids.size()), ids.data(), clientHandles.data(), &found,
                                    &errors);
    for (size_t i = 0; hr == S_OK && i < ids.size(); ++i) handles.push_back(found[i]);
    CoTaskMemFree(found);
    CoTaskMemFree(errors);
    OPCHDA_OPERATORCODES op = OPCHDA_EQUAL;
    VARIANT filter = {};
    errors = nullptr;
    if (SUCCEEDED(hr)) hr = server->CreateBrowse(0, &id, &op, &filter, &browser, &errors);
    if (SUCCEEDED(hr)) hr = browser->GetEnum(OPCHDA_FLAT, &strings);
    if (SUCCEEDED(hr)) hr = container->EnumConnectionPoints(&pointEnum);
    CoTaskMemFree(errors);
    return hr;
}

// With the sink advised again: the first item's handle, a synchronous and a
// queued raw read over [T0, T0 + 20 s] without bounds, the handle given back.
std::vector<std::string> World::ClosingRead() {
    std::vector<std::string> out;
    auto expect = [&](bool ok, const char *what) {
        if (!ok) out.push_back(std::string("closing read: ") + what);
        return ok;
    };
    points[1]->Unadvise(1);
    DWORD cookie = 0, cancelId = 0;
    expect(points[1]->Advise(static_cast<IOPCShutdown *>(&sink), &cookie) == S_OK, "Advise");
    LPWSTR id = const_cast<LPWSTR>(itemIds[0].c_str());
    OPCHANDLE client = 77, *found = nullptr, first = 0;
    HRESULT *e = nullptr;
    if (!expect(server->GetItemHandles(1, &id, &client, &found, &e) == S_OK, "no handle"))
        return out;
    first = found[0];
    CoTaskMemFree(found);
    CoTaskMemFree(e);
    OPCHDA_TIME from = {FALSE, nullptr, Ft(kT0)}, to = {FALSE, nullptr, Ft(kT0 + 2 * kStep)};
    OPCHDA_ITEM *r = nullptr;
    if (expect(sync->ReadRaw(&from, &to, 0, FALSE, 1, &first, &r, &e) == S_OK, "sync ReadRaw")) {
        expect(e[0] == S_OK && Known(r[0]), "synchronous values wrong");
        Free(r[0]);
        CoTaskMemFree(r);
        CoTaskMemFree(e);
    }
    if (expect(async->ReadRaw(kMarker, &from, &to, 0, FALSE, 1, &first, &cancelId, &e) == S_OK,
               "queued ReadRaw")) {
        CoTaskMemFree(e);
        if (expect(WaitForSingleObject(sink.marked, kWaitMs) == WAIT_OBJECT_0, "no delivery"))
            expect(sink.markedKnown, "delivered values wrong");
    }
    e = nullptr;
    expect(server->ReleaseItemHandles(1, &first, &e) == S_OK, "ReleaseItemHandles");
    CoTaskMemFree(e);
    return out;
}

bool World::WaitSinksBackToOne() {
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    for (CountingSink *s : {static_cast<CountingSink *>(&sink), &shutdownSink}) {
        // Read after each reset, so that a release in between is seen.
        for (ResetEvent(s->backToOne); s->Refs() != 1; ResetEvent(s->backToOne)) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline) return false;
            WaitForSingleObject(s->backToOne, static_cast<DWORD>(deadline - now));
        }
    }
    return true;
}

// Across processes nothing may still be calling into this process when it
// exits: the advise is cancelled, the sinks unadvised and given back, and one
// more round trip made before the last release. In process the sinks come
// back when the connection is destroyed. Released in random order: a browser
// or an enumerator may outlive the connection's own interfaces.
std::vector<std::string> World::Close() {
    std::vector<std::string> out;
    if (liveAdvise) async->Cancel(liveAdvise);
    if (!inProcess && points[1]) {
        points[0]->Unadvise(1);
        points[1]->Unadvise(1);
        if (!WaitSinksBackToOne()) out.push_back("the server kept a sink");
        LCID locale = 0;
        if (common->GetLocaleID(&locale) != S_OK) out.push_back("no last round trip");
    }
    IUnknown *held[] = {points[0], points[1], container,  bareAsync, async,   sync,
                        common,    server,    connection, browser,   strings, pointEnum};
    std::shuffle(std::begin(held), std::end(held), engine);
    for (IUnknown *object : held)
        if (object) object->Release();
    if (inProcess && !WaitSinksBackToOne()) out.push_back("the connection was not destroyed");
    for (const std::string &problem : sink.Problems()) out.push_back(problem);
    return out;
}

// Ends the process when no call has begun for kLimitMs: one has not returned,
// the run cannot go on, and a hang would only end at the test's time-out.
struct Watchdog {
    // Running before the calls start: under Wine a thread still being set up
    // when its process exits can crash the exit.
    explicit Watchdog(unsigned s) : seed(s) { WaitForSingleObject(ready, INFINITE); }
    ~Watchdog() {
        SetEvent(stop);
        WaitForSingleObject(thread, INFINITE);
        for (HANDLE h : {thread, ready, next, stop}) CloseHandle(h);
    }
    void Enter(const char *what, unsigned n) {
        name = what;
        step = n;
        SetEvent(next);
    }
    static DWORD WINAPI Run(void *arg) {
        Watchdog *self = static_cast<Watchdog *>(arg);
        SetEvent(self->ready);
        const HANDLE events[] = {self->stop, self->next};
        DWORD got;
        while ((got = WaitForMultipleObjects(2, events, FALSE, kLimitMs)) == WAIT_OBJECT_0 + 1) {}
        if (got == WAIT_OBJECT_0) return 0;
        fprintf(stderr, "HALVEX_FUZZ_SEED=%u: call %u, %s, has not returned after %lu ms\n",
                self->seed, self->step, self->name, kLimitMs);
        fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
        return 0;
    }
    const unsigned seed;
    const char *volatile name = "opening";
    volatile unsigned step = 0;
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE next = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
};

unsigned EnvNumber(const char *name, unsigned fallback) {
    char text[32];
    const DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    return n == 0 || n >= sizeof text ? fallback : unsigned(strtoul(text, nullptr, 0));
}

}  // namespace

unsigned HostileSeed() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned seed = EnvNumber("HALVEX_FUZZ_SEED", (now.dwLowDateTime / 10000) ^
                                                            (GetCurrentProcessId() << 16));
    printf("HALVEX_FUZZ_SEED=%u\n", seed);
    fflush(stdout);
    return seed;
}

std::vector<std::string> RunHostileCalls(const HostileSetup &setup, unsigned seed) {
    std::vector<std::string> failures;
    const std::string prefix = "HALVEX_FUZZ_SEED=" + std::to_string(seed) + ", ";
    const unsigned calls = EnvNumber("HALVEX_FUZZ_CALLS", setup.calls);
    Watchdog watchdog(seed);
    World world(setup, seed);
    const HRESULT opened = world.Open();
    if (FAILED(opened)) failures.push_back(prefix + "opening the connection: " + Hex(opened));
    for (unsigned step = 1; SUCCEEDED(opened) && step <= calls && failures.size() < 30; ++step) {
        const Call &call = kCalls[world.Below(std::size(kCalls))];
        world.Draw();
        watchdog.Enter(call.name, step);
        const HRESULT hr = call.run(world);
        if (!In(call.codes, hr)) world.problems.push_back("undefined result " + Hex(hr));
        world.Settle(hr);
        for (const std::string &problem : world.problems)
            failures.push_back(prefix + "call " + std::to_string(step) + " " + call.name + ": " +
                               problem);
    }
    watchdog.Enter("closing read", calls + 1);
    if (SUCCEEDED(opened))
        for (const std::string &problem : world.ClosingRead()) failures.push_back(prefix + problem);
    watchdog.Enter("closing", calls + 2);
    for (const std::string &problem : world.Close()) failures.push_back(prefix + problem);
    return failures;
}

}  // namespace testsupport
