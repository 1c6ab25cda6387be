# Profile-guided optimisation of a Release build with GCC.
#
# A training build of the same sources, configured under pgo/build with
# PRINTZONE_PROFILE_GENERATE, compiles the program instrumented; the
# training run (cmake/train_profile.sh) converts generated cases with it,
# and the counts land in pgo/profile. This build then compiles the
# program's libraries by that profile. The profile guides the optimiser
# (inlining, code layout, branch order); the floating-point rules stay the
# same, and so does the program's output.
# The profile files are named after the object files; both builds strip
# their own binary directory from those names, so that they match.
set(printzone_profiled pz_records pz_extract pz_mesh pz_cells pz_plot pz_driver printzone)

if(PRINTZONE_PROFILE_GENERATE)
  foreach(target ${printzone_profiled})
    target_compile_options(${target} PRIVATE -fprofile-generate=${PRINTZONE_PROFILE_GENERATE}
                           -fprofile-prefix-path=${PROJECT_BINARY_DIR} -fprofile-update=atomic)
  endforeach()
  target_link_options(printzone PRIVATE -fprofile-generate=${PRINTZONE_PROFILE_GENERATE})
  return()
endif()

if(NOT PRINTZONE_PGO OR NOT CMAKE_BUILD_TYPE STREQUAL "Release" OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU"
   OR CMAKE_CXX_COMPILER_VERSION VERSION_LESS 12 OR CMAKE_CROSSCOMPILING OR PRINTZONE_SANITIZE OR PRINTZONE_TSAN)
  return()
endif()

include(ExternalProject)
set(pgo ${PROJECT_BINARY_DIR}/pgo)
ExternalProject_Add(printzone_training_build
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${pgo}/build
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
             "-DCMAKE_CXX_FLAGS=${CMAKE_CXX_FLAGS}" -DPRINTZONE_TESTS=OFF -DPRINTZONE_PGO=OFF
             -DPRINTZONE_GENERATORS=ON -DPRINTZONE_PROFILE_GENERATE=${pgo}/profile
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${pgo}/build/printzone)
# Trained anew whenever the instrumented program is linked anew.
add_custom_command(OUTPUT ${pgo}/trained
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${pgo}/profile ${pgo}/cases
  COMMAND bash ${PROJECT_SOURCE_DIR}/cmake/train_profile.sh ${pgo}/build ${pgo}/cases
  COMMAND ${CMAKE_COMMAND} -E touch ${pgo}/trained
  DEPENDS ${pgo}/build/printzone ${PROJECT_SOURCE_DIR}/cmake/train_profile.sh
  COMMENT "Training run of the profile-guided build"
  VERBATIM)
add_custom_target(printzone_training DEPENDS ${pgo}/trained)
add_dependencies(printzone_training printzone_training_build)

foreach(target ${printzone_profiled})
  # (a function the training did not run keeps the optimisation it would
  # have without a profile; a profile that does not fit its code is a
  # warning, not a failed build)
  target_compile_options(${target} PRIVATE -fprofile-use=${pgo}/profile -fprofile-prefix-path=${PROJECT_BINARY_DIR}
                         -fprofile-partial-training -Wno-missing-profile -Wno-error=coverage-mismatch)
  add_dependencies(${target} printzone_training)
  # A new profile compiles the program again.
  get_target_property(dir ${target} SOURCE_DIR)
  get_target_property(sources ${target} SOURCES)
  list(TRANSFORM sources PREPEND ${dir}/)
  set_property(SOURCE ${sources} DIRECTORY ${dir} APPEND PROPERTY OBJECT_DEPENDS ${pgo}/trained)
endforeach()
