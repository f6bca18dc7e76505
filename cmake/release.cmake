# What a release needs of every build: the version, which the project() line of
# CMakeLists.txt holds and nothing else, and for Windows the programs' manifests, version
# resources and reproducible output.

set(VARERI_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
set(VARERI_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${VARERI_GENERATED_DIR}/vareri_version.h @ONLY)
# scripts/package.sh names the zip after it.
file(WRITE ${PROJECT_BINARY_DIR}/vareri-version.txt "${PROJECT_VERSION}\n")

if(WIN32)
  enable_language(RC)
  # The same commit gives the same bytes wherever and whenever it is built: no link time in
  # the headers, and no source or build directory in what the compiler embeds (__FILE__).
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
                      "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>")
endif()

# Gives `target` (a program, or the library that holds its command line) the version header.
function(vareri_use_version target)
  target_include_directories(${target} PRIVATE ${VARERI_GENERATED_DIR})
endfunction()

# The Windows resources of the program `target`: resources/<rc>, which embeds its version
# and the manifest made here from resources/program.manifest.in. `level` is its
# requestedExecutionLevel; WINDOW adds what a program with windows declares.
# A native program carries the parts of the C++ runtime it uses, as the Windows programs do
# (cmake/toolchain-i686-mingw.cmake): the shared one costs every run 1.2 MB of memory. Not
# under the sanitizers, whose runtime stands in for the allocator it would bring.
function(vareri_program_resources target rc level)
  if(NOT WIN32)
    if(NOT VARERI_SANITIZE AND NOT VARERI_FUZZ)
      target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
    endif()
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 3 arg "WINDOW" "" "")
  get_target_property(file ${target} OUTPUT_NAME)
  if(NOT file)
    set(file ${target})
  endif()
  set(MANIFEST_NAME ${file})
  set(MANIFEST_LEVEL ${level})
  set(MANIFEST_WINDOWS "")
  if(arg_WINDOW)
    set(part ${PROJECT_SOURCE_DIR}/resources/program_window.manifest.part)
    file(READ ${part} MANIFEST_WINDOWS)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${part})
  endif()
  set(manifest ${VARERI_GENERATED_DIR}/${file}.exe.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/resources/program.manifest.in ${manifest} @ONLY)
  set(rc ${PROJECT_SOURCE_DIR}/resources/${rc})
  target_sources(${target} PRIVATE ${rc})
  # windres finds the manifest through the include path; make tracks it explicitly.
  set_property(SOURCE ${rc} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS ${manifest})
  target_include_directories(${target} PRIVATE ${VARERI_GENERATED_DIR}
                             ${PROJECT_SOURCE_DIR}/resources)
endfunction()
