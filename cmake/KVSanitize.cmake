# KV_SANITIZE builds everything with AddressSanitizer and UndefinedBehaviorSanitizer;
# any report aborts the process, so a test run fails on the first finding.
if(KV_SANITIZE)
  set(KV_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${KV_SANITIZER_FLAGS})
  add_link_options(${KV_SANITIZER_FLAGS})
endif()
