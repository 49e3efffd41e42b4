# Runs korvante-headless with the arguments in MACHINE (commas between them; none: the built-in machine) and either compares
# its output byte for byte with the golden file, showing a unified diff when they differ, or, with
# UPDATE set, writes the output into the golden file.
#   cmake -DHEADLESS=... -DGOLDEN=... -DOUTPUT=... [-DMACHINE=...] [-DUPDATE=ON] -P Golden.cmake
if(UPDATE)
  set(OUTPUT "${GOLDEN}")
endif()
string(REPLACE "," ";" MACHINE "${MACHINE}")
execute_process(COMMAND "${HEADLESS}" ${MACHINE} OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE exit_code)
if(NOT exit_code EQUAL 0)
  message(FATAL_ERROR "korvante-headless ${MACHINE} exited with ${exit_code}")
endif()
if(UPDATE)
  return()
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${GOLDEN}" "${OUTPUT}" RESULT_VARIABLE differ)
if(differ)
  find_program(DIFF diff)
  if(DIFF)
    execute_process(COMMAND "${DIFF}" -u "${GOLDEN}" "${OUTPUT}")
  endif()
  message(FATAL_ERROR "${OUTPUT} differs from ${GOLDEN}. If the change is meant, run "
                      "'bash scripts/golden.sh' and review the golden file's diff before committing it.")
endif()
