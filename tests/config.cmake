# Test programs of this area (kalvorin_test calls).
add_library(kalvorin_config_testsupport STATIC config/WindowFixture.cpp)
target_link_libraries(kalvorin_config_testsupport PUBLIC kalvorin_config_core kalvorin_testsupport)

kalvorin_test(test_config_window
  SOURCES config/test_window.cpp config/test_conversion.cpp config/test_layout.cpp
  LIBS kalvorin_config_testsupport)
kalvorin_test(test_config_save SOURCES config/test_save.cpp LIBS kalvorin_config_testsupport)
kalvorin_test(test_config_filtertest SOURCES config/test_filtertest.cpp LIBS kalvorin_config_testsupport)
kalvorin_test(test_config_editor SOURCES config/test_editor.cpp LIBS kalvorin_config_testsupport)
kalvorin_test(test_config_bulk SOURCES config/test_bulk.cpp LIBS kalvorin_config_testsupport)
kalvorin_test(test_config_whole_road SOURCES config/test_whole_road.cpp LIBS kalvorin_config_testsupport)
add_dependencies(test_config_whole_road kalvorin_tbp kalvorin-host kalvorin-reg dist_resources)
kalvorin_test(test_config_logic SOURCES config/test_logic.cpp LIBS kalvorin_config_logic kalvorin_testsupport)
