#include "support/ClientCalls.h"

#include <cstdio>
#include <vector>

#include "support/CheckingSink.h"

namespace testsupport {
namespace {

constexpr ULONGLONG kS = 100000000ull;         // the grid step, 10 s
constexpr ULONGLONG kT0 = 1320000000ull * kS;  // a grid stamp whose value index is 0
constexpr HRESULT kInvalidHandle = static_cast<HRESULT>(0xC0040001);
constexpr HRESULT kUnknownItemId = static_cast<HRESULT>(0xC0040007);
constexpr HRESULT kNoData = 0x40041002;
constexpr HRESULT kCurrentValue = 0x40041005;
constexpr HRESULT kInvalidAttrId = static_cast<HRESULT>(0xC004100C);
enum Item { kA, kB, kNone, kUnknown };  // positions in ReadConnection::items

using Texts = std::vector<std::string>;

// One item's (or attribute's) part of a result. A record of an unknown
// handle has client 0; qualities are compared only where some are expected.
struct Record {
    HRESULT error;
    DWORD client;
    Texts values;
    std::vector<DWORD> qualities;
};

struct Expected {
    const char *name;
    HRESULT sync, queued, status;  // the calls' results and the callback's status
    std::vector<Record> records;
};

const Texts kZeroToFive = {"0", "1", "2", "3", "4", "5"};
const Expected kExpected[kReadKinds] = {
    {"raw", S_FALSE, S_FALSE, S_FALSE,
     {{S_OK, 11, kZeroToFive, {4, 4, 4, 4, 4, 4}}, {kNoData, 13, {}, {}},
      {kInvalidHandle, 0, {}, {}}}},
    {"processed", S_OK, S_OK, S_OK, {{S_OK, 11, {"3", "3"}, {}}}},
    {"at time", S_OK, S_OK, S_OK, {{S_OK, 11, {"0", "0", "7"}, {4, 2, 4}}}},
    {"attribute", S_FALSE, S_OK, S_FALSE,
     {{kCurrentValue, 12, {"5"}, {}}, {kCurrentValue, 12, {"A.A.B"}, {}},
      {kInvalidAttrId, 12, {}, {}}}},
};

FILETIME Ft(ULONGLONG t) { return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)}; }
ULONGLONG Ticks(const FILETIME &t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
OPCHDA_TIME At(ULONGLONG t) { return OPCHDA_TIME{FALSE, nullptr, Ft(t)}; }

std::string Hex(HRESULT hr) {
    char text[12];
    snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(hr));
    return text;
}

// A value as text: numbers in their shortest form, strings as they are.
std::string Text(const VARIANT &v) {
    VARIANT s;
    VariantInit(&s);
    std::string out = "?";
    if (SUCCEEDED(VariantChangeType(&s, const_cast<VARIANT *>(&v), 0, VT_BSTR))) {
        out.clear();
        for (const WCHAR *p = s.bstrVal; p && *p; ++p) out += static_cast<char>(*p);
    }
    VariantClear(&s);
    return out;
}

std::string Text(const std::vector<Record> &records) {
    std::string out;
    for (const Record &r : records) {
        out += "[" + Hex(r.error) + " client " + std::to_string(r.client) + ":";
        for (size_t k = 0; k < r.values.size(); ++k)
            out += " " + r.values[k] +
                   (k < r.qualities.size() ? "/q" + std::to_string(r.qualities[k]) : "");
        out += "]";
    }
    return out;
}

// The records of a result, copied; the arrays are left to their owner.
std::vector<Record> Records(DWORD n, const OPCHDA_ITEM *items, const HRESULT *errors) {
    std::vector<Record> out;
    for (DWORD i = 0; items && errors && i < n; ++i) {
        Record r{errors[i], errors[i] == kInvalidHandle ? 0 : items[i].hClient, {}, {}};
        for (DWORD k = 0; k < items[i].dwCount; ++k) {
            r.values.push_back(Text(items[i].pvDataValues[k]));
            r.qualities.push_back(items[i].pdwQualities[k]);
        }
        out.push_back(r);
    }
    return out;
}
std::vector<Record> Records(DWORD n, const OPCHDA_ATTRIBUTE *attributes, const HRESULT *errors) {
    std::vector<Record> out;
    for (DWORD j = 0; attributes && errors && j < n; ++j) {
        Record r{errors[j], attributes[j].hClient, {}, {}};
        for (DWORD k = 0; k < attributes[j].dwNumValues; ++k)
            r.values.push_back(Text(attributes[j].vAttributeValues[k]));
        out.push_back(r);
    }
    return out;
}

// "" when the records are those expected, else both as text.
std::string Compare(const std::vector<Record> &got, const std::vector<Record> &want) {
    bool same = got.size() == want.size();
    for (size_t i = 0; same && i < got.size(); ++i)
        same = got[i].error == want[i].error && got[i].client == want[i].client &&
               got[i].values == want[i].values &&
               (want[i].qualities.empty() || got[i].qualities == want[i].qualities);
    return same ? "" : "records " + Text(got) + ", expected " + Text(want);
}

// A result or code compared with the one expected.
std::string Same(const char *what, HRESULT got, HRESULT want) {
    return got == want ? "" : std::string(what) + " " + Hex(got) + ", expected " + Hex(want) + "; ";
}

volatile LONG g_calls = 0;

// The result of a call on the server, counted.
std::string Result(const char *what, HRESULT got, HRESULT want) {
    InterlockedIncrement(&g_calls);
    return Same(what, got, want);
}

void FreeAttributes(OPCHDA_ATTRIBUTE *attributes, DWORD n) {
    for (DWORD j = 0; attributes && j < n; ++j) {
        for (DWORD k = 0; k < attributes[j].dwNumValues; ++k)
            VariantClear(&attributes[j].vAttributeValues[k]);
        CoTaskMemFree(attributes[j].ftTimeStamps);
        CoTaskMemFree(attributes[j].vAttributeValues);
    }
    CoTaskMemFree(attributes);
}

// The arguments of a kind of read, the same for both interfaces.
struct ReadArguments {
    ReadArguments(const ReadConnection &c, ReadKind kind)
        : to(At(kT0 + (kind == kRawRead ? 5 : kind == kProcessedRead ? 6 : 1) * kS)),
          handles{kind == kAttributeRead ? c.items[kB] : c.items[kA], c.items[kNone],
                  c.items[kUnknown]},
          count(kind == kRawRead || kind == kAttributeRead ? 3 : 1) {}
    OPCHDA_TIME from = At(kT0), to;
    OPCHANDLE handles[3];
    const DWORD count;  // records: items, or attributes
    DWORD aggregate = 5;
    const FILETIME interval = Ft(3 * kS);
    FILETIME stamps[3] = {Ft(kT0), Ft(kT0 + kS / 2), Ft(kT0 + 7 * kS)};
    DWORD attributes[3] = {1, 13, 99};
};

// Counts the strings an enumerator still lists (in batches of 16), freeing
// them; `text` gets the first one.
ULONG CountNames(IEnumString *names, std::string *text = nullptr) {
    ULONG total = 0, fetched = 0;
    HRESULT hr = S_OK;
    do {
        LPOLESTR got[16] = {};
        fetched = 0;
        hr = names->Next(16, got, &fetched);
        InterlockedIncrement(&g_calls);
        for (ULONG k = 0; k < fetched && k < 16; ++k) {
            if (text && total + k == 0)
                for (const WCHAR *p = got[k]; p && *p; ++p) *text += static_cast<char>(*p);
            CoTaskMemFree(got[k]);
        }
        total += fetched;
    } while (hr == S_OK && fetched == 16);
    return total;
}

std::string Count(const char *what, ULONG got, ULONG want) {
    return got == want ? ""
                       : std::string(what) + " " + std::to_string(got) + ", expected " +
                             std::to_string(want) + "; ";
}

std::string Name(const char *what, const std::string &got, const char *want) {
    return got == want ? "" : std::string(what) + " \"" + got + "\", expected \"" + want + "\"; ";
}

std::string TakeName(LPWSTR text) {
    std::string out;
    for (const WCHAR *p = text; p && *p; ++p) out += static_cast<char>(*p);
    CoTaskMemFree(text);
    return out;
}

}  // namespace

void FreeItems(OPCHDA_ITEM *items, DWORD n) {
    for (DWORD i = 0; items && i < n; ++i) {
        for (DWORD k = 0; k < items[i].dwCount; ++k) VariantClear(&items[i].pvDataValues[k]);
        CoTaskMemFree(items[i].pftTimeStamps);
        CoTaskMemFree(items[i].pdwQualities);
        CoTaskMemFree(items[i].pvDataValues);
    }
    CoTaskMemFree(items);
}
LONG CallsMade() { return g_calls; }

ULONGLONG UtcNowMs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG t = Ticks(now);
    return t - t % 10000;
}

std::string SyncRead(ReadConnection &c, ReadKind kind) {
    ReadArguments a(c, kind);
    OPCHDA_ITEM *items = nullptr;
    OPCHDA_ATTRIBUTE *attributes = nullptr;
    HRESULT *errors = nullptr, hr = E_FAIL;
    if (kind == kRawRead)
        hr = c.sync->ReadRaw(&a.from, &a.to, 0, FALSE, a.count, a.handles, &items, &errors);
    if (kind == kProcessedRead)
        hr = c.sync->ReadProcessed(&a.from, &a.to, a.interval, a.count, a.handles, &a.aggregate,
                                   &items, &errors);
    if (kind == kAtTimeRead)
        hr = c.sync->ReadAtTime(3, a.stamps, a.count, a.handles, &items, &errors);
    if (kind == kAttributeRead)
        hr = c.sync->ReadAttribute(&a.from, &a.to, a.handles[0], a.count, a.attributes,
                                   &attributes, &errors);
    const Expected &e = kExpected[kind];
    const std::string problem =
        Result(e.name, hr, e.sync) +
        Compare(attributes ? Records(a.count, attributes, errors) : Records(a.count, items, errors),
                e.records);
    FreeItems(items, a.count);
    FreeAttributes(attributes, a.count);
    CoTaskMemFree(errors);
    return problem;
}

std::string StartRead(ReadConnection &c, ReadKind kind, DWORD transaction, DWORD *cancel) {
    ReadArguments a(c, kind);
    HRESULT *errors = nullptr, hr = E_FAIL;
    if (kind == kRawRead)
        hr = c.async->ReadRaw(transaction, &a.from, &a.to, 0, FALSE, a.count, a.handles, cancel,
                              &errors);
    if (kind == kProcessedRead)
        hr = c.async->ReadProcessed(transaction, &a.from, &a.to, a.interval, a.count, a.handles,
                                    &a.aggregate, cancel, &errors);
    if (kind == kAtTimeRead)
        hr = c.async->ReadAtTime(transaction, 3, a.stamps, a.count, a.handles, cancel, &errors);
    if (kind == kAttributeRead)
        hr = c.async->ReadAttribute(transaction, &a.from, &a.to, a.handles[0], a.count,
                                    a.attributes, cancel, &errors);
    const Expected &e = kExpected[kind];
    // Only unknown handles are refused when the read is queued.
    std::string problem = Result(e.name, hr, e.queued);
    for (DWORD i = 0; errors && i < a.count; ++i)
        problem += Same("queued error", errors[i],
                          e.records[i].error == kInvalidHandle ? kInvalidHandle : S_OK);
    CoTaskMemFree(errors);
    return problem;
}

std::string StartAdvise(ReadConnection &c, DWORD transaction, ULONGLONG start,
                        ULONGLONG interval, DWORD *cancel) {
    OPCHDA_TIME from = At(start);
    HRESULT *errors = nullptr;
    const HRESULT hr = c.async->AdviseRaw(transaction, &from, Ft(interval), 1, &c.items[kA],
                                          cancel, &errors);
    CoTaskMemFree(errors);
    return Result("AdviseRaw", hr, S_OK);
}

std::string Cancel(ReadConnection &c, DWORD cancelId) {
    return Result("Cancel", c.async->Cancel(cancelId), S_OK);
}

std::string CheckItems(DWORD transaction, HRESULT status, DWORD count, const OPCHDA_ITEM *items,
                       const HRESULT *errors) {
    const DWORD kind = KindOf(transaction);
    if (kind < kReadKinds)
        return Same("status", status, kExpected[kind].status) +
               Compare(Records(count, items, errors), kExpected[kind].records);
    // An advise window of A.A.A: its grid values, or none.
    const std::vector<Record> got = Records(count, items, errors);
    if (kind != kAdviseKind || got.size() != 1 || got[0].client != 11)
        return "unexpected delivery " + Text(got);
    const bool none = got[0].values.empty();
    std::string problem = Same("window status", status, none ? S_FALSE : S_OK) +
                          Same("window error", got[0].error, none ? kNoData : S_OK);
    for (DWORD k = 0; k < items[0].dwCount; ++k) {
        const ULONGLONG t = Ticks(items[0].pftTimeStamps[k]);
        if (t % kS || got[0].values[k] != std::to_string(t / kS % 1000) || got[0].qualities[k] != 4)
            problem += "window value " + got[0].values[k] + " at " + std::to_string(t) + "; ";
    }
    return problem;
}

std::string CheckAttributes(DWORD transaction, HRESULT status, OPCHANDLE client, DWORD count,
                            const OPCHDA_ATTRIBUTE *attributes, const HRESULT *errors) {
    if (KindOf(transaction) != kAttributeRead) return "unexpected attribute delivery";
    const Expected &e = kExpected[kAttributeRead];
    return Same("status", status, e.status) + Same("client", client, 12) +
           Compare(Records(count, attributes, errors), e.records);
}

std::string Browse(IOPCHDA_Server *server) {
    // The proxy cannot send a null array, even an empty one.
    DWORD id = 0;
    OPCHDA_OPERATORCODES op = OPCHDA_EQUAL;
    VARIANT filter;
    VariantInit(&filter);
    IOPCHDA_Browser *browser = nullptr;
    HRESULT *errors = nullptr;
    std::string problem = Result("CreateBrowse", server->CreateBrowse(0, &id, &op, &filter,
                                                                      &browser, &errors), S_OK);
    CoTaskMemFree(errors);
    if (!browser) return problem;
    // At the root: one branch and nine items; in "A.B" three leaves.
    const struct {
        OPCHDA_BROWSETYPE type;
        const wchar_t *position;
        ULONG count;
    } listings[] = {{OPCHDA_BRANCH, L"", 1}, {OPCHDA_FLAT, L"", 9}, {OPCHDA_LEAF, L"A.B", 3}};
    for (const auto &l : listings) {
        problem += Result("ChangeBrowsePosition",
                          browser->ChangeBrowsePosition(OPCHDA_BROWSE_DIRECT, l.position), S_OK);
        IEnumString *names = nullptr;
        problem += Result("GetEnum", browser->GetEnum(l.type, &names), S_OK);
        if (names) {
            problem += Count("names", CountNames(names), l.count);
            names->Release();
        }
    }
    LPWSTR text = nullptr;
    problem += Result("GetBranchPosition", browser->GetBranchPosition(&text), S_OK);
    problem += Name("position", TakeName(text), "A.B");
    text = nullptr;
    problem += Result("GetItemID", browser->GetItemID(L"B", &text), S_OK);
    problem += Name("item ID", TakeName(text), "A.B.B");
    // An enumerator moved on by one, and its clone, list the last two leaves.
    IEnumString *names = nullptr, *copy = nullptr;
    problem += Result("GetEnum", browser->GetEnum(OPCHDA_LEAF, &names), S_OK);
    if (names) {
        problem += Result("Skip", names->Skip(1), S_OK);
        problem += Result("Clone", names->Clone(&copy), S_OK);
        std::string first;
        problem += Count("names after a skip", CountNames(names, &first), 2);
        problem += Name("first name", first, "B");
        problem += Result("Reset", names->Reset(), S_OK);
        names->Release();
    }
    if (copy) {
        problem += Count("names of a clone", CountNames(copy), 2);
        copy->Release();
    }
    browser->Release();
    return problem;
}

std::string HandleChurn(IOPCHDA_Server *server) {
    LPWSTR ids[] = {const_cast<LPWSTR>(L"A.B.A"), const_cast<LPWSTR>(L"A.C.B")};
    OPCHANDLE clients[] = {21, 22}, *handles = nullptr;
    HRESULT *errors = nullptr;
    std::string problem =
        Result("GetItemHandles", server->GetItemHandles(2, ids, clients, &handles, &errors), S_OK);
    CoTaskMemFree(errors);
    errors = nullptr;
    if (handles)
        problem += Result("ReleaseItemHandles", server->ReleaseItemHandles(2, handles, &errors),
                          S_OK);
    CoTaskMemFree(handles);
    CoTaskMemFree(errors);
    return problem;
}

std::string Queries(ReadConnection &c) {
    OPCHDA_SERVERSTATUS status = OPCHDA_DOWN;
    FILETIME *now = nullptr, *start = nullptr;
    WORD major, minor, build;
    DWORD maxValues = 0, count = 0, *ids = nullptr;
    LPWSTR text = nullptr, vendor = nullptr, *names = nullptr, *descriptions = nullptr;
    // Each check is a statement of its own: the operands of + are unsequenced.
    std::string problem =
        Result("GetHistorianStatus",
               c.server->GetHistorianStatus(&status, &now, &start, &major, &minor, &build,
                                            &maxValues, &text, &vendor), S_OK);
    problem += Count("status", status, OPCHDA_UP);
    problem += Name("vendor", TakeName(vendor), "Halvex test server vendor");
    CoTaskMemFree(now);
    CoTaskMemFree(start);
    CoTaskMemFree(text);
    // Four attributes and two aggregates are defined.
    auto takeDefinitions = [&](const char *what, ULONG want) {
        problem += Count(what, count, want);
        for (DWORD i = 0; i < count; ++i) {
            CoTaskMemFree(names[i]);
            CoTaskMemFree(descriptions[i]);
        }
        CoTaskMemFree(ids);
        CoTaskMemFree(names);
        CoTaskMemFree(descriptions);
        count = 0;
    };
    VARTYPE *types = nullptr;
    problem += Result("GetItemAttributes",
                      c.server->GetItemAttributes(&count, &ids, &names, &descriptions, &types),
                      S_OK);
    CoTaskMemFree(types);
    takeDefinitions("attributes", 4);
    problem += Result("GetAggregates", c.server->GetAggregates(&count, &ids, &names, &descriptions),
                      S_OK);
    takeDefinitions("aggregates", 2);

    LPWSTR items[] = {const_cast<LPWSTR>(L"A.A.A"), const_cast<LPWSTR>(L"No.Such.Item")};
    HRESULT *errors = nullptr;
    problem += Result("ValidateItemIDs", c.server->ValidateItemIDs(2, items, &errors), S_FALSE);
    if (errors) problem += Same("unknown item", errors[1], kUnknownItemId);
    CoTaskMemFree(errors);

    LCID locale = 0, *locales = nullptr;
    problem += Result("GetLocaleID", c.common->GetLocaleID(&locale), S_OK);
    problem += Result("QueryAvailableLocaleIDs",
                      c.common->QueryAvailableLocaleIDs(&count, &locales), S_OK);
    problem += Count("locales", count, 1);
    CoTaskMemFree(locales);
    text = nullptr;
    problem += Result("GetErrorString", c.common->GetErrorString(kUnknownItemId, &text), S_OK);
    problem += Count("error text", TakeName(text).empty(), 0);
    problem += Result("SetClientName", c.common->SetClientName(L"Halvex accounts"), S_OK);

    // The shutdown and data-callback points.
    IEnumConnectionPoints *points = nullptr;
    problem += Result("EnumConnectionPoints", c.container->EnumConnectionPoints(&points), S_OK);
    if (points) {
        // Two points, one at a time (the marshaling pads a short batch with
        // nulls), then none.
        for (ULONG k = 0; k < 3; ++k) {
            IConnectionPoint *point = nullptr;
            ULONG fetched = 0;
            problem += Result("IEnumConnectionPoints::Next", points->Next(1, &point, &fetched),
                              k < 2 ? S_OK : S_FALSE);
            problem += Count("points fetched", fetched, k < 2 ? 1 : 0);
            if (!point) continue;
            IID iid = {};
            problem += Result("GetConnectionInterface", point->GetConnectionInterface(&iid), S_OK);
            point->Release();
        }
        points->Release();
    }
    return problem;
}

std::string CallEveryKind(ReadConnection &c, CheckingSink &sink, DWORD n, DWORD waitMs) {
    std::string problem;
    DWORD cancel = 0;
    for (DWORD k = 0; k < kReadKinds; ++k) {
        const ReadKind kind = static_cast<ReadKind>(k);
        const DWORD t = TransactionId(kind, n + k);
        problem += SyncRead(c, kind);
        problem += StartRead(c, kind, t, &cancel);
        if (!sink.WaitFor(t, 1, waitMs))
            problem += std::string(kExpected[k].name) + ": no callback; ";
        sink.Forget(t);
    }
    // Delivered or not: either is right.
    problem += StartRead(c, kRawRead, TransactionId(kRawRead, n + kReadKinds), &cancel);
    problem += Cancel(c, cancel);
    const DWORD advise = TransactionId(kAdviseKind, n);
    problem += StartAdvise(c, advise, UtcNowMs(), 50 * 10000, &cancel);
    if (!sink.WaitFor(advise, 2, waitMs)) problem += "advise: no second window; ";
    problem += Cancel(c, cancel);
    sink.Forget(advise);
    problem += Browse(c.server);
    problem += HandleChurn(c.server);
    return problem + Queries(c);
}

}  // namespace testsupport
