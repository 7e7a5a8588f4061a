# Installs the package with pip from the source tree, offline (no package index),
# into a scratch directory, and imports it from there: the package's own build
# backend needs nothing that would have to be downloaded.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND /usr/bin/python3 -m pip install --no-index --no-deps --no-cache-dir --target ${WORK_DIR}/site
                        ${SOURCE_DIR}
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(failed)
  message(FATAL_ERROR "pip install failed:\n${out}\n${err}")
endif()
set(ENV{PYTHONPATH} ${WORK_DIR}/site)
set(ENV{PYTHONDONTWRITEBYTECODE} 1)
execute_process(COMMAND /usr/bin/python3 -c
  "import kvdatareader, importlib.metadata as m; print(kvdatareader.__file__); print(m.version('kvdatareader'))"
  WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(failed OR NOT out MATCHES "^${WORK_DIR}/site/kvdatareader/__init__.py\n[0-9]")
  message(FATAL_ERROR "the package pip installed does not import:\n${out}\n${err}")
endif()
