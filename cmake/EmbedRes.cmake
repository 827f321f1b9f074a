# Turns a compiled .res into a C++ source that the simulated resource loader
# finds under a fixed name.
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" n)
math(EXPR size "${n} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT} "// Generated from ${IN}\nextern \"C\" const unsigned char winsim_res_data[] = {\n${bytes}0};\nextern \"C\" const unsigned long winsim_res_size = ${size};\n")
