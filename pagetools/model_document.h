// The document seam over our own page model: what the page tools call on a page where the
// browser's document model is not there (Linux hosts and tests).
#pragma once

#include <memory>

#include "pagetools/page_document.h"
#include "pagetools/page_model.h"

namespace norvex::pagetools {

// A page document over `document`; null for a null document.
std::shared_ptr<PageDocument> MakeModelDocument(std::shared_ptr<model::Document> document);

}  // namespace norvex::pagetools
