// The IUnknown part of the backend's small COM objects: one interface besides IUnknown, and a
// reference count; the object deletes itself when Release brings the count to 0 or below.
// Internal to platform/win32.
#pragma once

#include <windows.h>
#include <ole2.h>

namespace kestrane::platform::win32 {

// COM interfaces have no virtual destructor; the objects delete themselves through this one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
template <typename Interface, const IID& kInterfaceId>
class ComObject : public Interface {
 public:
  explicit ComObject(long initialCount) : count_(initialCount) {}
  virtual ~ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  // Answers the interface and IUnknown with this object (after AddRef); anything else gives
  // E_NOINTERFACE and a null pointer.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, kInterfaceId) || IsEqualIID(iid, IID_IUnknown)) {
      this->AddRef();
      *out = static_cast<Interface*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++count_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long remaining = --count_;
    if (remaining <= 0) {
      delete this;
      return 0;
    }
    return static_cast<ULONG>(remaining);
  }

 private:
  long count_;
};
#pragma GCC diagnostic pop

}  // namespace kestrane::platform::win32
