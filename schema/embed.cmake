# Writes a C++ file with one string constant per DDL file, named k_ and the file's name without its
# extension (k_negozio for negozio.sql), as schema_texts.h declares them.
file(WRITE ${OUTPUT} "// Generated from the files in schema/; do not edit.\n#include \"schema_texts.h\"\n\nnamespace zav5::schema {\n")
string(REPLACE "," ";" FILES "${FILES}")
foreach(name ${FILES})
  file(READ ${INPUT_DIR}/${name} text)
  get_filename_component(stem ${name} NAME_WE)
  file(APPEND ${OUTPUT} "const char* const k_${stem} = R\"zav5ddl(${text})zav5ddl\";\n")
endforeach()
file(APPEND ${OUTPUT} "}  // namespace zav5::schema\n")
