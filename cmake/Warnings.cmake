# Warnings are on for every target of the project and kept clean.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)
if(TOLVA_WERROR)
  add_compile_options(-Werror)
endif()
