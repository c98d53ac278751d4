# Runs the built kpx2 with command lines that must not open the task, and checks what it says.
# Expects TOOL (the executable) and VERSION (the project's).

# run(STATUS OUT_REGEX ERR_REGEX ARGS...): the exit status and what each stream must match.
function(run expected out_regex err_regex)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env ${environment} "${TOOL}" ${ARGN}
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
    if(NOT status STREQUAL "${expected}" OR NOT out MATCHES "${out_regex}" OR NOT err MATCHES "${err_regex}")
        message(FATAL_ERROR "kpx2 ${ARGN}: exit status ${status}, expected ${expected}\n"
                            "stdout:\n${out}\nstderr:\n${err}")
    endif()
endfunction()

string(REPLACE "." "\\." version_regex "${VERSION}")

# No display at all: answering --help or --version must not need one.
set(environment --unset=DISPLAY --unset=WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb)
run(0 "^kpx2 ${version_regex}\n$" "^$" --version)
run(0 "^Usage: kpx2 .*--version" "^$" --help)
# Nor does refusing a command line: the message and status 2, not an abort for want of a display.
run(2 "^$" "^kpx2: unknown option '--bogus' \\(kpx2 --help shows the usage\\)\n$" --bogus)
run(2 "^$" "unexpected argument 'results'" -style windows --platform=xcb results)

# Qt's own options are Qt's; ours still work after them.
set(environment)
run(0 "^kpx2 ${version_regex}\n$" "" -style windows --version)

# Nothing is ignored silently.
run(2 "^$" "kpx2: unknown option '--colour' \\(kpx2 --help shows the usage\\)\n$" --colour)
run(2 "^$" "unknown option '-x'" --version -x)
run(2 "^$" "unexpected argument 'results'" -style windows results)

# The language: a shipped one is taken, an unknown one refused with the list of those shipped.
set(environment --unset=DISPLAY --unset=WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb)
run(0 "^kpx2 ${version_regex}\n$" "^$" --language de --version)
run(0 "--language L .*en, de, es, zh_CN" "^$" --help)
run(2 "^$" "unknown language 'xx'; the languages shipped are en, de, es, zh_CN" --language xx)
run(2 "^$" "--language needs a value" --version --language)
