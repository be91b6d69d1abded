# The shared sources of the two programs are built once per program, with a
# compile-time constant naming the program (see platform/system/Program.h).
#   wi_add_variant_library(<name> SOURCES ... LIBS ...)
# makes <name>_install and <name>_tolvane.
function(wi_add_variant_library name)
  cmake_parse_arguments(V "" "" "SOURCES;LIBS;INCLUDES" ${ARGN})
  foreach(variant install tolvane)
    set(target ${name}_${variant})
    add_library(${target} STATIC ${V_SOURCES})
    string(TOUPPER ${variant} up)
    target_compile_definitions(${target} PUBLIC WI_PROGRAM_${up}=1)
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR} ${V_INCLUDES})
    set(libs)
    foreach(lib ${V_LIBS})
      if(lib MATCHES "^@")
        string(SUBSTRING ${lib} 1 -1 base)
        list(APPEND libs ${base}_${variant})
      else()
        list(APPEND libs ${lib})
      endif()
    endforeach()
    target_link_libraries(${target} PUBLIC ${libs})
  endforeach()
endfunction()

# Globs one folder's sources (not its tests), so that adding a unit needs no edit here.
function(wi_glob_sources out dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  set(${out} ${srcs} PARENT_SCOPE)
endfunction()

# Embeds text files (stored form descriptions) into a generated source, as
#   extern const char* const wi_resource_<stem>;  and a lookup by name.
function(wi_embed_forms target)
  file(GLOB forms CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.form)
  if(NOT forms)
    return()
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_forms.cpp)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${out} "-DFILES=${forms}" -P ${CMAKE_SOURCE_DIR}/cmake/EmbedForms.cmake
    DEPENDS ${forms} ${CMAKE_SOURCE_DIR}/cmake/EmbedForms.cmake
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
