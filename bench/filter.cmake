# Benchmarks of this area (kalvorin_bench calls).
kalvorin_bench(bench_filter SOURCES bench_filter.cpp LIBS kalvorin_common)
