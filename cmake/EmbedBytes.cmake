# SPDX-License-Identifier: MIT
# Turns the file IN into a C++ source OUT defining q2::detail::<NAME>Bytes and
# <NAME>Size (NAME defaults to kMapNames), byte for byte; with LIMIT, only
# the file's first LIMIT bytes.
if(NOT DEFINED NAME)
  set(NAME kMapNames)
endif()
if(DEFINED LIMIT)
  file(READ ${IN} hex LIMIT ${LIMIT} HEX)
else()
  file(READ ${IN} hex HEX)
endif()
string(LENGTH "${hex}" n)
math(EXPR count "${n} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
get_filename_component(from ${IN} NAME)
file(WRITE ${OUT}
"// Generated from ${from}; do not edit.\n#include <cstddef>\nnamespace q2::detail {\nextern const unsigned char ${NAME}Bytes[];\nextern const std::size_t ${NAME}Size;\nconst unsigned char ${NAME}Bytes[] = {${bytes}};\nconst std::size_t ${NAME}Size = ${count};\n}\n")
