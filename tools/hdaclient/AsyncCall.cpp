#include "AsyncCall.h"

#include <cstdio>

#include "CommandSupport.h"
#include "Failure.h"
#include "ResultCodes.h"

namespace hdaclient {
namespace {

constexpr DWORD kCallbackWaitMs = 30000;

std::string Ids(DWORD transaction, DWORD cancelId) {
    return "transaction ID " + std::to_string(transaction) + ", cancel ID " +
           std::to_string(cancelId);
}

}  // namespace

AsyncCall::AsyncCall(AsyncSession &session, const std::string &method)
    : session_(session), method_(method), transaction_(session.NextTransaction()) {}

AsyncCall::~AsyncCall() {
    Cancel();
    CoTaskMemFree(errors_);
}

void AsyncCall::Started(HRESULT result, const std::vector<std::string> &labels) {
    session_.Server().Check(result, method_.c_str());
    result_ = result;
    entries_ = static_cast<DWORD>(labels.size());
    outstanding_ = true;
    PrintField("AsyncRead", method_ + ": " + ResultLabel(result) + ", " +
                                Ids(transaction_, cancelId_));
    for (DWORD i = 0; errors_ && i < entries_; ++i) {
        if (errors_[i] != S_OK) {
            printf("  %s  %s\n", labels[i].c_str(), session_.Server().Describe(errors_[i]).c_str());
        }
    }
    if (EveryEntryFailed()) outstanding_ = false;
}

bool AsyncCall::EveryEntryFailed() const {
    if (result_ != S_FALSE || !errors_) return false;
    for (DWORD i = 0; i < entries_; ++i) {
        if (SUCCEEDED(errors_[i])) return false;
    }
    return true;
}

std::unique_ptr<Delivery> AsyncCall::FromMethodCodes(Delivery::Kind kind) {
    std::unique_ptr<Delivery> delivery(new Delivery);
    delivery->kind = kind;
    delivery->transactionId = transaction_;
    delivery->status = S_FALSE;
    delivery->count = entries_;
    if (kind == Delivery::kReadAttributeComplete) {
        delivery->attributes.reset(new AttributeResults(entries_));
        delivery->attributes->errors = errors_;
    } else {
        delivery->values.reset(new ReadResults(entries_));
        *delivery->values->Errors() = errors_;
    }
    errors_ = nullptr;
    return delivery;
}

std::unique_ptr<Delivery> AsyncCall::Complete(Delivery::Kind kind) {
    if (EveryEntryFailed()) {
        PrintField("Callback", "none: every entry failed in the call");
        return FromMethodCodes(kind);
    }
    std::unique_ptr<Delivery> delivery = Next(kind, kCallbackWaitMs, nullptr);
    if (!delivery) {
        Cancel();
        throw Failure(kExitCallFailed, std::string("no ") + CallbackName(kind) + " for " +
                                           Ids(transaction_, cancelId_) + " within " +
                                           std::to_string(kCallbackWaitMs / 1000) + " s");
    }
    outstanding_ = false;
    PrintField("Callback", std::string(CallbackName(kind)) + ": transaction ID " +
                               std::to_string(transaction_) + ", hrStatus " +
                               ResultLabel(delivery->status) + ", cancel ID " +
                               std::to_string(cancelId_));
    session_.Server().Check(delivery->status, CallbackName(kind));
    return delivery;
}

std::unique_ptr<Delivery> AsyncCall::Next(Delivery::Kind kind, DWORD timeoutMs, HANDLE stop) {
    std::unique_ptr<Delivery> delivery = session_.Sink().Take(transaction_, timeoutMs, stop);
    if (!delivery) return nullptr;
    std::string what = std::string(CallbackName(delivery->kind)) + " for transaction ID " +
                       std::to_string(transaction_);
    if (delivery->kind != kind) {
        throw Failure(kExitCallFailed, "the server called " + what + ", expected " +
                                           CallbackName(kind));
    }
    if (!delivery->copied) {
        throw Failure(kExitCallFailed, "out of memory copying the values of " + what);
    }
    if (delivery->count != entries_) {
        throw Failure(kExitCallFailed, what + " has " + std::to_string(delivery->count) +
                                           " entries, expected " + std::to_string(entries_));
    }
    return delivery;
}

void AsyncCall::Cancel() {
    if (!outstanding_) return;
    outstanding_ = false;
    session_.AsyncRead()->Cancel(cancelId_);
}

}  // namespace hdaclient

