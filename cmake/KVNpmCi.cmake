# Installs the viewer's plotting library: copies package.json and package-lock.json
# from SOURCE_DIR into WORK_DIR and runs `npm ci` there, so node_modules never lands
# in the source tree. A failure (no registry reachable) warns and leaves the stamp
# unwritten, so the next build tries again; the library builds either way.
file(MAKE_DIRECTORY ${WORK_DIR})
file(COPY ${SOURCE_DIR}/package.json ${SOURCE_DIR}/package-lock.json DESTINATION ${WORK_DIR})
execute_process(COMMAND ${NPM} ci --no-audit --no-fund --loglevel=error
                WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(failed)
  message(WARNING "npm ci failed in ${WORK_DIR}; the viewer's page cannot draw until it succeeds:\n${out}\n${err}")
  file(REMOVE ${WORK_DIR}/npm-ci.stamp)
else()
  file(TOUCH ${WORK_DIR}/npm-ci.stamp)
endif()
