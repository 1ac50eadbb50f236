# cmake -DOUT=<file> -DTAIL=<tail.js> -DPARTS="a.js;b.js;..." -P assemble-crypto.cmake
# Writes the crypto script: the library components in order, then our tail.
file(WRITE "${OUT}.tmp" "")
foreach(part IN LISTS PARTS TAIL)
  if(NOT EXISTS "${part}")
    message(FATAL_ERROR "crypto script part missing: ${part} (install libjs-cryptojs)")
  endif()
  file(READ "${part}" text)
  file(APPEND "${OUT}.tmp" "${text}\n")
endforeach()
file(RENAME "${OUT}.tmp" "${OUT}")
