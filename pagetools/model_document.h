// The document seam over our own page model: what the page tools call on a page where the
// browser's document model is not there (Linux hosts and tests).
#pragma once

#include <memory>

#include "pagetools/browser.h"
#include "pagetools/page_document.h"
#include "pagetools/page_model.h"

namespace norvex::pagetools {

// A page document over `document`; null for a null document.
std::shared_ptr<PageDocument> MakeModelDocument(std::shared_ptr<model::Document> document);

// A browser that shows `page` and opens no new windows (for benchmarks, fuzzing and tests).
class ModelBrowser final : public Browser {
 public:
  std::shared_ptr<model::Document> page;
  std::u16string LocationUrl() override { return page ? page->url : std::u16string(); }
  void Navigate(const std::u16string&) override {}
  std::shared_ptr<PageDocument> TopDocument() override { return MakeModelDocument(page); }
  std::unique_ptr<NewBrowserWindow> CreateBrowserWindow() override { return nullptr; }
};

}  // namespace norvex::pagetools
