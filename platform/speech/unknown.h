// IUnknown, the counted reference that every platform object carries, and a smart pointer for it.
#pragma once

#include <atomic>
#include <new>
#include <utility>

#include "platform/speech/status.h"

namespace lexavo::sp {

inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

// Implements the reference count of a concrete platform object. The last Release destroys
// the object: that is the one place where an object of the platform ends its own life.
template <class Derived>
class RefCounted {
public:
    ULONG AddRefImpl() { return ++refs_; }
    ULONG ReleaseImpl() {
        const ULONG left = --refs_;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

private:
    std::atomic<ULONG> refs_{1};
};

#define LEXAVO_IMPLEMENT_REFCOUNT                              \
    ULONG AddRef() override { return this->AddRefImpl(); }     \
    ULONG Release() override { return this->ReleaseImpl(); }

// Holds one counted reference; copying adds one, destruction releases it.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already owns.
    static ComPtr Adopt(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    // Adds a reference of its own.
    static ComPtr Share(T* p) {
        if (p) p->AddRef();
        return Adopt(p);
    }
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** Put() {
        Reset();
        return &p_;
    }
    T* Detach() { return std::exchange(p_, nullptr); }

    template <class U>
    ComPtr<U> As(REFIID iid) const {
        ComPtr<U> out;
        if (p_) p_->QueryInterface(iid, reinterpret_cast<void**>(out.Put()));
        return out;
    }

private:
    T* p_ = nullptr;
};

// Makes a new object of a class and hands out the interface asked for; the object lives as
// long as that reference.
template <class T, class... Args>
HRESULT CreateObject(REFIID iid, void** ppv, Args&&... args) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    auto* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(iid, ppv);
    object->Release();
    return hr;
}

}  // namespace lexavo::sp
