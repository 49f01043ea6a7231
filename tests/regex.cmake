# Test programs of this area (kalvorin_test calls).
kalvorin_test(test_regexpr SOURCES test_regexpr.cpp test_regexpr_random.cpp test_regexpr_tables.cpp LIBS kalvorin_common)
kalvorin_test(test_trx SOURCES test_trx.cpp LIBS kalvorin_common)
