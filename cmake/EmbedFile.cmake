# cmake -DINPUT=file -DOUTPUT=header -DNAME=symbol -P EmbedFile.cmake
# Writes a header holding the file's bytes as a constant array.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" length)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}\n#pragma once\n#include <cstdint>\ninline constexpr std::uint8_t ${NAME}[] = {\n${bytes}\n};\n")
