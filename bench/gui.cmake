tolva_add_bench(gui_bench ${CMAKE_CURRENT_SOURCE_DIR}/gui_bench.cpp LIBS tolva_gui_install tolva_gui)
