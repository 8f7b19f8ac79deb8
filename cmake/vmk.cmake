# Helpers that keep every library's CMake file down to one call.
#
# vmk_library(name DIRS d1 [d2 ...] [DEPS ...] [QT])
#   Every .cpp directly inside the listed folders (relative to the calling
#   CMakeLists) becomes part of a static library. A library whose folders hold
#   no source yet is an interface target, so dependents link it all the same.
#   Headers are included from src/ ("raster/rescale.h").
set(VMK_ALL_LIBRARIES "" CACHE INTERNAL "")

function(vmk_library name)
  cmake_parse_arguments(A "QT" "" "DIRS;DEPS" ${ARGN})
  set(srcs "")
  foreach(d IN LISTS A_DIRS)
    file(GLOB s CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp)
    list(APPEND srcs ${s})
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${A_DEPS})
    if(A_QT)
      set_target_properties(${name} PROPERTIES AUTOMOC ON)
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${A_DEPS})
  endif()
  set(VMK_ALL_LIBRARIES ${VMK_ALL_LIBRARIES} ${name} CACHE INTERNAL "")
endfunction()
