# gzip -9n INPUT > OUTPUT, without a shell: cmake -DGZIP=... -DINPUT=... -DOUTPUT=... -P this
execute_process(COMMAND ${GZIP} -9n -c ${INPUT} OUTPUT_FILE ${OUTPUT}.tmp RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT}.tmp)
  message(FATAL_ERROR "gzip ${INPUT}: ${status}")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
