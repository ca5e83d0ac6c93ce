#include "pagetools/model_document.h"

#include "common/text.h"

namespace norvex::pagetools {

namespace {

using model::Document;
using model::LivePosition;
using model::Node;
using model::NodeKind;

constexpr long kMatchCase = 4;

class ModelTextRange final : public TextRange {
 public:
  explicit ModelTextRange(std::shared_ptr<model::Range> range) : range_(std::move(range)) {}
  model::Range& range() { return *range_; }

  bool FindText(const std::u16string& text, long count, long flags) override {
    if (count < 0) return false;  // backward searches are not needed here
    return range_->Find(text, (flags & kMatchCase) != 0, count == 0);
  }
  std::optional<std::u16string> Text() override { return range_->Text(); }
  bool PasteHtml(const std::u16string& html) override { return range_->PasteHtml(html); }
  bool Select() override {
    range_->document().Select(*range_);
    return true;
  }
  bool MoveStartByCharacters(long count) override {
    range_->MoveStart(count);
    return true;
  }
  bool ScrollIntoView(bool) override {
    ++range_->document().scrolls;
    return true;
  }
  std::optional<std::u16string> Bookmark() override { return range_->Bookmark(); }
  bool IsEqual(TextRange& other) override {
    auto* model = dynamic_cast<ModelTextRange*>(&other);
    return model && range_->IsEqual(*model->range_);
  }

 private:
  std::shared_ptr<model::Range> range_;
};

class ModelElement final : public PageElement {
 public:
  ModelElement(Document& document, Node* node) : document_(document), node_(node) {}
  Document& document() const { return document_; }
  Node* node() const { return node_; }

  std::optional<std::u16string> Id() override {
    const std::u16string* id = node_->FindAttribute(u"id");
    return id ? *id : std::u16string();
  }
  // Tag names of HTML elements are given in upper case, as the browser gives them.
  std::optional<std::u16string> TagName() override {
    return node_->ns == model::Namespace::kHtml ? ToUpperAscii(node_->name) : node_->name;
  }

 private:
  Document& document_;
  Node* node_;
};

class ModelPointer final : public MarkupPointer {
 public:
  explicit ModelPointer(std::shared_ptr<Document> document) : position_(std::move(document)) {}
  LivePosition& position() { return position_; }

  bool SetGravity(PointerGravity gravity) override {
    position_.gravity =
        gravity == PointerGravity::kLeft ? model::Gravity::kLeft : model::Gravity::kRight;
    return true;
  }
  bool MoveToPointer(MarkupPointer& other) override {
    auto* model = dynamic_cast<ModelPointer*>(&other);
    if (!model) return false;
    position_.MoveTo(model->position_.shared_document(), model->position_.position);
    return true;
  }
  MarkupStep Right(bool move) override {
    const model::MarkupStep step = model::StepRight(position_.position, move);
    MarkupStep result;
    switch (step.kind) {
      case model::MarkupStep::kNone:
        return result;
      case model::MarkupStep::kText:
        result.context = MarkupContext::kText;
        result.character = step.character;
        return result;
      case model::MarkupStep::kEnter:
        result.context = MarkupContext::kEnterScope;
        break;
      case model::MarkupStep::kExit:
        result.context = MarkupContext::kExitScope;
        break;
      case model::MarkupStep::kNoScope:
        result.context = MarkupContext::kNoScope;
        break;
    }
    if (step.node->kind == NodeKind::kElement) {
      result.element = std::make_shared<ModelElement>(position_.document(), step.node);
    }
    return result;
  }
  bool IsEqualTo(MarkupPointer& other) override {
    auto* model = dynamic_cast<ModelPointer*>(&other);
    return model && &model->position_.document() == &position_.document() &&
           Document::Same(position_.position, model->position_.position);
  }

 private:
  LivePosition position_;
};

class ModelMarkup final : public DocumentMarkup {
 public:
  explicit ModelMarkup(std::shared_ptr<Document> document) : document_(std::move(document)) {}

  std::shared_ptr<MarkupPointer> CreatePointer() override {
    return std::make_shared<ModelPointer>(document_);
  }
  bool MoveToContainer(MarkupPointer& pointer, bool atStart) override {
    ModelPointer* p = Own(pointer);
    if (!p) return false;
    p->position().position =
        atStart ? Document::Begin(document_->root()) : Document::End(document_->root());
    return true;
  }
  bool MoveRangeToPointers(MarkupPointer& start, MarkupPointer& end, TextRange& range) override {
    ModelPointer* s = Own(start);
    ModelPointer* e = Own(end);
    auto* r = dynamic_cast<ModelTextRange*>(&range);
    if (!s || !e || !r || &r->range().document() != document_.get()) return false;
    if (!s->position().position.valid() || !e->position().position.valid()) return false;
    r->range().Set(s->position().position, e->position().position);
    return true;
  }
  // Pointers of another page are taken over into this one, as the browser moves a pointer
  // anywhere it is told.
  bool MovePointersToRange(TextRange& range, MarkupPointer& start, MarkupPointer& end) override {
    auto* s = dynamic_cast<ModelPointer*>(&start);
    auto* e = dynamic_cast<ModelPointer*>(&end);
    auto* r = dynamic_cast<ModelTextRange*>(&range);
    if (!s || !e || !r || &r->range().document() != document_.get()) return false;
    s->position().MoveTo(document_, r->range().start());
    e->position().MoveTo(document_, r->range().end());
    return true;
  }
  bool RemoveElement(PageElement& element) override {
    auto* model = dynamic_cast<ModelElement*>(&element);
    return model && &model->document() == document_.get() && document_->Unwrap(model->node());
  }

 private:
  // Pointers of another document are refused, as the browser refuses them.
  ModelPointer* Own(MarkupPointer& pointer) {
    auto* p = dynamic_cast<ModelPointer*>(&pointer);
    return p && &p->position().document() == document_.get() ? p : nullptr;
  }

  std::shared_ptr<Document> document_;
};

class ModelDocument final : public PageDocument {
 public:
  explicit ModelDocument(std::shared_ptr<Document> document) : document_(std::move(document)) {}

  bool SameAs(PageDocument& other) override {
    auto* model = dynamic_cast<ModelDocument*>(&other);
    return model && model->document_ == document_;
  }

  std::vector<std::shared_ptr<PageDocument>> FrameDocuments() override {
    std::vector<std::shared_ptr<PageDocument>> frames;
    for (const auto& frame : document_->frames) {
      if (frame) frames.push_back(std::make_shared<ModelDocument>(frame));
    }
    return frames;
  }

  // A frameset page has no body, so no body text range.
  std::shared_ptr<TextRange> BodyTextRange() override {
    if (!document_->Body()) return nullptr;
    return std::make_shared<ModelTextRange>(std::make_shared<model::Range>(document_));
  }

  std::shared_ptr<DocumentMarkup> Markup() override {
    return std::make_shared<ModelMarkup>(document_);
  }

  // Without a selection the browser gives a collapsed range at the start of the body.
  std::shared_ptr<TextRange> SelectionRange() override {
    auto range = std::make_shared<model::Range>(document_);
    if (document_->selection) {
      range->Set(document_->selection->start(), document_->selection->end());
    } else {
      range->Set(range->start(), range->start());
    }
    return std::make_shared<ModelTextRange>(range);
  }

  std::u16string Url() override { return document_->url; }
  std::u16string Charset() override { return document_->charset; }

  std::optional<std::u16string> HtmlAttribute(const std::u16string& name) override {
    const Node* html = document_->HtmlElement();
    if (!html) return std::nullopt;
    for (const model::Attribute& a : html->attributes) {
      if (EqualsIgnoreCaseAscii(a.name, name)) return a.value;
    }
    return std::nullopt;
  }

 private:
  std::shared_ptr<Document> document_;
};

}  // namespace

std::shared_ptr<PageDocument> MakeModelDocument(std::shared_ptr<model::Document> document) {
  if (!document) return nullptr;
  return std::make_shared<ModelDocument>(std::move(document));
}

}  // namespace norvex::pagetools
