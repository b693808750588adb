# CPack runs this once it has packed the zip, before it writes the checksum: it packs the zip
# again, as CPack takes the entries in whatever order the file system lists them, and a zip
# holds local times. Here the entries come in name order, and with SOURCE_DATE_EPOCH set,
# cmake -E tar gives every entry that time, in UTC: one commit gives one zip.
cmake_path(GET CPACK_TEMPORARY_DIRECTORY PARENT_PATH top)
file(GLOB_RECURSE entries RELATIVE ${top} ${CPACK_TEMPORARY_DIRECTORY}/*)
list(SORT entries)
foreach(zip IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC0
                          ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip -- ${entries}
                  WORKING_DIRECTORY ${top} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
