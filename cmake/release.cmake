# Release builds anyone can repeat bit for bit, and the Windows package.
#
# No build path, time or folder may reach a program: the sources and this
# build's folder are mapped to fixed names in __FILE__ and debug info, the PE
# header carries no link time (so its checksum is stable too), and archives
# hold no member times, owners or modes.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
endforeach()
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()

# The Linux programs link statically, as the Windows ones do: no loader work
# or libstdc++ relocation on every start. The sanitizer and fuzz builds need
# their dynamic runtimes, and tests link as they like.
if(NOT WIN32 AND NOT HV_SANITIZE AND NOT HV_FUZZ)
  function(hv_link_programs_statically)
    target_link_options(launcher PRIVATE -static)
    target_link_options(halvorn_disc PRIVATE -static)
  endfunction()
  cmake_language(DEFER CALL hv_link_programs_statically)
endif()

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
endif()
