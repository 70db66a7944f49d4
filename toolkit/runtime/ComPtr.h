// Minimal owning COM pointer: put() releases before handing out the address,
// attach() takes a reference without AddRef, detach() gives it up unreleased.
#ifndef HALVEX_COM_PTR_H
#define HALVEX_COM_PTR_H

#include <unknwn.h>

namespace halvex {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr &o) : p_(o.p_) { if (p_) p_->AddRef(); }
    ~ComPtr() { reset(); }
    ComPtr &operator=(const ComPtr &o) {
        if (o.p_) o.p_->AddRef();
        reset();
        p_ = o.p_;
        return *this;
    }

    T *get() const { return p_; }
    T *operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    T **put() { reset(); return &p_; }
    void attach(T *p) { reset(); p_ = p; }
    [[nodiscard]] T *detach() { T *p = p_; p_ = nullptr; return p; }
    void reset() {
        T *p = p_;
        p_ = nullptr;
        if (p) p->Release();
    }

private:
    T *p_ = nullptr;
};

}  // namespace halvex

#endif
