# Writes OUTPUT, a C++ source that holds the toolbar module's bitmap files (FILES, named
# ID.bmp) byte for byte, behind ModuleBitmapFile(ID).
set(entries "")
foreach(file IN LISTS FILES)
  get_filename_component(id ${file} NAME_WE)
  file(READ ${file} hex HEX)
  file(SIZE ${file} size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
  string(APPEND entries "    {${id}, \"${escaped}\", ${size}},\n")
endforeach()
file(WRITE ${OUTPUT}.new
"// Generated from resources/bitmaps by bridge/embed_bitmaps.cmake: do not edit.
#include \"bridge/agent_image.h\"

namespace norvex::bridge {

namespace {
struct BitmapFile {
  int id;
  const char* bytes;
  size_t size;
};
const BitmapFile kBitmapFiles[] = {
${entries}};
}  // namespace

std::string_view ModuleBitmapFile(int bitmap) {
  for (const BitmapFile& file : kBitmapFiles) {
    if (file.id == bitmap) return std::string_view(file.bytes, file.size);
  }
  return {};
}

}  // namespace norvex::bridge
")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUTPUT}.new ${OUTPUT})
