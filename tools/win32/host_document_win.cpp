// The host's document, its html element and the collection that holds it, as COM objects built
// from the C declarations of the document interfaces: each object is a vtable of the interface's
// layout in which the few methods that the toolbar calls point to the functions below and every
// other slot to one function that answers E_NOTIMPL. The interfaces have several hundred
// methods between them; writing each as a C++ override would say nothing more.
//
// This file alone sees the C form of the COM declarations (CINTERFACE); it hands out plain
// interface pointers, which are the same objects in either form.

#define CINTERFACE
#define COBJMACROS
#include "platform/win32/windows_api.h"

#include <mshtml.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <new>

#include "tools/win32/host_com_win.h"
#include "tools/win32/host_document_win.h"

namespace norvex::tools::win32 {

namespace {

// Under the x64 calling convention the caller passes the first arguments in registers and
// removes the rest from the stack itself, so a function that takes no parameters can stand in any
// slot of a vtable.
static_assert(sizeof(void*) == 8, "the E_NOTIMPL slots rely on the x64 calling convention");
HRESULT STDMETHODCALLTYPE NotImplemented() { return E_NOTIMPL; }

// A vtable of type `Vtbl` whose every slot is NotImplemented.
template <typename Vtbl>
Vtbl StubVtable() {
  static_assert(sizeof(Vtbl) % sizeof(void*) == 0);
  Vtbl vtbl;
  HRESULT(STDMETHODCALLTYPE * stub)() = &NotImplemented;
  for (size_t offset = 0; offset < sizeof(Vtbl); offset += sizeof(stub)) {
    std::memcpy(reinterpret_cast<char*>(&vtbl) + offset, &stub, sizeof(stub));
  }
  return vtbl;
}

// ---- The html element --------------------------------------------------------------------------

struct Element {
  const IHTMLElementVtbl* vtbl;
  LONG refs;
  std::u16string language;
};

Element* FromElement(IHTMLElement* p) { return reinterpret_cast<Element*>(p); }

HRESULT STDMETHODCALLTYPE ElementQueryInterface(IHTMLElement* self, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID_IHTMLElement)) {
    *out = self;
    ::InterlockedIncrement(&FromElement(self)->refs);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ElementAddRef(IHTMLElement* self) {
  return ::InterlockedIncrement(&FromElement(self)->refs);
}

ULONG STDMETHODCALLTYPE ElementRelease(IHTMLElement* self) {
  const LONG refs = ::InterlockedDecrement(&FromElement(self)->refs);
  if (refs == 0) delete FromElement(self);
  return refs;
}

HRESULT STDMETHODCALLTYPE ElementGetAttribute(IHTMLElement* self, BSTR name, LONG flags,
                                              VARIANT* value) {
  if (!value) return E_POINTER;
  ::VariantInit(value);
  V_VT(value) = VT_NULL;
  const std::u16string& language = FromElement(self)->language;
  if (name && ::_wcsicmp(name, L"lang") == 0 && !language.empty()) {
    V_VT(value) = VT_BSTR;
    V_BSTR(value) = NewBstr(language);
    if (!V_BSTR(value)) return E_OUTOFMEMORY;
  }
  return S_OK;
}

const IHTMLElementVtbl* ElementVtable() {
  static const IHTMLElementVtbl vtbl = [] {
    auto v = StubVtable<IHTMLElementVtbl>();
    v.QueryInterface = &ElementQueryInterface;
    v.AddRef = &ElementAddRef;
    v.Release = &ElementRelease;
    v.getAttribute = &ElementGetAttribute;
    return v;
  }();
  return &vtbl;
}

// ---- The collection of html elements ---------------------------------------------------------

struct Collection {
  const IHTMLElementCollectionVtbl* vtbl;
  LONG refs;
  IHTMLElement* element;  // one reference, or null for an empty collection
};

Collection* FromCollection(IHTMLElementCollection* p) { return reinterpret_cast<Collection*>(p); }

HRESULT STDMETHODCALLTYPE CollectionQueryInterface(IHTMLElementCollection* self, REFIID riid,
                                                   void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID_IHTMLElementCollection)) {
    *out = self;
    ::InterlockedIncrement(&FromCollection(self)->refs);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CollectionAddRef(IHTMLElementCollection* self) {
  return ::InterlockedIncrement(&FromCollection(self)->refs);
}

ULONG STDMETHODCALLTYPE CollectionRelease(IHTMLElementCollection* self) {
  Collection* collection = FromCollection(self);
  const LONG refs = ::InterlockedDecrement(&collection->refs);
  if (refs == 0) {
    if (collection->element) IHTMLElement_Release(collection->element);
    delete collection;
  }
  return refs;
}

HRESULT STDMETHODCALLTYPE CollectionGetLength(IHTMLElementCollection* self, LONG* length) {
  if (!length) return E_POINTER;
  *length = FromCollection(self)->element ? 1 : 0;
  return S_OK;
}

// item(name, index): a number in `name` is the position, as the document model takes it.
HRESULT STDMETHODCALLTYPE CollectionItem(IHTMLElementCollection* self, VARIANT name,
                                         VARIANT index, IDispatch** item) {
  if (!item) return E_POINTER;
  *item = nullptr;
  VARIANT position;
  ::VariantInit(&position);
  if (FAILED(::VariantChangeType(&position, &name, 0, VT_I4))) return S_OK;
  IHTMLElement* element = FromCollection(self)->element;
  if (V_I4(&position) != 0 || !element) return S_OK;
  IHTMLElement_AddRef(element);
  *item = reinterpret_cast<IDispatch*>(element);
  return S_OK;
}

const IHTMLElementCollectionVtbl* CollectionVtable() {
  static const IHTMLElementCollectionVtbl vtbl = [] {
    auto v = StubVtable<IHTMLElementCollectionVtbl>();
    v.QueryInterface = &CollectionQueryInterface;
    v.AddRef = &CollectionAddRef;
    v.Release = &CollectionRelease;
    v.get_length = &CollectionGetLength;
    v.item = &CollectionItem;
    return v;
  }();
  return &vtbl;
}

// ---- The document: two faces, IHTMLDocument2 and IHTMLDocument3 ------------------------------

struct Document {
  const IHTMLDocument2Vtbl* vtbl2;
  const IHTMLDocument3Vtbl* vtbl3;
  LONG refs;
  std::u16string charset, language;
};

Document* FromDocument2(IHTMLDocument2* p) { return reinterpret_cast<Document*>(p); }
Document* FromDocument3(IHTMLDocument3* p) {
  return reinterpret_cast<Document*>(reinterpret_cast<char*>(p) - offsetof(Document, vtbl3));
}

HRESULT DocumentQueryInterface(Document* document, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID_IHTMLDocument) || IsEqualIID(riid, IID_IHTMLDocument2)) {
    *out = &document->vtbl2;
  } else if (IsEqualIID(riid, IID_IHTMLDocument3)) {
    *out = &document->vtbl3;
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ::InterlockedIncrement(&document->refs);
  return S_OK;
}

ULONG DocumentRelease(Document* document) {
  const LONG refs = ::InterlockedDecrement(&document->refs);
  if (refs == 0) delete document;
  return refs;
}

HRESULT STDMETHODCALLTYPE Document2QueryInterface(IHTMLDocument2* self, REFIID riid, void** out) {
  return DocumentQueryInterface(FromDocument2(self), riid, out);
}
ULONG STDMETHODCALLTYPE Document2AddRef(IHTMLDocument2* self) {
  return ::InterlockedIncrement(&FromDocument2(self)->refs);
}
ULONG STDMETHODCALLTYPE Document2Release(IHTMLDocument2* self) {
  return DocumentRelease(FromDocument2(self));
}

HRESULT STDMETHODCALLTYPE Document2GetCharset(IHTMLDocument2* self, BSTR* charset) {
  if (!charset) return E_POINTER;
  *charset = NewBstr(FromDocument2(self)->charset);
  return *charset ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE Document3QueryInterface(IHTMLDocument3* self, REFIID riid, void** out) {
  return DocumentQueryInterface(FromDocument3(self), riid, out);
}
ULONG STDMETHODCALLTYPE Document3AddRef(IHTMLDocument3* self) {
  return ::InterlockedIncrement(&FromDocument3(self)->refs);
}
ULONG STDMETHODCALLTYPE Document3Release(IHTMLDocument3* self) {
  return DocumentRelease(FromDocument3(self));
}

HRESULT STDMETHODCALLTYPE Document3GetElementsByTagName(IHTMLDocument3* self, BSTR tag,
                                                        IHTMLElementCollection** collection) {
  if (!collection) return E_POINTER;
  *collection = nullptr;
  auto* made = new (std::nothrow) Collection{CollectionVtable(), 1, nullptr};
  if (!made) return E_OUTOFMEMORY;
  if (tag && ::_wcsicmp(tag, L"html") == 0) {
    auto* element = new (std::nothrow) Element{ElementVtable(), 1, FromDocument3(self)->language};
    if (!element) {
      delete made;
      return E_OUTOFMEMORY;
    }
    made->element = reinterpret_cast<IHTMLElement*>(element);
  }
  *collection = reinterpret_cast<IHTMLElementCollection*>(made);
  return S_OK;
}

const IHTMLDocument2Vtbl* Document2Vtable() {
  static const IHTMLDocument2Vtbl vtbl = [] {
    auto v = StubVtable<IHTMLDocument2Vtbl>();
    v.QueryInterface = &Document2QueryInterface;
    v.AddRef = &Document2AddRef;
    v.Release = &Document2Release;
    v.get_charset = &Document2GetCharset;
    return v;
  }();
  return &vtbl;
}

const IHTMLDocument3Vtbl* Document3Vtable() {
  static const IHTMLDocument3Vtbl vtbl = [] {
    auto v = StubVtable<IHTMLDocument3Vtbl>();
    v.QueryInterface = &Document3QueryInterface;
    v.AddRef = &Document3AddRef;
    v.Release = &Document3Release;
    v.getElementsByTagName = &Document3GetElementsByTagName;
    return v;
  }();
  return &vtbl;
}

}  // namespace

IDispatch* CreateHostDocument(const std::u16string& charset, const std::u16string& language) {
  auto* document =
      new (std::nothrow) Document{Document2Vtable(), Document3Vtable(), 1, charset, language};
  return document ? reinterpret_cast<IDispatch*>(&document->vtbl2) : nullptr;
}

}  // namespace norvex::tools::win32
