# Installs the build into WORK_DIR/prefix, builds the consumer project against it and runs it.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
    endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
file(GLOB _plugin ${WORK_DIR}/prefix/*/qt6/plugins/designer/liborveldesigner.so)
if(NOT _plugin)
    message(FATAL_ERROR "the Designer plug-in was not installed under ${WORK_DIR}/prefix")
endif()
run(${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix
    -DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}
    -DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/orvelkit_consumer ${_plugin})
message(STATUS "consumer built and ran against ${WORK_DIR}/prefix")
