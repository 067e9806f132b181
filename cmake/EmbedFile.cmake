# Writes a C++ source that holds the bytes of a file:
#   cmake -DINPUT=<file> -DOUTPUT=<source.cpp> -DSYMBOL=<name> -P EmbedFile.cmake
# gives `extern const unsigned char <name>[]` and `extern const size_t <name>Size`.
file(READ "${INPUT}" _hex HEX)
string(LENGTH "${_hex}" _length)
math(EXPR _size "${_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" _bytes "${_bytes}")
file(WRITE "${OUTPUT}"
  "#include <cstddef>\n"
  "extern const unsigned char ${SYMBOL}[] = {\n${_bytes}\n};\n"
  "extern const size_t ${SYMBOL}Size = ${_size};\n")
