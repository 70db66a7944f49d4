// A data-callback sink that copies every delivery it receives (the server
// frees the arrays after the call returns) and lets a test wait for the nth.
// `during`, when set, runs inside the callback on the caller's thread: the
// re-entrancy tests call back into the server from there.
#ifndef HALVEX_RECORDING_SINK_H
#define HALVEX_RECORDING_SINK_H

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "support/CountingSink.h"

namespace testsupport {

struct ItemCopy {
    DWORD client = 0;
    std::vector<ULONGLONG> stamps;
    std::vector<DWORD> qualities;
    std::vector<double> values;  // VT_R8 or VT_I4 values; others as -1
};

struct DeliveryCopy {
    enum Method { kDataChange, kReadComplete, kAttributeComplete } method;
    DWORD transaction = 0;
    HRESULT status = S_OK;
    DWORD client = 0;  // attribute deliveries: the item's client handle
    std::vector<HRESULT> errors;
    std::vector<ItemCopy> items;  // attribute deliveries: one per attribute
};

class RecordingSink : public CountingSink {
public:
    RecordingSink() : CountingSink(false, true) {}

    std::function<void(const DeliveryCopy &)> during;

    // Waits until at least n deliveries have arrived; false on time-out.
    bool WaitFor(size_t n, DWORD ms) {
        std::unique_lock<std::mutex> guard(lock_);
        return arrived_.wait_for(guard, std::chrono::milliseconds(ms),
                                 [&] { return deliveries_.size() >= n; });
    }
    std::vector<DeliveryCopy> Deliveries() {
        std::lock_guard<std::mutex> guard(lock_);
        return deliveries_;
    }

    HRESULT STDMETHODCALLTYPE OnDataChange(DWORD t, HRESULT s, DWORD n, OPCHDA_ITEM *items,
                                           HRESULT *errors) override {
        return Record(Items(DeliveryCopy::kDataChange, t, s, n, items, errors));
    }
    HRESULT STDMETHODCALLTYPE OnReadComplete(DWORD t, HRESULT s, DWORD n, OPCHDA_ITEM *items,
                                             HRESULT *errors) override {
        return Record(Items(DeliveryCopy::kReadComplete, t, s, n, items, errors));
    }
    HRESULT STDMETHODCALLTYPE OnReadAttributeComplete(DWORD t, HRESULT s, OPCHANDLE client,
                                                      DWORD n, OPCHDA_ATTRIBUTE *attributes,
                                                      HRESULT *errors) override {
        DeliveryCopy copy{DeliveryCopy::kAttributeComplete, t, s, client,
                          std::vector<HRESULT>(errors, errors + n), {}};
        for (DWORD j = 0; j < n; ++j) {
            ItemCopy item;
            item.client = attributes[j].hClient;
            for (DWORD k = 0; k < attributes[j].dwNumValues; ++k) {
                item.stamps.push_back(Ticks(attributes[j].ftTimeStamps[k]));
                item.values.push_back(Number(attributes[j].vAttributeValues[k]));
            }
            copy.items.push_back(item);
        }
        return Record(copy);
    }

private:
    static ULONGLONG Ticks(const FILETIME &t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    }
    static double Number(const VARIANT &v) {
        if (v.vt == VT_R8) return v.dblVal;
        if (v.vt == VT_I4) return v.lVal;
        if (v.vt == VT_I2) return v.iVal;
        return -1;
    }
    static DeliveryCopy Items(DeliveryCopy::Method method, DWORD t, HRESULT s, DWORD n,
                              const OPCHDA_ITEM *items, const HRESULT *errors) {
        DeliveryCopy copy{method, t, s, 0, std::vector<HRESULT>(errors, errors + n), {}};
        for (DWORD i = 0; i < n; ++i) {
            ItemCopy item;
            item.client = items[i].hClient;
            for (DWORD k = 0; k < items[i].dwCount; ++k) {
                item.stamps.push_back(Ticks(items[i].pftTimeStamps[k]));
                item.qualities.push_back(items[i].pdwQualities[k]);
                item.values.push_back(Number(items[i].pvDataValues[k]));
            }
            copy.items.push_back(item);
        }
        return copy;
    }
    HRESULT Record(const DeliveryCopy &copy) {
        if (during) during(copy);
        {
            std::lock_guard<std::mutex> guard(lock_);
            deliveries_.push_back(copy);
        }
        arrived_.notify_all();
        return S_OK;
    }

    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<DeliveryCopy> deliveries_;
};

}  // namespace testsupport

#endif
