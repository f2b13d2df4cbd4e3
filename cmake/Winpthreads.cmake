# winpthreads, linked into every binary by -static, keeps what it takes from
# the process in file-local variables: its TLS slot, the lock of its thread
# records and the lock of its key table (two semaphores once a key exists).
# It never gives them back, so each load and unload of one of our DLLs would
# leave them behind. We link a copy of the library in which those three are
# visible under names of ours; src/runtime/DllEntry.cpp releases them.
execute_process(
  COMMAND ${CMAKE_C_COMPILER} -print-file-name=libpthread.a
  OUTPUT_VARIABLE KV_PTHREAD_LIB OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT IS_ABSOLUTE "${KV_PTHREAD_LIB}" OR NOT EXISTS "${KV_PTHREAD_LIB}")
  message(FATAL_ERROR "libpthread.a of the toolchain not found")
endif()

set(KV_PTHREAD_DIR ${CMAKE_BINARY_DIR}/winpthreads)
file(MAKE_DIRECTORY ${KV_PTHREAD_DIR})
set(kv_exposed
  _pthread_tls=kv_winpthreads_tls_slot
  mtx_pthr_locked=kv_winpthreads_records_lock
  _pthread_key_lock=kv_winpthreads_keys_lock)
set(kv_objcopy_args)
foreach(pair IN LISTS kv_exposed)
  string(REGEX REPLACE ".*=" "" exposed ${pair})
  list(APPEND kv_objcopy_args --redefine-sym ${pair} --globalize-symbol ${exposed})
endforeach()
execute_process(
  COMMAND ${CMAKE_OBJCOPY} ${kv_objcopy_args} ${KV_PTHREAD_LIB} ${KV_PTHREAD_DIR}/libpthread.a
  RESULT_VARIABLE kv_rc)
if(NOT kv_rc EQUAL 0)
  message(FATAL_ERROR "could not make ${KV_PTHREAD_DIR}/libpthread.a")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KV_PTHREAD_LIB})

# The compiler driver adds -lpthread itself; this folder is searched first.
link_directories(BEFORE ${KV_PTHREAD_DIR})
