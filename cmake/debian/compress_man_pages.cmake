# Run by CPack once the files are staged (CPACK_PRE_BUILD_SCRIPTS): Debian packages carry
# their manual pages compressed, without a name or time stamp in the gzip header, so the
# package builds the same twice. Every page of every section is taken.
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/man*/*")
foreach(page IN LISTS pages)
  if(page MATCHES "\\.gz$")
    continue()
  endif()
  execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${page} failed (${status})")
  endif()
endforeach()
