tolva_add_bench(graphics_bench ${CMAKE_CURRENT_SOURCE_DIR}/graphics_bench.cpp LIBS plugkit_graphics)
tolva_add_bench(text_bench ${CMAKE_CURRENT_SOURCE_DIR}/text_bench.cpp LIBS plugkit_graphics tolva_resources)
