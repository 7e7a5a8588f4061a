# KV_SANITIZE builds everything with AddressSanitizer and UndefinedBehaviorSanitizer;
# KV_TSAN builds it with ThreadSanitizer instead (the two cannot share a process).
# Any report aborts the process, so a test run fails on the first finding.
if(KV_SANITIZE AND KV_TSAN)
  message(FATAL_ERROR "KV_SANITIZE and KV_TSAN exclude each other: build them in two build directories")
endif()
if(KV_SANITIZE)
  set(KV_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${KV_SANITIZER_FLAGS})
  add_link_options(${KV_SANITIZER_FLAGS})
endif()
if(KV_TSAN)
  set(KV_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
  add_compile_options(${KV_SANITIZER_FLAGS})
  add_link_options(${KV_SANITIZER_FLAGS})
endif()
