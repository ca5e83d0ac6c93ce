// The IUnknown of our COM objects, written once: an atomic reference count that deletes the
// object at zero, and QueryInterface answered from the object's interface table. A class lists
// the interfaces it implements as bases of ComObject and names, in its InterfaceTable(), each
// identifier it answers with the interface that answers it (an interface reached through another,
// IOleWindow through IDeskBand, is named too). IUnknown is the first entry's interface, so every
// interface gives back one identity. The methods are noexcept; an object starts with one
// reference, its creator's.
//
//   class Sink final : public ComObject<Sink, IDispatch> {
//    public:
//     static std::span<const InterfaceEntry<Sink>> InterfaceTable() {
//       static const InterfaceEntry<Sink> table[] = {Entry<Sink, IDispatch>(IID_IDispatch)};
//       return table;
//     }
//   };
#pragma once

#include <atomic>
#include <new>
#include <span>
#include <utility>

#include "platform/win32/windows_api.h"
#include "platform/win32/com_ptr.h"

#include <unknwn.h>

namespace norvex::platform::win32 {

// One row of an interface table: an interface identifier and how the object hands out the
// interface that answers it.
template <typename Object>
struct InterfaceEntry {
  const IID* iid;
  IUnknown* (*of)(Object& object);
};

// The row for `iid`, answered by the object's `Interface` base.
template <typename Object, typename Interface>
InterfaceEntry<Object> Entry(const IID& iid) {
  return {&iid, [](Object& object) -> IUnknown* { return static_cast<Interface*>(&object); }};
}

// QueryInterface over a table: S_OK with one more reference, E_NOINTERFACE (and null) for an
// identifier the table does not hold, E_POINTER without a place for the result.
template <typename Object>
HRESULT QueryFromTable(Object& object, std::span<const InterfaceEntry<Object>> table, REFIID iid,
                       void** result) {
  if (!result) return E_POINTER;
  *result = nullptr;
  if (table.empty()) return E_NOINTERFACE;
  IUnknown* found = ::IsEqualIID(iid, IID_IUnknown) ? table.front().of(object) : nullptr;
  for (const InterfaceEntry<Object>& entry : table) {
    if (found) break;
    if (::IsEqualIID(iid, *entry.iid)) found = entry.of(object);
  }
  if (!found) return E_NOINTERFACE;
  found->AddRef();
  *result = found;
  return S_OK;
}

// The reference count of an object that deletes itself at zero; starts at 1.
class RefCounted {
 public:
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

 protected:
  RefCounted() = default;
  virtual ~RefCounted() = default;
  ULONG AddReference() noexcept { return ++references_; }
  ULONG ReleaseReference() noexcept {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> references_{1};
};

// A COM object implementing `Interfaces`: its IUnknown from Derived::InterfaceTable(). The count
// comes first in the object, so the object is deleted through its own address.
template <typename Derived, typename... Interfaces>
class ComObject : protected RefCounted, public Interfaces... {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) noexcept override {
    return QueryFromTable(static_cast<Derived&>(*this), Derived::InterfaceTable(), iid, result);
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return AddReference(); }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return ReleaseReference(); }

 protected:
  ComObject() = default;
};

// A new object of `T` held by a ComPtr that takes over the creator's reference; empty when out
// of memory.
template <typename T, typename... Arguments>
ComPtr<T> MakeComObject(Arguments&&... arguments) {
  return ComPtr<T>::Adopt(new (std::nothrow) T(std::forward<Arguments>(arguments)...));
}

// *out = `object` with one more reference; S_OK. E_POINTER for a null `out`.
template <typename T>
HRESULT HandOut(T* object, void** out) {
  if (!out) return E_POINTER;
  object->AddRef();
  *out = object;
  return S_OK;
}

}  // namespace norvex::platform::win32
