file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" hexlen)
math(EXPR size "${hexlen} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUT}"
  "const char ${SYMBOL}[] = {${bytes}0};\nconst unsigned long ${SYMBOL}_size = ${size};\n")
