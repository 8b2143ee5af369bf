# Run after a test binary is built: lists its GoogleTest suites and writes one CTest test per suite.
# A suite runs in one process; starting a sanitised binary and its fixtures for every single case
# cost three times the CPU of the cases themselves.
#   cmake -D BIN=... -D OUT=... -D WORKDIR=... -D ENVIRONMENT=... -D TIMEOUT=... -P GwTestSuites.cmake
execute_process(COMMAND "${BIN}" --gtest_list_tests
                WORKING_DIRECTORY "${WORKDIR}"
                OUTPUT_VARIABLE listing RESULT_VARIABLE rc TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${BIN} --gtest_list_tests failed (${rc}):\n${listing}")
endif()

string(REPLACE "\n" ";" lines "${listing}")
set(script "")
foreach(line IN LISTS lines)
  # Suite lines start in the first column and end in a dot, maybe followed by "  # TypeParam = ...".
  if(line MATCHES "^([^ #][^ ]*)\\.( .*)?$")
    set(suite "${CMAKE_MATCH_1}")
    string(APPEND script
      "add_test([==[${suite}]==] [==[${BIN}]==] [==[--gtest_filter=${suite}.*]==])\n"
      "set_tests_properties([==[${suite}]==] PROPERTIES WORKING_DIRECTORY [==[${WORKDIR}]==]"
      " TIMEOUT ${TIMEOUT} ENVIRONMENT [==[${ENVIRONMENT}]==])\n")
  endif()
endforeach()
file(WRITE "${OUT}" "${script}")
