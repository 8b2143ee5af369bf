# Installs the build into a fresh prefix, then builds and runs the sample plug-in from that prefix alone:
# the installed pkg-config file, headers and libgwbus (which must carry cJSON itself).
# -D BUILD_DIR, WORK, SAMPLE, CC, CFLAGS (list), PKG_CONFIG, LIBDIR
cmake_minimum_required(VERSION 3.18)
file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefix)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

run("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(f bin/gwagent bin/plughost ${LIBDIR}/libgwbus.so ${LIBDIR}/libgwbus.so.0 include/gwbus/log.h
          include/gwbus/cjson.h include/gwbus/util.h ${LIBDIR}/pkgconfig/libgwbus.pc
          share/dbus-1/system.d/com.yvc.gwagent1.conf share/dbus-1/system.d/com.yvc.appframework1.conf)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(STRINGS ${prefix}/${LIBDIR}/pkgconfig/libgwbus.pc pc_prefix REGEX "^prefix=")
if(NOT pc_prefix STREQUAL "prefix=${prefix}")
  message(FATAL_ERROR "libgwbus.pc names ${pc_prefix}, installed to ${prefix}")
endif()

set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
run("pkg-config" ${PKG_CONFIG} --cflags --libs libgwbus)
string(STRIP "${out}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
if(NOT "-L${prefix}/${LIBDIR}" IN_LIST pc_flags OR NOT "-I${prefix}/include" IN_LIST pc_flags)
  message(FATAL_ERROR "pkg-config flags do not point at the prefix: ${pc_flags}")
endif()
# The linker, like the loader, finds the library's own dependencies in the prefix through this.
set(ENV{LD_LIBRARY_PATH} ${prefix}/${LIBDIR})
if(SYSTEM_LIBDIRS)
  set(ENV{LD_LIBRARY_PATH} "$ENV{LD_LIBRARY_PATH}:${SYSTEM_LIBDIRS}")
endif()
run("compiling the sample plug-in" ${CC} ${CFLAGS} ${SAMPLE} ${pc_flags} -o ${WORK}/sample_plugin)

set(ENV{GW_LOG_STDERR} 1)
set(ENV{GW_ROOT} ${WORK}/root)
file(MAKE_DIRECTORY ${WORK}/root)
run("the sample plug-in" ${WORK}/sample_plugin)
set(expected "port 8443\nprefix 1\njson {\"name\":\"sample\",\"ports\":[80,443,8443]}\n"
             "pretty {\n\t\"name\":\t\"sample\",\n\t\"ports\":\t[80, 443, 8443]\n}\n")
string(CONCAT expected ${expected})
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "sample plug-in printed:\n${out}\nexpected:\n${expected}")
endif()
if(NOT err MATCHES "sample_plugin:[0-9]+ sample plug-in up")
  message(FATAL_ERROR "the sample plug-in's log line is missing:\n${err}")
endif()
