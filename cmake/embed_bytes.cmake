# cmake -DINPUT=file -DOUTPUT=source.cpp -DNAME=identifier -DNAMESPACE=ns -P embed_bytes.cmake
# Writes a C++ source that holds INPUT's bytes as NAME, a std::string_view,
# so a text file ships inside the program. The source is rewritten only when
# it changes, so an unchanged text compiles nothing again.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
file(WRITE "${OUTPUT}.new"
  "// Made from ${INPUT} at build time; do not edit.\n"
  "#include <string_view>\n"
  "namespace ${NAMESPACE} {\n"
  "namespace {\n"
  "constexpr char kBytes[] = {${bytes}'\\0'};\n"
  "}  // namespace\n"
  "extern const std::string_view ${NAME}(kBytes, sizeof kBytes - 1);\n"
  "}  // namespace ${NAMESPACE}\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
