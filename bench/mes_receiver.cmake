# bench_mes_receiver: one validated, durably stored call of the embedded MES receiver.
if(MONITOR_BUILD_BENCH)
  add_executable(bench_mes_receiver bench/bench_mes_receiver.cpp)
  target_link_libraries(bench_mes_receiver PRIVATE mes_receiver_core mes_soap)
endif()
