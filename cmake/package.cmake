# `cmake --build --preset windows --target package`: the release zip, named
# for the version, with its own checksum beside it (see cmake/make_package.py).
find_program(HV_PYTHON3 python3 REQUIRED)
set(HV_PACKAGE_NAME "play-halvorn-glint-${PROJECT_VERSION}-windows")
set(HV_PACKAGE_FILE "${CMAKE_BINARY_DIR}/${HV_PACKAGE_NAME}.zip")
add_custom_target(package
  COMMAND ${HV_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/make_package.py
          --source ${CMAKE_SOURCE_DIR} --build ${CMAKE_BINARY_DIR} --out ${HV_PACKAGE_FILE}
          "Play Halvorn Glint.exe=$<TARGET_FILE:launcher>"
          "README.txt=${CMAKE_SOURCE_DIR}/assets/release-readme.txt"
          "tools/halvorn-disc.exe=$<TARGET_FILE:halvorn_disc>"
  COMMENT "Packaging ${HV_PACKAGE_NAME}.zip"
  VERBATIM)
add_dependencies(package launcher halvorn_disc)
