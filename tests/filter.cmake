# Test programs of this area (kalvorin_test calls).
kalvorin_test(test_evalua SOURCES test_evalua.cpp LIBS kalvorin_common)
kalvorin_test(test_capturaspam SOURCES test_capturaspam.cpp LIBS kalvorin_testsupport)
kalvorin_test(test_filter_random SOURCES test_filter_random.cpp LIBS kalvorin_testsupport)
kalvorin_test(test_scoring_equivalence SOURCES test_scoring_equivalence.cpp
  LIBS kalvorin_plugin_core kalvorin_common_write kalvorin_testsupport)
kalvorin_test(test_textset SOURCES test_textset.cpp LIBS kalvorin_common)
kalvorin_test(test_logqueue SOURCES test_logqueue.cpp LIBS kalvorin_testsupport)
