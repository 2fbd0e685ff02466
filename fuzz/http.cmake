# The HTTP response reader under libFuzzer (seeds in fuzz/corpus/http_response).
monitor_add_fuzzer(fuzz_http_response
  SOURCES fuzz/fuzz_http_response.cpp
  LIBS mes_transport)
