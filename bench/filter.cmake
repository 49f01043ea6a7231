# Benchmarks of this area (kalvorin_bench calls).
