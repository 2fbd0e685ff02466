monitor_add_test(test_text_codec
  SOURCES tests/test_text_codec.cpp
  LIBS platform_core)
