# Gives a target an include folder of its own in the build tree, holding
# links to the headers named (all the headers of its source folder when
# none are named), under the folder that includes name them by
# ("player/framesource.h"). A library sees only its own headers and those
# of the libraries it links, so that including a header without linking
# its library fails to build.
function(zorvane_public_headers target)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  set(headers ${ARGN})
  if(NOT headers)
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  endif()
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  file(MAKE_DIRECTORY ${root}/${folder})
  foreach(header IN LISTS headers)
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${root}/${folder}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
