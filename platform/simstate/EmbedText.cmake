# Writes the file IN to OUT as a C++ raw string literal.
file(READ ${IN} text)
if(text MATCHES "\\)kvtopo\"")
  message(FATAL_ERROR "${IN} contains the literal's closing delimiter")
endif()
file(WRITE ${OUT} "R\"kvtopo(${text})kvtopo\"\n")
