# Benchmarks of this area (kalvorin_bench calls).
kalvorin_bench(bench_filter SOURCES bench_filter.cpp LIBS kalvorin_common)
kalvorin_bench(bench_lists SOURCES bench_lists.cpp LIBS kalvorin_plugin_core kalvorin_common_write)
