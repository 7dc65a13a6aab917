# The views' benchmarks; they start their own X server.
if(SORVIMEND_GUI AND TARGET sv_ui_views)
  sv_benchmark(views_search_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/views_search_bench.cpp ${PROJECT_SOURCE_DIR}/tests/ui/views_display.cpp
    DEPS sv_ui_views)
endif()
