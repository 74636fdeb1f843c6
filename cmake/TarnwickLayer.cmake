# tarnwick_layer(<layer> [DEPENDS <layer> ...])
# Makes the library tarnwick_<layer> (tarnwick::<layer>) of every source in the calling folder,
# its internal/ folder included. DEPENDS names the layers directly below it that it may use,
# linked PUBLIC, so each library carries exactly the layers its headers may include. A source
# added to the folder joins its library at the next build (CONFIGURE_DEPENDS).
# Keep the call on one line: scripts/check_layers.sh reads the layer order from it.
function(tarnwick_layer layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "DEPENDS")
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(target tarnwick_${layer})
  add_library(${target} STATIC ${sources})
  add_library(tarnwick::${layer} ALIAS ${target})
  # Installed as tarnwick::<layer> too: an outside program may link one layer and what it needs.
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${layer})
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  foreach(below IN LISTS arg_DEPENDS)
    target_link_libraries(${target} PUBLIC tarnwick_${below})
  endforeach()
  # The include check runs before any layer is compiled.
  add_dependencies(${target} tarnwick_layers)
  set_property(GLOBAL APPEND PROPERTY TARNWICK_LAYER_TARGETS ${target})
endfunction()
