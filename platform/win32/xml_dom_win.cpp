// The Windows XML DOM: MSXML 3's DOMDocument, whose default selection language (XSL Patterns)
// already counts indexes from 0.

#include <msxml.h>

#include "platform/win32/com_ptr.h"
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
  explicit MsXmlDom(ComPtr<IXMLDOMDocument> document) : document_(std::move(document)) {}

  bool LoadXml(std::u16string_view text) override {
    ScopedBstr source(reinterpret_cast<const wchar_t*>(text.data()),
                      static_cast<UINT>(text.size()));
    VARIANT_BOOL ok = VARIANT_FALSE;
    const HRESULT hr = document_->loadXML(source.get(), &ok);
    return SUCCEEDED(hr) && ok == VARIANT_TRUE;
  }

  bool HasDocumentElement() override {
    ComPtr<IXMLDOMElement> root;
    return SUCCEEDED(document_->get_documentElement(root.Receive())) && root;
  }

  std::optional<size_t> Count(std::u16string_view path) override {
    ComPtr<IXMLDOMNodeList> list = Select(path);
    if (!list) return std::nullopt;
    long length = 0;
    if (FAILED(list->get_length(&length)) || length < 0) return std::nullopt;
    return static_cast<size_t>(length);
  }

  std::optional<std::u16string> Text(std::u16string_view path, size_t index) override {
    ComPtr<IXMLDOMNode> node;
    if (index == 0) {
      // The first match is what almost every query asks for; MSXML finds it without building
      // the whole list.
      node = SelectFirst(path);
    } else if (ComPtr<IXMLDOMNodeList> list = Select(path)) {
      list->get_item(static_cast<long>(index), node.Receive());
    }
    if (!node) return std::nullopt;
    ScopedBstr text;
    if (FAILED(node->get_text(text.Receive()))) return std::nullopt;
    return std::u16string(reinterpret_cast<const char16_t*>(text.get()), text.length());
  }

 private:
  ComPtr<IXMLDOMNode> SelectFirst(std::u16string_view path) {
    ComPtr<IXMLDOMNode> node;
    ComPtr<IXMLDOMElement> root;
    if (FAILED(document_->get_documentElement(root.Receive())) || !root) return node;
    ScopedBstr query(reinterpret_cast<const wchar_t*>(path.data()),
                     static_cast<UINT>(path.size()));
    if (root->selectSingleNode(query.get(), node.Receive()) != S_OK) node.Reset();
    return node;
  }

  ComPtr<IXMLDOMNodeList> Select(std::u16string_view path) {
    ComPtr<IXMLDOMNodeList> list;
    ComPtr<IXMLDOMElement> root;
    if (FAILED(document_->get_documentElement(root.Receive())) || !root) return list;
    ScopedBstr query(reinterpret_cast<const wchar_t*>(path.data()),
                     static_cast<UINT>(path.size()));
    if (FAILED(root->selectNodes(query.get(), list.Receive()))) list.Reset();
    return list;
  }

  ComPtr<IXMLDOMDocument> document_;
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
