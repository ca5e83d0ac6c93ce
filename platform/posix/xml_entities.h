// General entities that a document declares in its own DOCTYPE (the internal subset), expanded
// by text replacement before the document reaches a parser that keeps unknown references as
// text. The platform's DOM expands them itself; this gives the POSIX DOM the same documents.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace norvex::platform {

// Most a document may grow by its entities: ten times its own size and 10000 bytes more. A
// file that declares entities of entities to reach more (an "entity bomb") is refused.
size_t EntityExpansionLimit(size_t documentSize);

// The UTF-8 document with every reference to an internal general entity in character data and
// attribute values replaced by the entity's replacement text, expanded in turn. References to
// external entities (SYSTEM, PUBLIC) become nothing: external files are never read. The five
// predefined entities and character references stay as they are, as do references that no
// declaration names (the parser then refuses the document). A document without an internal
// subset is returned unchanged.
//
// Nothing (the document is refused, as the platform's DOM refuses it) when the internal subset
// cannot be read, an entity refers to itself, a replacement text is not balanced markup, a
// reference names an unparsed (NDATA) entity, a replacement would put "<" into an attribute
// value, or the expanded document would pass EntityExpansionLimit.
std::optional<std::string> ExpandInternalEntities(std::string_view document);

}  // namespace norvex::platform
