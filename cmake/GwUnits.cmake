# Every source gets GW_UNIT, its file name without extension: log lines start with "<unit>:<line> ".
function(gw_unit_names target)
  get_target_property(srcs ${target} SOURCES)
  get_target_property(dir ${target} SOURCE_DIR)
  foreach(src IN LISTS srcs)
    get_filename_component(unit "${src}" NAME_WE)
    set_property(SOURCE "${src}" DIRECTORY "${dir}" APPEND PROPERTY COMPILE_DEFINITIONS "GW_UNIT=\"${unit}\"")
  endforeach()
endfunction()
