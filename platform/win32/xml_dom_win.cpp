// The Windows XML DOM: MSXML 3's DOMDocument. Paths are not handed to its selection language:
// the portable reader walks the elements that this hands out.

#include <msxml.h>

#include <vector>

#include "platform/win32/com_ptr.h"
#include "platform/win32/com_text.h"
#include "platform/xml_dom.h"

namespace norvex::platform {

namespace {

using win32::ComPtr;
using win32::ScopedBstr;

// mingw-w64 has no import library entries for these.
const CLSID kClsidDomDocument = {
    0x2933bf90, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
const IID kIidXmlDomDocument = {
    0x2933bf81, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

class MsXmlDom final : public XmlDom {
 public:
  explicit MsXmlDom(ComPtr<IXMLDOMDocument> document) : document_(std::move(document)) {
    nodes_.push_back(AsNode(document_));
  }

  bool LoadXml(std::u16string_view text) override {
    // The nodes of the old document are let go before it is replaced.
    nodes_.resize(1);
    ScopedBstr source(text);
    VARIANT_BOOL ok = VARIANT_FALSE;
    const HRESULT hr = document_->loadXML(source.get(), &ok);
    errorLine_ = 0;
    if (SUCCEEDED(hr) && ok == VARIANT_TRUE) return true;
    ComPtr<IXMLDOMParseError> error;
    long line = 0;
    if (SUCCEEDED(document_->get_parseError(error.Receive())) && error &&
        SUCCEEDED(error->get_line(&line)) && line > 0) {
      errorLine_ = static_cast<int>(line);
    }
    return false;
  }

  std::optional<std::vector<Element>> Children(Node node) override {
    if (node >= nodes_.size() || !nodes_[node]) return std::nullopt;
    // One list of the children, walked in order: no pattern is parsed. (A walk from sibling to
    // sibling stops at a document type node in Wine's DOM.)
    ComPtr<IXMLDOMNodeList> list;
    if (FAILED(nodes_[node]->get_childNodes(list.Receive())) || !list) return std::nullopt;
    std::vector<Element> children;
    ComPtr<IXMLDOMNode> child;
    while (list->nextNode(child.Receive()) == S_OK && child) {
      DOMNodeType type = NODE_INVALID;
      if (FAILED(child->get_nodeType(&type)) || type != NODE_ELEMENT) continue;
      ScopedBstr name;
      if (FAILED(child->get_nodeName(name.Receive()))) return std::nullopt;
      children.push_back({name.Text(), nodes_.size()});
      nodes_.push_back(child);
    }
    return children;
  }

  std::optional<std::u16string> Text(Node node) override {
    if (node >= nodes_.size() || !nodes_[node]) return std::nullopt;
    ScopedBstr text;
    if (FAILED(nodes_[node]->get_text(text.Receive()))) return std::nullopt;
    return text.Text();
  }

  int ErrorLine() override { return errorLine_; }

 private:
  // The document is a node itself (IXMLDOMDocument derives from IXMLDOMNode).
  static ComPtr<IXMLDOMNode> AsNode(const ComPtr<IXMLDOMDocument>& document) {
    ComPtr<IXMLDOMNode> node;
    if (document) {
      document->AddRef();
      *node.Receive() = document.get();
    }
    return node;
  }

  ComPtr<IXMLDOMDocument> document_;
  std::vector<ComPtr<IXMLDOMNode>> nodes_;  // by number; 0 is the document
  int errorLine_ = 0;
};

}  // namespace

std::unique_ptr<XmlDom> CreateXmlDom() {
  // The toolbar runs on the browser's user-interface thread, a single-threaded apartment; a
  // second initialisation on that thread is harmless and is never undone here.
  ::CoInitialize(nullptr);
  ComPtr<IXMLDOMDocument> document;
  if (FAILED(::CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER,
                                kIidXmlDomDocument, document.ReceiveVoid())) ||
      !document) {
    return nullptr;
  }
  // MSXML 3 reads external DTDs and entities by default: an agent file could pull in any file
  // or UNC share the user can reach (and send the user's credentials to a UNC host). Entities
  // declared inside the document keep working.
  if (FAILED(document->put_resolveExternals(VARIANT_FALSE)) ||
      FAILED(document->put_validateOnParse(VARIANT_FALSE))) {
    return nullptr;
  }
  auto dom = std::make_unique<MsXmlDom>(std::move(document));
  dom->LoadXml(u"");
  return dom;
}

}  // namespace norvex::platform
