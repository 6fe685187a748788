# SPDX-License-Identifier: Apache-2.0
# The window's benchmark: a Run through Form1 against RunScan alone.
# Included from bench/CMakeLists.txt, which has found Google Benchmark.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(window_bench ${CMAKE_CURRENT_LIST_DIR}/window_bench.cpp)
target_link_libraries(window_bench PRIVATE telltale_window benchmark::benchmark)
