// The host's document objects, built from the C declarations of the document interfaces: each
// object is a row of vtable pointers (one per interface it answers) followed by its reference
// count and its state. The few methods that the toolbar calls point to the functions below;
// every other slot to one function that answers E_NOTIMPL. The interfaces have several hundred
// methods between them; writing each as a C++ override would say nothing more.
//
// This file alone sees the C form of the COM declarations (CINTERFACE); it hands out plain
// interface pointers, which are the same objects in either form.

#define CINTERFACE
#define COBJMACROS
#include "platform/win32/windows_api.h"

#include <mshtml.h>

#include <cstring>
#include <cwchar>
#include <map>
#include <new>
#include <vector>

#include "common/text.h"
#include "pagetools/win32/mshtml_ids_win.h"
#include "platform/win32/com_text.h"
#include "tools/win32/host_document_win.h"

namespace norvex::tools::win32 {

namespace {

namespace model = pagetools::model;
using pagetools::win32::kIidMarkupContainer;
using pagetools::win32::kIidMarkupPointer;
using pagetools::win32::kIidMarkupServices;

// Under the x64 calling convention the caller passes the first arguments in registers and
// removes the rest from the stack itself, so a function that takes no parameters can stand in any
// slot of a vtable; and every interface pointer is passed alike, so one function serves the
// IUnknown slots of every interface of an object.
static_assert(sizeof(void*) == 8, "the vtables rely on the x64 calling convention");
HRESULT STDMETHODCALLTYPE NotImplemented() { return E_NOTIMPL; }

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

// Puts `function` into a slot whose first parameter is another interface pointer type.
template <typename Slot, typename Function>
void Put(Slot& slot, Function function) {
  slot = reinterpret_cast<Slot>(function);
}

using platform::win32::BstrText;
using platform::win32::NewBstr;

// ---- Objects --------------------------------------------------------------------------------

// A COM object of `Faces` interfaces: vtable pointers first, so that the address of face i is
// the interface pointer of that interface.
template <int Faces, typename State>
struct Object {
  const void* faces[Faces];
  LONG refs;
  State* state;
};

// A new object with one reference and no state yet; null when out of memory.
template <typename T>
T* NewObject(std::initializer_list<const void*> faces) {
  T* object = new (std::nothrow) T{};
  if (!object) return nullptr;
  size_t i = 0;
  for (const void* face : faces) object->faces[i++] = face;
  object->refs = 1;
  object->state = nullptr;
  return object;
}

template <typename T>
T* FromFace(void* face, int index) {
  return reinterpret_cast<T*>(static_cast<const void**>(face) - index);
}

template <typename T>
ULONG AddRefObject(T* object) {
  return ::InterlockedIncrement(&object->refs);
}

template <typename T>
ULONG ReleaseObject(T* object) {
  const LONG refs = ::InterlockedDecrement(&object->refs);
  if (refs == 0) {
    delete object->state;
    delete object;
  }
  return refs;
}

template <typename T>
HRESULT HandOutFace(T* object, int face, void** out) {
  *out = &object->faces[face];
  AddRefObject(object);
  return S_OK;
}

// The IUnknown slots of face `Face` of objects of type T (T::Query answers QueryInterface).
template <typename T, int Face>
HRESULT STDMETHODCALLTYPE QueryFace(void* self, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return T::Query(FromFace<T>(self, Face), riid, out);
}
template <typename T, int Face>
ULONG STDMETHODCALLTYPE AddRefFace(void* self) {
  return AddRefObject(FromFace<T>(self, Face));
}
template <typename T, int Face>
ULONG STDMETHODCALLTYPE ReleaseFace(void* self) {
  T* object = FromFace<T>(self, Face);
  return T::Release(object);
}

template <typename T, int Face, typename Vtbl>
Vtbl UnknownVtable() {
  Vtbl v = StubVtable<Vtbl>();
  Put(v.QueryInterface, &QueryFace<T, Face>);
  Put(v.AddRef, &AddRefFace<T, Face>);
  Put(v.Release, &ReleaseFace<T, Face>);
  return v;
}

// ---- States -----------------------------------------------------------------------------------

struct DocumentState {
  std::shared_ptr<model::Document> page;
};
struct ElementState {
  std::shared_ptr<model::Document> page;
  model::Node* node;
};
struct CollectionState {
  std::shared_ptr<model::Document> page;
  std::vector<model::Node*> nodes;
  size_t next = 0;  // the enumerator's position
};
struct RangeState {
  std::shared_ptr<model::Range> range;
};
struct PointerState {
  explicit PointerState(std::shared_ptr<model::Document> page) : position(std::move(page)) {}
  model::LivePosition position;
};
struct FramesState {
  std::vector<std::shared_ptr<model::Document>> frames;
};

struct DocumentObject;
struct ElementObject;
struct CollectionObject;
struct EnumeratorObject;
struct RangeObject;
struct PointerObject;
struct FramesObject;
struct WindowObject;
struct SelectionObject;

IDispatch* DocumentFor(const std::shared_ptr<model::Document>& page);

// ---- Text ranges --------------------------------------------------------------------------------

struct RangeObject : Object<1, RangeState> {
  static const IHTMLTxtRangeVtbl* Vtable();
  static HRESULT Query(RangeObject* self, REFIID riid, void** out) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IHTMLTxtRange)) {
      return HandOutFace(self, 0, out);
    }
    return E_NOINTERFACE;
  }
  static ULONG Release(RangeObject* self) { return ReleaseObject(self); }
  static RangeObject* From(IHTMLTxtRange* p) { return FromFace<RangeObject>(p, 0); }
  // Ours, or null for a range of somebody else.
  static RangeObject* Ours(IHTMLTxtRange* p) {
    return p && p->lpVtbl == Vtable() ? From(p) : nullptr;
  }
  static IHTMLTxtRange* Create(std::shared_ptr<model::Range> range) {
    auto* object = NewObject<RangeObject>({Vtable()});
    if (!object) return nullptr;
    object->state = new (std::nothrow) RangeState{std::move(range)};
    if (!object->state) {
      delete object;
      return nullptr;
    }
    return reinterpret_cast<IHTMLTxtRange*>(&object->faces[0]);
  }
};

model::Range& RangeOf(IHTMLTxtRange* self) { return *RangeObject::From(self)->state->range; }

HRESULT STDMETHODCALLTYPE RangeFindText(IHTMLTxtRange* self, BSTR text, LONG count, LONG flags,
                                        VARIANT_BOOL* success) {
  if (!success) return E_POINTER;
  *success = VARIANT_FALSE;
  if (count < 0) return S_OK;  // backward searches find nothing here
  const bool found = RangeOf(self).Find(BstrText(text), (flags & 4) != 0, count == 0);
  *success = found ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RangeGetText(IHTMLTxtRange* self, BSTR* text) {
  if (!text) return E_POINTER;
  *text = NewBstr(RangeOf(self).Text());
  return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE RangePasteHtml(IHTMLTxtRange* self, BSTR html) {
  return RangeOf(self).PasteHtml(BstrText(html)) ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE RangeSelect(IHTMLTxtRange* self) {
  model::Range& range = RangeOf(self);
  range.document().Select(range);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RangeMoveStart(IHTMLTxtRange* self, BSTR unit, LONG count, LONG* moved) {
  if (!unit || ::_wcsicmp(unit, L"character") != 0) return E_INVALIDARG;
  const long actual = RangeOf(self).MoveStart(count);
  if (moved) *moved = actual;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RangeScrollIntoView(IHTMLTxtRange* self, VARIANT_BOOL) {
  ++RangeOf(self).document().scrolls;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RangeGetBookmark(IHTMLTxtRange* self, BSTR* bookmark) {
  if (!bookmark) return E_POINTER;
  *bookmark = NewBstr(RangeOf(self).Bookmark());
  return *bookmark ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE RangeIsEqual(IHTMLTxtRange* self, IHTMLTxtRange* other,
                                       VARIANT_BOOL* equal) {
  if (!equal) return E_POINTER;
  *equal = VARIANT_FALSE;
  RangeObject* theirs = RangeObject::Ours(other);
  if (!theirs) return E_INVALIDARG;
  *equal = RangeOf(self).IsEqual(*theirs->state->range) ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

const IHTMLTxtRangeVtbl* RangeObject::Vtable() {
  static const IHTMLTxtRangeVtbl vtbl = [] {
    auto v = UnknownVtable<RangeObject, 0, IHTMLTxtRangeVtbl>();
    v.findText = &RangeFindText;
    v.get_text = &RangeGetText;
    v.pasteHTML = &RangePasteHtml;
    v.select = &RangeSelect;
    v.moveStart = &RangeMoveStart;
    v.scrollIntoView = &RangeScrollIntoView;
    v.getBookmark = &RangeGetBookmark;
    v.isEqual = &RangeIsEqual;
    return v;
  }();
  return &vtbl;
}

// ---- Markup pointers ----------------------------------------------------------------------------

struct PointerObject : Object<1, PointerState> {
  static const IMarkupPointerVtbl* Vtable();
  static HRESULT Query(PointerObject* self, REFIID riid, void** out) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kIidMarkupPointer)) {
      return HandOutFace(self, 0, out);
    }
    return E_NOINTERFACE;
  }
  static ULONG Release(PointerObject* self) { return ReleaseObject(self); }
  static PointerObject* Ours(IMarkupPointer* p) {
    return p && p->lpVtbl == Vtable() ? FromFace<PointerObject>(p, 0) : nullptr;
  }
  static IMarkupPointer* Create(const std::shared_ptr<model::Document>& page) {
    auto* object = NewObject<PointerObject>({Vtable()});
    if (!object) return nullptr;
    object->state = new (std::nothrow) PointerState(page);
    if (!object->state) {
      delete object;
      return nullptr;
    }
    return reinterpret_cast<IMarkupPointer*>(&object->faces[0]);
  }
};

model::LivePosition& PositionOf(IMarkupPointer* p) {
  return FromFace<PointerObject>(p, 0)->state->position;
}

HRESULT STDMETHODCALLTYPE PointerSetGravity(IMarkupPointer* self, POINTER_GRAVITY gravity) {
  PositionOf(self).gravity =
      gravity == POINTER_GRAVITY_Right ? model::Gravity::kRight : model::Gravity::kLeft;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PointerMoveToPointer(IMarkupPointer* self, IMarkupPointer* other) {
  PointerObject* theirs = PointerObject::Ours(other);
  if (!theirs) return E_INVALIDARG;
  model::LivePosition& to = theirs->state->position;
  PositionOf(self).MoveTo(to.shared_document(), to.position);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PointerIsEqualTo(IMarkupPointer* self, IMarkupPointer* other,
                                           WINBOOL* equal) {
  if (!equal) return E_POINTER;
  *equal = FALSE;
  PointerObject* theirs = PointerObject::Ours(other);
  if (!theirs) return E_INVALIDARG;
  const model::LivePosition& mine = PositionOf(self);
  const model::LivePosition& to = theirs->state->position;
  *equal = &mine.document() == &to.document() && model::Document::Same(mine.position, to.position);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PointerMoveToContainer(IMarkupPointer* self, IMarkupContainer* container,
                                                 WINBOOL atStart);
HRESULT STDMETHODCALLTYPE PointerRight(IMarkupPointer* self, WINBOOL move,
                                       MARKUP_CONTEXT_TYPE* context, IHTMLElement** element,
                                       LONG* count, OLECHAR* text);

const IMarkupPointerVtbl* PointerObject::Vtable() {
  static const IMarkupPointerVtbl vtbl = [] {
    auto v = UnknownVtable<PointerObject, 0, IMarkupPointerVtbl>();
    v.SetGravity = &PointerSetGravity;
    v.MoveToPointer = &PointerMoveToPointer;
    v.MoveToContainer = &PointerMoveToContainer;
    v.Right = &PointerRight;
    v.IsEqualTo = &PointerIsEqualTo;
    return v;
  }();
  return &vtbl;
}

// ---- Elements, collections and their enumerators -----------------------------------------------

struct ElementObject : Object<2, ElementState> {  // IHTMLElement, IHTMLBodyElement
  static const IHTMLElementVtbl* Vtable();
  static const IHTMLBodyElementVtbl* BodyVtable();
  static HRESULT Query(ElementObject* self, REFIID riid, void** out) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IHTMLElement)) {
      return HandOutFace(self, 0, out);
    }
    if (IsEqualIID(riid, IID_IHTMLBodyElement) && self->state->node->IsElement(u"body")) {
      return HandOutFace(self, 1, out);
    }
    return E_NOINTERFACE;
  }
  static ULONG Release(ElementObject* self) { return ReleaseObject(self); }
  static IHTMLElement* Create(const std::shared_ptr<model::Document>& page, model::Node* node) {
    auto* object = NewObject<ElementObject>({Vtable(), BodyVtable()});
    if (!object) return nullptr;
    object->state = new (std::nothrow) ElementState{page, node};
    if (!object->state) {
      delete object;
      return nullptr;
    }
    return reinterpret_cast<IHTMLElement*>(&object->faces[0]);
  }
};

ElementState& ElementOf(IHTMLElement* self) { return *FromFace<ElementObject>(self, 0)->state; }

HRESULT STDMETHODCALLTYPE ElementGetId(IHTMLElement* self, BSTR* id) {
  if (!id) return E_POINTER;
  const std::u16string* value = ElementOf(self).node->FindAttribute(u"id");
  *id = value ? NewBstr(*value) : nullptr;  // no id: a null string, as the browser gives it
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ElementGetTagName(IHTMLElement* self, BSTR* tag) {
  if (!tag) return E_POINTER;
  const model::Node* node = ElementOf(self).node;
  *tag = NewBstr(node->ns == model::Namespace::kHtml ? ToUpperAscii(node->name) : node->name);
  return *tag ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE ElementGetInnerHtml(IHTMLElement* self, BSTR* html) {
  if (!html) return E_POINTER;
  *html = NewBstr(model::InnerHtml(*ElementOf(self).node));
  return *html ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE ElementPutOuterHtml(IHTMLElement* self, BSTR html) {
  ElementState& element = ElementOf(self);
  return element.page->SetOuterHtml(element.node, BstrText(html)) ? S_OK : E_FAIL;
}

// getAttribute(name, flags): the value as a string (names without regard to case), else VT_NULL.
HRESULT STDMETHODCALLTYPE ElementGetAttribute(IHTMLElement* self, BSTR name, LONG,
                                              VARIANT* value) {
  if (!value) return E_POINTER;
  ::VariantInit(value);
  V_VT(value) = VT_NULL;
  const std::u16string wanted = BstrText(name);
  for (const model::Attribute& a : ElementOf(self).node->attributes) {
    if (!EqualsIgnoreCaseAscii(a.name, wanted)) continue;
    V_VT(value) = VT_BSTR;
    V_BSTR(value) = NewBstr(a.value);
    return V_BSTR(value) ? S_OK : E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BodyCreateTextRange(IHTMLBodyElement* self, IHTMLTxtRange** range) {
  if (!range) return E_POINTER;
  ElementState& body = *FromFace<ElementObject>(self, 1)->state;
  *range = RangeObject::Create(std::make_shared<model::Range>(body.page));
  return *range ? S_OK : E_OUTOFMEMORY;
}

const IHTMLElementVtbl* ElementObject::Vtable() {
  static const IHTMLElementVtbl vtbl = [] {
    auto v = UnknownVtable<ElementObject, 0, IHTMLElementVtbl>();
    v.get_id = &ElementGetId;
    v.get_tagName = &ElementGetTagName;
    v.get_innerHTML = &ElementGetInnerHtml;
    v.put_outerHTML = &ElementPutOuterHtml;
    v.getAttribute = &ElementGetAttribute;
    return v;
  }();
  return &vtbl;
}

// Right(move, context, element, count, text): what lies right of the pointer. Text is read up to
// `count` characters of one stretch (-1: the whole stretch), into `text` when given.
HRESULT STDMETHODCALLTYPE PointerRight(IMarkupPointer* self, WINBOOL move,
                                       MARKUP_CONTEXT_TYPE* context, IHTMLElement** element,
                                       LONG* count, OLECHAR* text) {
  if (element) *element = nullptr;
  model::LivePosition& live = PositionOf(self);
  model::Position at = live.position;
  model::MarkupStep step = model::StepRight(at, true);
  MARKUP_CONTEXT_TYPE kind = CONTEXT_TYPE_None;
  switch (step.kind) {
    case model::MarkupStep::kNone:
      break;
    case model::MarkupStep::kText:
      kind = CONTEXT_TYPE_Text;
      break;
    case model::MarkupStep::kEnter:
      kind = CONTEXT_TYPE_EnterScope;
      break;
    case model::MarkupStep::kExit:
      kind = CONTEXT_TYPE_ExitScope;
      break;
    case model::MarkupStep::kNoScope:
      kind = CONTEXT_TYPE_NoScope;
      break;
  }
  if (context) *context = kind;
  if (kind == CONTEXT_TYPE_Text) {
    const LONG most = count ? *count : -1;
    LONG read = 0;
    for (;;) {
      if (text) text[read] = static_cast<OLECHAR>(step.character);
      ++read;
      if (most >= 0 && read >= most) break;
      model::Position next = at;
      const model::MarkupStep more = model::StepRight(next, true);
      if (more.kind != model::MarkupStep::kText) break;
      step = more;
      at = next;
    }
    if (count) *count = read;
  } else {
    if (count) *count = 0;
    if (element && step.node && step.node->kind == model::NodeKind::kElement) {
      *element = ElementObject::Create(live.shared_document(), step.node);
      if (!*element) return E_OUTOFMEMORY;
    }
  }
  if (move) live.position = at;
  return S_OK;
}

const IHTMLBodyElementVtbl* ElementObject::BodyVtable() {
  static const IHTMLBodyElementVtbl vtbl = [] {
    auto v = UnknownVtable<ElementObject, 1, IHTMLBodyElementVtbl>();
    v.createTextRange = &BodyCreateTextRange;
    return v;
  }();
  return &vtbl;
}

struct EnumeratorObject : Object<1, CollectionState> {
  static const IEnumVARIANTVtbl* Vtable();
  static HRESULT Query(EnumeratorObject* self, REFIID riid, void** out) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumVARIANT)) {
      return HandOutFace(self, 0, out);
    }
    return E_NOINTERFACE;
  }
  static ULONG Release(EnumeratorObject* self) { return ReleaseObject(self); }
};

CollectionState& EnumeratorOf(IEnumVARIANT* self) {
  return *FromFace<EnumeratorObject>(self, 0)->state;
}

// The elements one after the other, each as its IDispatch.
HRESULT STDMETHODCALLTYPE EnumeratorNext(IEnumVARIANT* self, ULONG count, VARIANT* items,
                                         ULONG* fetched) {
  if (!items) return E_POINTER;
  CollectionState& state = EnumeratorOf(self);
  ULONG n = 0;
  for (; n < count && state.next < state.nodes.size(); ++n, ++state.next) {
    ::VariantInit(&items[n]);
    IHTMLElement* element = ElementObject::Create(state.page, state.nodes[state.next]);
    if (!element) break;
    V_VT(&items[n]) = VT_DISPATCH;
    V_DISPATCH(&items[n]) = reinterpret_cast<IDispatch*>(element);
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE EnumeratorSkip(IEnumVARIANT* self, ULONG count) {
  CollectionState& state = EnumeratorOf(self);
  state.next = std::min(state.nodes.size(), state.next + count);
  return state.next < state.nodes.size() ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE EnumeratorReset(IEnumVARIANT* self) {
  EnumeratorOf(self).next = 0;
  return S_OK;
}

const IEnumVARIANTVtbl* EnumeratorObject::Vtable() {
  static const IEnumVARIANTVtbl vtbl = [] {
    auto v = UnknownVtable<EnumeratorObject, 0, IEnumVARIANTVtbl>();
    v.Next = &EnumeratorNext;
    v.Skip = &EnumeratorSkip;
    v.Reset = &EnumeratorReset;
    return v;
  }();
  return &vtbl;
}

struct CollectionObject : Object<1, CollectionState> {
  static const IHTMLElementCollectionVtbl* Vtable();
  static HRESULT Query(CollectionObject* self, REFIID riid, void** out) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IHTMLElementCollection)) {
      return HandOutFace(self, 0, out);
    }
    return E_NOINTERFACE;
  }
  static ULONG Release(CollectionObject* self) { return ReleaseObject(self); }
  static IHTMLElementCollection* Create(const std::shared_ptr<model::Document>& page,
                                        std::vector<model::Node*> nodes) {
    auto* object = NewObject<CollectionObject>({Vtable()});
    if (!object) return nullptr;
    object->state = new (std::nothrow) CollectionState{page, std::move(nodes), 0};
    if (!object->state) {
      delete object;
      return nullptr;
    }
    return reinterpret_cast<IHTMLElementCollection*>(&object->faces[0]);
  }
};

CollectionState& CollectionOf(IHTMLElementCollection* self) {
  return *FromFace<CollectionObject>(self, 0)->state;
}

HRESULT STDMETHODCALLTYPE CollectionGetLength(IHTMLElementCollection* self, LONG* length) {
  if (!length) return E_POINTER;
  *length = static_cast<LONG>(CollectionOf(self).nodes.size());
  return S_OK;
}

// item(name, index): a number in `name` is the position, as the document model takes it.
HRESULT STDMETHODCALLTYPE CollectionItem(IHTMLElementCollection* self, VARIANT name, VARIANT,
                                         IDispatch** item) {
  if (!item) return E_POINTER;
  *item = nullptr;
  VARIANT position;
  ::VariantInit(&position);
  if (FAILED(::VariantChangeType(&position, &name, 0, VT_I4))) return S_OK;
  CollectionState& state = CollectionOf(self);
  const LONG at = V_I4(&position);
  if (at < 0 || static_cast<size_t>(at) >= state.nodes.size()) return S_OK;
  *item = reinterpret_cast<IDispatch*>(ElementObject::Create(state.page, state.nodes[at]));
  return *item ? S_OK : E_OUTOFMEMORY;
}

// The enumerator walks the elements as they were when it was made.
HRESULT STDMETHODCALLTYPE CollectionNewEnum(IHTMLElementCollection* self, IUnknown** out) {
  if (!out) return E_POINTER;
  CollectionState& state = CollectionOf(self);
  auto* object = NewObject<EnumeratorObject>({EnumeratorObject::Vtable()});
  if (!object) return E_OUTOFMEMORY;
  object->state = new (std::nothrow) CollectionState{state.page, state.nodes, 0};
  if (!object->state) {
    delete object;
    return E_OUTOFMEMORY;
  }
  *out = reinterpret_cast<IUnknown*>(&object->faces[0]);
  return S_OK;
}

const IHTMLElementCollectionVtbl* CollectionObject::Vtable() {
  static const IHTMLElementCollectionVtbl vtbl = [] {
    auto v = UnknownVtable<CollectionObject, 0, IHTMLElementCollectionVtbl>();
    v.get_length = &CollectionGetLength;
    v.item = &CollectionItem;
    v.get__newEnum = &CollectionNewEnum;
    return v;
  }();
  return &vtbl;
}

// ---- Frames, windows, the selection -----------------------------------------------------------

struct WindowObject : Object<1, DocumentState> {
  static const IHTMLWindow2Vtbl* Vtable();
  static HRESULT Query(WindowObject* self, REFIID riid, void** out) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IHTMLFramesCollection2) || IsEqualIID(riid, IID_IHTMLWindow2)) {
      return HandOutFace(self, 0, out);
    }
    return E_NOINTERFACE;
  }
  static ULONG Release(WindowObject* self) { return ReleaseObject(self); }
};

HRESULT STDMETHODCALLTYPE WindowGetDocument(IHTMLWindow2* self, IHTMLDocument2** document) {
  if (!document) return E_POINTER;
  *document = reinterpret_cast<IHTMLDocument2*>(
      DocumentFor(FromFace<WindowObject>(self, 0)->state->page));
  return *document ? S_OK : E_OUTOFMEMORY;
}

const IHTMLWindow2Vtbl* WindowObject::Vtable() {
  static const IHTMLWindow2Vtbl vtbl = [] {
    auto v = UnknownVtable<WindowObject, 0, IHTMLWindow2Vtbl>();
    v.get_document = &WindowGetDocument;
    return v;
  }();
  return &vtbl;
}

struct FramesObject : Object<1, FramesState> {
  static const IHTMLFramesCollection2Vtbl* Vtable();
  static HRESULT Query(FramesObject* self, REFIID riid, void** out) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IHTMLFramesCollection2)) {
      return HandOutFace(self, 0, out);
    }
    return E_NOINTERFACE;
  }
  static ULONG Release(FramesObject* self) { return ReleaseObject(self); }
};

FramesState& FramesOf(IHTMLFramesCollection2* self) {
  return *FromFace<FramesObject>(self, 0)->state;
}

HRESULT STDMETHODCALLTYPE FramesGetLength(IHTMLFramesCollection2* self, LONG* length) {
  if (!length) return E_POINTER;
  *length = static_cast<LONG>(FramesOf(self).frames.size());
  return S_OK;
}

// item(index): the frame's window, as a dispatch object.
HRESULT STDMETHODCALLTYPE FramesItem(IHTMLFramesCollection2* self, VARIANT* index, VARIANT* result) {
  if (!index || !result) return E_POINTER;
  ::VariantInit(result);
  VARIANT position;
  ::VariantInit(&position);
  if (FAILED(::VariantChangeType(&position, index, 0, VT_I4))) return E_INVALIDARG;
  FramesState& state = FramesOf(self);
  const LONG at = V_I4(&position);
  if (at < 0 || static_cast<size_t>(at) >= state.frames.size()) return E_INVALIDARG;
  auto* window = NewObject<WindowObject>({WindowObject::Vtable()});
  if (!window) return E_OUTOFMEMORY;
  window->state = new (std::nothrow) DocumentState{state.frames[at]};
  if (!window->state) {
    delete window;
    return E_OUTOFMEMORY;
  }
  V_VT(result) = VT_DISPATCH;
  V_DISPATCH(result) = reinterpret_cast<IDispatch*>(&window->faces[0]);
  return S_OK;
}

const IHTMLFramesCollection2Vtbl* FramesObject::Vtable() {
  static const IHTMLFramesCollection2Vtbl vtbl = [] {
    auto v = UnknownVtable<FramesObject, 0, IHTMLFramesCollection2Vtbl>();
    v.get_length = &FramesGetLength;
    v.item = &FramesItem;
    return v;
  }();
  return &vtbl;
}

struct SelectionObject : Object<1, DocumentState> {
  static const IHTMLSelectionObjectVtbl* Vtable();
  static HRESULT Query(SelectionObject* self, REFIID riid, void** out) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IHTMLSelectionObject)) {
      return HandOutFace(self, 0, out);
    }
    return E_NOINTERFACE;
  }
  static ULONG Release(SelectionObject* self) { return ReleaseObject(self); }
};

// A new range over the selection; without one, a collapsed range at the start of the body.
HRESULT STDMETHODCALLTYPE SelectionCreateRange(IHTMLSelectionObject* self, IDispatch** out) {
  if (!out) return E_POINTER;
  const std::shared_ptr<model::Document>& page = FromFace<SelectionObject>(self, 0)->state->page;
  auto range = std::make_shared<model::Range>(page);
  if (page->selection) {
    range->Set(page->selection->start(), page->selection->end());
  } else {
    range->Set(range->start(), range->start());
  }
  *out = reinterpret_cast<IDispatch*>(RangeObject::Create(std::move(range)));
  return *out ? S_OK : E_OUTOFMEMORY;
}

const IHTMLSelectionObjectVtbl* SelectionObject::Vtable() {
  static const IHTMLSelectionObjectVtbl vtbl = [] {
    auto v = UnknownVtable<SelectionObject, 0, IHTMLSelectionObjectVtbl>();
    v.createRange = &SelectionCreateRange;
    return v;
  }();
  return &vtbl;
}

// ---- The document: IHTMLDocument2, IHTMLDocument3, IMarkupServices, IMarkupContainer -----------

enum DocumentFace { kDocument2, kDocument3, kServices, kContainer };

struct DocumentObject : Object<4, DocumentState> {
  static const IHTMLDocument2Vtbl* Vtable2();
  static const IHTMLDocument3Vtbl* Vtable3();
  static const IMarkupServicesVtbl* ServicesVtable();
  static const IMarkupContainerVtbl* ContainerVtable();
  static HRESULT Query(DocumentObject* self, REFIID riid, void** out) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IHTMLDocument) || IsEqualIID(riid, IID_IHTMLDocument2)) {
      return HandOutFace(self, kDocument2, out);
    }
    if (IsEqualIID(riid, IID_IHTMLDocument3)) return HandOutFace(self, kDocument3, out);
    if (IsEqualIID(riid, kIidMarkupServices)) return HandOutFace(self, kServices, out);
    if (IsEqualIID(riid, kIidMarkupContainer)) return HandOutFace(self, kContainer, out);
    return E_NOINTERFACE;
  }
  static ULONG Release(DocumentObject* self);
};

// One document object per page while it lives, so that a frame's document is the same object
// each time it is asked for.
std::map<const model::Document*, DocumentObject*>& LiveDocuments() {
  static std::map<const model::Document*, DocumentObject*> documents;
  return documents;
}

ULONG DocumentObject::Release(DocumentObject* self) {
  const LONG refs = ::InterlockedDecrement(&self->refs);
  if (refs == 0) {
    LiveDocuments().erase(self->state->page.get());
    delete self->state;
    delete self;
  }
  return refs;
}

IDispatch* DocumentFor(const std::shared_ptr<model::Document>& page) {
  if (!page) return nullptr;
  auto& live = LiveDocuments();
  DocumentObject* object;
  if (auto found = live.find(page.get()); found != live.end()) {
    object = found->second;
    AddRefObject(object);
  } else {
    object = NewObject<DocumentObject>({DocumentObject::Vtable2(), DocumentObject::Vtable3(), DocumentObject::ServicesVtable(),
         DocumentObject::ContainerVtable()});
    if (!object) return nullptr;
    object->state = new (std::nothrow) DocumentState{page};
    if (!object->state) {
      delete object;
      return nullptr;
    }
    live[page.get()] = object;
  }
  return reinterpret_cast<IDispatch*>(&object->faces[kDocument2]);
}

const std::shared_ptr<model::Document>& PageOf(void* face, int index) {
  return FromFace<DocumentObject>(face, index)->state->page;
}

// The body; a frameset page answers its frameset element, which is no body element.
HRESULT STDMETHODCALLTYPE DocumentGetBody(IHTMLDocument2* self, IHTMLElement** body) {
  if (!body) return E_POINTER;
  *body = nullptr;
  const auto& page = PageOf(self, kDocument2);
  model::Node* node = page->Body();
  if (!node) {
    for (model::Node* e : page->Elements()) {
      if (e->IsElement(u"frameset")) {
        node = e;
        break;
      }
    }
  }
  if (!node) return S_OK;
  *body = ElementObject::Create(page, node);
  return *body ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE DocumentGetAll(IHTMLDocument2* self, IHTMLElementCollection** all) {
  if (!all) return E_POINTER;
  const auto& page = PageOf(self, kDocument2);
  *all = CollectionObject::Create(page, page->Elements());
  return *all ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE DocumentGetFrames(IHTMLDocument2* self, IHTMLFramesCollection2** frames) {
  if (!frames) return E_POINTER;
  *frames = nullptr;
  auto* object = NewObject<FramesObject>({FramesObject::Vtable()});
  if (!object) return E_OUTOFMEMORY;
  object->state = new (std::nothrow) FramesState{PageOf(self, kDocument2)->frames};
  if (!object->state) {
    delete object;
    return E_OUTOFMEMORY;
  }
  *frames = reinterpret_cast<IHTMLFramesCollection2*>(&object->faces[0]);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DocumentGetSelection(IHTMLDocument2* self,
                                               IHTMLSelectionObject** selection) {
  if (!selection) return E_POINTER;
  *selection = nullptr;
  auto* object = NewObject<SelectionObject>({SelectionObject::Vtable()});
  if (!object) return E_OUTOFMEMORY;
  object->state = new (std::nothrow) DocumentState{PageOf(self, kDocument2)};
  if (!object->state) {
    delete object;
    return E_OUTOFMEMORY;
  }
  *selection = reinterpret_cast<IHTMLSelectionObject*>(&object->faces[0]);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DocumentGetUrl(IHTMLDocument2* self, BSTR* url) {
  if (!url) return E_POINTER;
  *url = NewBstr(PageOf(self, kDocument2)->url);
  return *url ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE DocumentGetCharset(IHTMLDocument2* self, BSTR* charset) {
  if (!charset) return E_POINTER;
  *charset = NewBstr(PageOf(self, kDocument2)->charset);
  return *charset ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE DocumentGetElementsByTagName(IHTMLDocument3* self, BSTR tag,
                                                       IHTMLElementCollection** out) {
  if (!out) return E_POINTER;
  const auto& page = PageOf(self, kDocument3);
  const std::u16string wanted = BstrText(tag);
  std::vector<model::Node*> nodes;
  for (model::Node* e : page->Elements()) {
    if (EqualsIgnoreCaseAscii(e->name, wanted)) nodes.push_back(e);
  }
  *out = CollectionObject::Create(page, std::move(nodes));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE ServicesCreatePointer(IMarkupServices* self, IMarkupPointer** pointer) {
  if (!pointer) return E_POINTER;
  *pointer = PointerObject::Create(PageOf(self, kServices));
  return *pointer ? S_OK : E_OUTOFMEMORY;
}

// Pointers must be placed in this document to span one of its ranges.
HRESULT STDMETHODCALLTYPE ServicesMoveRangeToPointers(IMarkupServices* self, IMarkupPointer* start,
                                                      IMarkupPointer* end, IHTMLTxtRange* range) {
  PointerObject* s = PointerObject::Ours(start);
  PointerObject* e = PointerObject::Ours(end);
  RangeObject* r = RangeObject::Ours(range);
  if (!s || !e || !r) return E_INVALIDARG;
  model::Document* page = PageOf(self, kServices).get();
  const model::LivePosition& from = s->state->position;
  const model::LivePosition& to = e->state->position;
  if (&from.document() != page || &to.document() != page ||
      &r->state->range->document() != page || !from.position.valid() || !to.position.valid()) {
    return E_INVALIDARG;
  }
  r->state->range->Set(from.position, to.position);
  return S_OK;
}

// Pointers of another page are taken over into this one.
HRESULT STDMETHODCALLTYPE ServicesMovePointersToRange(IMarkupServices* self, IHTMLTxtRange* range,
                                                      IMarkupPointer* start, IMarkupPointer* end) {
  PointerObject* s = PointerObject::Ours(start);
  PointerObject* e = PointerObject::Ours(end);
  RangeObject* r = RangeObject::Ours(range);
  const auto& page = PageOf(self, kServices);
  if (!s || !e || !r || &r->state->range->document() != page.get()) return E_INVALIDARG;
  s->state->position.MoveTo(page, r->state->range->start());
  e->state->position.MoveTo(page, r->state->range->end());
  return S_OK;
}

const IHTMLDocument2Vtbl* DocumentObject::Vtable2() {
  static const IHTMLDocument2Vtbl vtbl = [] {
    auto v = UnknownVtable<DocumentObject, kDocument2, IHTMLDocument2Vtbl>();
    v.get_body = &DocumentGetBody;
    v.get_all = &DocumentGetAll;
    v.get_frames = &DocumentGetFrames;
    v.get_selection = &DocumentGetSelection;
    v.get_URL = &DocumentGetUrl;
    v.get_charset = &DocumentGetCharset;
    return v;
  }();
  return &vtbl;
}

const IHTMLDocument3Vtbl* DocumentObject::Vtable3() {
  static const IHTMLDocument3Vtbl vtbl = [] {
    auto v = UnknownVtable<DocumentObject, kDocument3, IHTMLDocument3Vtbl>();
    v.getElementsByTagName = &DocumentGetElementsByTagName;
    return v;
  }();
  return &vtbl;
}

// RemoveElement: the element goes, its child nodes take its place.
HRESULT STDMETHODCALLTYPE ServicesRemoveElement(IMarkupServices* self, IHTMLElement* element) {
  if (!element || element->lpVtbl != ElementObject::Vtable()) return E_INVALIDARG;
  ElementState& state = ElementOf(element);
  const auto& page = PageOf(self, kServices);
  if (state.page != page) return E_INVALIDARG;
  return page->Unwrap(state.node) ? S_OK : E_FAIL;
}

const IMarkupServicesVtbl* DocumentObject::ServicesVtable() {
  static const IMarkupServicesVtbl vtbl = [] {
    auto v = UnknownVtable<DocumentObject, kServices, IMarkupServicesVtbl>();
    v.CreateMarkupPointer = &ServicesCreatePointer;
    v.MoveRangeToPointers = &ServicesMoveRangeToPointers;
    v.MovePointersToRange = &ServicesMovePointersToRange;
    v.RemoveElement = &ServicesRemoveElement;
    return v;
  }();
  return &vtbl;
}

const IMarkupContainerVtbl* DocumentObject::ContainerVtable() {
  static const IMarkupContainerVtbl vtbl = UnknownVtable<DocumentObject, kContainer, IMarkupContainerVtbl>();
  return &vtbl;
}

// MoveToContainer(container, atStart): the start or end of the container's document.
HRESULT STDMETHODCALLTYPE PointerMoveToContainer(IMarkupPointer* self, IMarkupContainer* container,
                                                 WINBOOL atStart) {
  if (!container || container->lpVtbl != DocumentObject::ContainerVtable()) return E_INVALIDARG;
  const auto& page = PageOf(container, kContainer);
  PositionOf(self).MoveTo(page, atStart ? model::Document::Begin(page->root())
                                        : model::Document::End(page->root()));
  return S_OK;
}

}  // namespace

IDispatch* CreateHostDocument(const std::shared_ptr<pagetools::model::Document>& page) {
  return DocumentFor(page);
}

}  // namespace norvex::tools::win32
