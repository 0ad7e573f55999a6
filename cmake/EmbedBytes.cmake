# SPDX-License-Identifier: MIT
# Turns the file IN into a C++ source OUT defining q2::detail::kMapNamesBytes,
# byte for byte.
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" n)
math(EXPR count "${n} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUT}
"// Generated from map_names.txt; do not edit.\n#include <cstddef>\nnamespace q2::detail {\nextern const unsigned char kMapNamesBytes[];\nextern const std::size_t kMapNamesSize;\nconst unsigned char kMapNamesBytes[] = {${bytes}};\nconst std::size_t kMapNamesSize = ${count};\n}\n")
