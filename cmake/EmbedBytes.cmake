# Writes a C++ source that defines a file's bytes as an array and its length, as a header
# declares them.
#   cmake -DINPUT=<file> -DOUTPUT=<source> -DHEADER=<include> -DNAME=<name> -P EmbedBytes.cmake
# defines const std::uint8_t NAME[] and const std::size_t NAMESize.

cmake_minimum_required(VERSION 3.21)

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.new"
     "// Made by the build from ${INPUT}.\n"
     "#include \"${HEADER}\"\n\n"
     "const std::uint8_t ${NAME}[] = {\n    ${bytes}\n};\n"
     "const std::size_t ${NAME}Size = ${size};\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
