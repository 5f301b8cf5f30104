tolva_add_bench(dsp_bench ${CMAKE_CURRENT_SOURCE_DIR}/dsp_bench.cpp LIBS tolva_plugin)
