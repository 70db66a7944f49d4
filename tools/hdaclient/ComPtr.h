// Owning pointers for COM interfaces and for memory the server allocated.
#ifndef HDACLIENT_COM_PTR_H
#define HDACLIENT_COM_PTR_H

#include <objbase.h>

namespace hdaclient {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr &) = delete;
    ComPtr &operator=(const ComPtr &) = delete;
    ComPtr(ComPtr &&other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ComPtr &operator=(ComPtr &&other) noexcept {
        if (this != &other) {
            Reset();
            p_ = other.p_;
            other.p_ = nullptr;
        }
        return *this;
    }
    ~ComPtr() { Reset(); }

    T *operator->() const { return p_; }
    T *Get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For an [out] interface parameter.
    T **Out() {
        Reset();
        return &p_;
    }
    void **OutVoid() { return reinterpret_cast<void **>(Out()); }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T *p_ = nullptr;
};

// An array the server allocated with CoTaskMemAlloc.
template <class T>
class TaskMem {
public:
    TaskMem() = default;
    TaskMem(const TaskMem &) = delete;
    TaskMem &operator=(const TaskMem &) = delete;
    ~TaskMem() { CoTaskMemFree(p_); }

    T **Out() {
        CoTaskMemFree(p_);
        p_ = nullptr;
        return &p_;
    }
    T *Get() const { return p_; }
    T &operator[](size_t i) const { return p_[i]; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T *p_ = nullptr;
};

}  // namespace hdaclient

#endif
