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

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
endif()
