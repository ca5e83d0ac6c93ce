#include "pagetools/win32/mshtml_document_win.h"

#include "pagetools/win32/mshtml_ids_win.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/com_text.h"

namespace norvex::pagetools::win32 {

namespace {

using platform::win32::BstrText;
using platform::win32::ComPtr;
using platform::win32::ScopedBstr;

// A BSTR property read with `get`; nothing when the call fails.
template <typename Get>
std::optional<std::u16string> ReadText(Get get) {
  ScopedBstr text;
  if (FAILED(get(text.Receive()))) return std::nullopt;
  return text.Text();
}

template <typename T>
ComPtr<T> As(IUnknown* object, REFIID iid) {
  ComPtr<T> result;
  if (object) object->QueryInterface(iid, result.ReceiveVoid());
  return result;
}

class MshtmlTextRange final : public TextRange {
 public:
  explicit MshtmlTextRange(ComPtr<IHTMLTxtRange> range) : range_(std::move(range)) {}
  IHTMLTxtRange* get() const { return range_.get(); }

  bool FindText(const std::u16string& text, long count, long flags) override {
    ScopedBstr word(text);
    VARIANT_BOOL found = VARIANT_FALSE;
    return SUCCEEDED(range_->findText(word.get(), count, flags, &found)) && found == VARIANT_TRUE;
  }
  std::optional<std::u16string> Text() override {
    return ReadText([&](BSTR* out) { return range_->get_text(out); });
  }
  bool PasteHtml(const std::u16string& html) override {
    ScopedBstr markup(html);
    return SUCCEEDED(range_->pasteHTML(markup.get()));
  }
  bool Select() override { return SUCCEEDED(range_->select()); }
  bool MoveStartByCharacters(long count) override {
    ScopedBstr unit(u"character");
    LONG moved = 0;
    return SUCCEEDED(range_->moveStart(unit.get(), count, &moved));
  }
  bool ScrollIntoView(bool alignToTop) override {
    return SUCCEEDED(range_->scrollIntoView(alignToTop ? VARIANT_TRUE : VARIANT_FALSE));
  }
  std::optional<std::u16string> Bookmark() override {
    return ReadText([&](BSTR* out) { return range_->getBookmark(out); });
  }
  bool IsEqual(TextRange& other) override {
    auto* mshtml = dynamic_cast<MshtmlTextRange*>(&other);
    VARIANT_BOOL equal = VARIANT_FALSE;
    return mshtml && SUCCEEDED(range_->isEqual(mshtml->range_.get(), &equal)) &&
           equal == VARIANT_TRUE;
  }

 private:
  ComPtr<IHTMLTxtRange> range_;
};

class MshtmlElement final : public PageElement {
 public:
  explicit MshtmlElement(ComPtr<IHTMLElement> element) : element_(std::move(element)) {}
  IHTMLElement* get() const { return element_.get(); }

  std::optional<std::u16string> Id() override {
    return ReadText([&](BSTR* out) { return element_->get_id(out); });
  }
  std::optional<std::u16string> TagName() override {
    return ReadText([&](BSTR* out) { return element_->get_tagName(out); });
  }

 private:
  ComPtr<IHTMLElement> element_;
};

class MshtmlPointer final : public MarkupPointer {
 public:
  explicit MshtmlPointer(ComPtr<IMarkupPointer> pointer) : pointer_(std::move(pointer)) {}
  IMarkupPointer* get() const { return pointer_.get(); }

  bool SetGravity(PointerGravity gravity) override {
    return SUCCEEDED(pointer_->SetGravity(gravity == PointerGravity::kLeft ? POINTER_GRAVITY_Left
                                                                           : POINTER_GRAVITY_Right));
  }
  bool MoveToPointer(MarkupPointer& other) override {
    auto* mshtml = dynamic_cast<MshtmlPointer*>(&other);
    return mshtml && SUCCEEDED(pointer_->MoveToPointer(mshtml->pointer_.get()));
  }
  MarkupStep Right(bool move) override {
    MARKUP_CONTEXT_TYPE context = CONTEXT_TYPE_None;
    ComPtr<IHTMLElement> element;
    LONG count = 1;
    OLECHAR character = 0;
    MarkupStep step;
    if (FAILED(pointer_->Right(move ? TRUE : FALSE, &context, element.Receive(), &count,
                               &character))) {
      return step;
    }
    switch (context) {
      case CONTEXT_TYPE_Text:
        step.context = MarkupContext::kText;
        step.character = static_cast<char16_t>(character);
        return step;
      case CONTEXT_TYPE_EnterScope:
        step.context = MarkupContext::kEnterScope;
        break;
      case CONTEXT_TYPE_ExitScope:
        step.context = MarkupContext::kExitScope;
        break;
      case CONTEXT_TYPE_NoScope:
        step.context = MarkupContext::kNoScope;
        break;
      default:
        return step;
    }
    if (element) step.element = std::make_shared<MshtmlElement>(std::move(element));
    return step;
  }
  bool IsEqualTo(MarkupPointer& other) override {
    auto* mshtml = dynamic_cast<MshtmlPointer*>(&other);
    BOOL equal = FALSE;
    return mshtml && SUCCEEDED(pointer_->IsEqualTo(mshtml->pointer_.get(), &equal)) && equal;
  }

 private:
  ComPtr<IMarkupPointer> pointer_;
};

IMarkupPointer* PointerOf(MarkupPointer& pointer) {
  auto* mshtml = dynamic_cast<MshtmlPointer*>(&pointer);
  return mshtml ? mshtml->get() : nullptr;
}

IHTMLTxtRange* RangeOf(TextRange& range) {
  auto* mshtml = dynamic_cast<MshtmlTextRange*>(&range);
  return mshtml ? mshtml->get() : nullptr;
}

class MshtmlMarkup final : public DocumentMarkup {
 public:
  MshtmlMarkup(ComPtr<IMarkupServices> services, ComPtr<IMarkupContainer> container)
      : services_(std::move(services)), container_(std::move(container)) {}

  std::shared_ptr<MarkupPointer> CreatePointer() override {
    ComPtr<IMarkupPointer> pointer;
    if (FAILED(services_->CreateMarkupPointer(pointer.Receive())) || !pointer) return nullptr;
    return std::make_shared<MshtmlPointer>(std::move(pointer));
  }
  bool MoveToContainer(MarkupPointer& pointer, bool atStart) override {
    IMarkupPointer* p = PointerOf(pointer);
    return p && SUCCEEDED(p->MoveToContainer(container_.get(), atStart ? TRUE : FALSE));
  }
  bool MoveRangeToPointers(MarkupPointer& start, MarkupPointer& end, TextRange& range) override {
    IMarkupPointer* s = PointerOf(start);
    IMarkupPointer* e = PointerOf(end);
    IHTMLTxtRange* r = RangeOf(range);
    return s && e && r && SUCCEEDED(services_->MoveRangeToPointers(s, e, r));
  }
  bool MovePointersToRange(TextRange& range, MarkupPointer& start, MarkupPointer& end) override {
    IMarkupPointer* s = PointerOf(start);
    IMarkupPointer* e = PointerOf(end);
    IHTMLTxtRange* r = RangeOf(range);
    return s && e && r && SUCCEEDED(services_->MovePointersToRange(r, s, e));
  }
  bool RemoveElement(PageElement& element) override {
    auto* mshtml = dynamic_cast<MshtmlElement*>(&element);
    return mshtml && SUCCEEDED(services_->RemoveElement(mshtml->get()));
  }

 private:
  ComPtr<IMarkupServices> services_;
  ComPtr<IMarkupContainer> container_;
};

class MshtmlDocument final : public PageDocument {
 public:
  explicit MshtmlDocument(ComPtr<IHTMLDocument2> document) : document_(std::move(document)) {}

  // COM identity: the same IUnknown.
  bool SameAs(PageDocument& other) override {
    auto* mshtml = dynamic_cast<MshtmlDocument*>(&other);
    if (!mshtml) return false;
    ComPtr<IUnknown> mine = As<IUnknown>(document_.get(), IID_IUnknown);
    ComPtr<IUnknown> theirs = As<IUnknown>(mshtml->document_.get(), IID_IUnknown);
    return mine && mine.get() == theirs.get();
  }

  std::vector<std::shared_ptr<PageDocument>> FrameDocuments() override {
    std::vector<std::shared_ptr<PageDocument>> documents;
    ComPtr<IHTMLFramesCollection2> frames;
    if (FAILED(document_->get_frames(frames.Receive())) || !frames) return documents;
    LONG count = 0;
    if (FAILED(frames->get_length(&count))) return documents;
    for (LONG i = 0; i < count; ++i) {
      VARIANT index, item;
      ::VariantInit(&index);
      ::VariantInit(&item);
      V_VT(&index) = VT_I4;
      V_I4(&index) = i;
      if (SUCCEEDED(frames->item(&index, &item)) && V_VT(&item) == VT_DISPATCH && V_DISPATCH(&item)) {
        ComPtr<IHTMLWindow2> window = As<IHTMLWindow2>(V_DISPATCH(&item), IID_IHTMLWindow2);
        ComPtr<IHTMLDocument2> frameDocument;
        if (window && SUCCEEDED(window->get_document(frameDocument.Receive())) && frameDocument) {
          documents.push_back(std::make_shared<MshtmlDocument>(std::move(frameDocument)));
        }
      }
      ::VariantClear(&item);
    }
    return documents;
  }

  std::shared_ptr<TextRange> BodyTextRange() override {
    ComPtr<IHTMLElement> body;
    if (FAILED(document_->get_body(body.Receive())) || !body) return nullptr;
    ComPtr<IHTMLBodyElement> bodyElement = As<IHTMLBodyElement>(body.get(), IID_IHTMLBodyElement);
    ComPtr<IHTMLTxtRange> range;
    if (!bodyElement || FAILED(bodyElement->createTextRange(range.Receive())) || !range) {
      return nullptr;
    }
    return std::make_shared<MshtmlTextRange>(std::move(range));
  }

  std::shared_ptr<DocumentMarkup> Markup() override {
    ComPtr<IMarkupServices> services = As<IMarkupServices>(document_.get(), kIidMarkupServices);
    ComPtr<IMarkupContainer> container = As<IMarkupContainer>(document_.get(), kIidMarkupContainer);
    if (!services || !container) return nullptr;
    return std::make_shared<MshtmlMarkup>(std::move(services), std::move(container));
  }

  std::shared_ptr<TextRange> SelectionRange() override {
    ComPtr<IHTMLSelectionObject> selection;
    if (FAILED(document_->get_selection(selection.Receive())) || !selection) return nullptr;
    ComPtr<IDispatch> range;
    if (FAILED(selection->createRange(range.Receive())) || !range) return nullptr;
    ComPtr<IHTMLTxtRange> textRange = As<IHTMLTxtRange>(range.get(), IID_IHTMLTxtRange);
    if (!textRange) return nullptr;
    return std::make_shared<MshtmlTextRange>(std::move(textRange));
  }

  std::u16string Url() override {
    return ReadText([&](BSTR* out) { return document_->get_URL(out); }).value_or(std::u16string());
  }

  std::u16string Charset() override {
    return ReadText([&](BSTR* out) { return document_->get_charset(out); })
        .value_or(std::u16string());
  }

  std::optional<std::u16string> HtmlAttribute(const std::u16string& name) override {
    ComPtr<IHTMLDocument3> document = As<IHTMLDocument3>(document_.get(), IID_IHTMLDocument3);
    if (!document) return std::nullopt;
    ScopedBstr tag(u"html");
    ComPtr<IHTMLElementCollection> elements;
    if (FAILED(document->getElementsByTagName(tag.get(), elements.Receive())) || !elements) {
      return std::nullopt;
    }
    LONG count = 0;
    if (FAILED(elements->get_length(&count)) || count < 1) return std::nullopt;
    VARIANT index, none;
    ::VariantInit(&index);
    ::VariantInit(&none);
    V_VT(&index) = VT_I4;
    V_I4(&index) = 0;
    V_VT(&none) = VT_I4;
    V_I4(&none) = 0;
    ComPtr<IDispatch> item;
    if (FAILED(elements->item(index, none, item.Receive())) || !item) return std::nullopt;
    ComPtr<IHTMLElement> html = As<IHTMLElement>(item.get(), IID_IHTMLElement);
    if (!html) return std::nullopt;
    ScopedBstr attribute(name);
    VARIANT value;
    ::VariantInit(&value);
    std::optional<std::u16string> text;
    if (SUCCEEDED(html->getAttribute(attribute.get(), 0, &value)) && V_VT(&value) == VT_BSTR) {
      text = BstrText(V_BSTR(&value));
    }
    ::VariantClear(&value);
    return text;
  }

 private:
  ComPtr<IHTMLDocument2> document_;
};

}  // namespace

std::shared_ptr<PageDocument> MakeMshtmlDocument(IHTMLDocument2* document) {
  if (!document) return nullptr;
  ComPtr<IHTMLDocument2> held;
  document->AddRef();
  *held.Receive() = document;
  return std::make_shared<MshtmlDocument>(std::move(held));
}

}  // namespace norvex::pagetools::win32
