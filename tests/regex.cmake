# Test programs of this area (kalvorin_test calls).
kalvorin_test(test_regexpr SOURCES test_regexpr.cpp test_regexpr_random.cpp test_regexpr_tables.cpp LIBS kalvorin_common)
kalvorin_test(test_trx SOURCES test_trx.cpp test_trx_facts.cpp LIBS kalvorin_common)
# Both drive the translator's internals, which no other unit sees.
target_include_directories(test_trx PRIVATE ${KALVORIN_LAYERS}/trx)
target_include_directories(test_regexpr PRIVATE ${KALVORIN_LAYERS}/trx)
