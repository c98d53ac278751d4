# Runs the built kpx2-analyze on scratch directories and checks its exit statuses.
# Expects TOOL (the executable) and WORK_DIR (a scratch directory it may wipe).

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/good" "${WORK_DIR}/mixed" "${WORK_DIR}/empty")

set(example "S01\r\n 97.5 \r\n 92.5 \r\n 62.5 \r\n 47.5 \r\n 32.5 \r\n 22.5 \r\n 2.5 \r\n")
file(WRITE "${WORK_DIR}/good/S01.KPX" "${example}")
file(WRITE "${WORK_DIR}/mixed/S01.KPX" "${example}")
file(WRITE "${WORK_DIR}/mixed/S02.KPX" "S02\r\n 97.5 \r\n")

function(expect_status expected)
    execute_process(COMMAND "${TOOL}" ${ARGN}
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status STREQUAL "${expected}")
        message(FATAL_ERROR "kpx2-analyze ${ARGN}: exit status ${status}, expected ${expected}\n${out}\n${err}")
    endif()
    set(last_out "${out}" PARENT_SCOPE)
endfunction()

expect_status(0 "${WORK_DIR}/good")
if(NOT last_out MATCHES "^subject,file,.*\nS01,")
    message(FATAL_ERROR "unexpected summary:\n${last_out}")
endif()
expect_status(0 --help)
expect_status(1 --out "${WORK_DIR}/summary.csv" --plots "${WORK_DIR}/plots" "${WORK_DIR}/mixed")
foreach(written summary.csv plots/S01.png plots/study.png)
    if(NOT EXISTS "${WORK_DIR}/${written}")
        message(FATAL_ERROR "${written} was not written")
    endif()
endforeach()
expect_status(2 "${WORK_DIR}/empty")
expect_status(2 "${WORK_DIR}/nowhere.KPX")
expect_status(2)
expect_status(2 --bogus "${WORK_DIR}/good")
expect_status(3 --out "${WORK_DIR}/no-such-dir/summary.csv" "${WORK_DIR}/good")
