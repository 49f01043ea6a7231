# Benchmarks of this area (kalvorin_bench calls).
kalvorin_bench(bench_regexpr SOURCES bench_regexpr.cpp LIBS kalvorin_common)
