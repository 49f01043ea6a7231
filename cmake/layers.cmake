# Include folders by layer. An include names a header by its source folder
# ("platform/lock.h"), and a target's include path holds only the layer
# folders of the libraries it links: folders of the build tree whose symbolic
# links, named as includes spell them, lead to the source folders or single
# headers that layer may see. A header of a layer above is not found there.
# Bottom up: platform; CodigoComun; inspect; the programs plugin, host,
# tools and config.
set(KALVORIN_LAYERS ${CMAKE_BINARY_DIR}/layers)
# Made afresh at every configure, so that a header taken out of a layer is
# gone from it. Removing follows no link.
file(REMOVE_RECURSE ${KALVORIN_LAYERS})

# kalvorin_layer(LAYER PATH...): the layer folder ${KALVORIN_LAYERS}/LAYER
# with a link to each PATH, a source folder or a header, named from the
# source root.
function(kalvorin_layer layer)
  foreach(path ${ARGN})
    if(NOT EXISTS ${CMAKE_SOURCE_DIR}/${path})
      message(FATAL_ERROR "Layer ${layer}: no ${path} in the source tree")
    endif()
    set(link ${KALVORIN_LAYERS}/${layer}/${path})
    get_filename_component(parent ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${path} ${link} SYMBOLIC)
  endforeach()
endfunction()

# kalvorin_included(VAR FOLDER HEADER...): the headers of the source folder
# FOLDER that the given headers include, directly or through one another. The
# headers read become inputs of the configure step, so that an include added
# to one of them is seen.
function(kalvorin_included var folder)
  set(found)
  set(queue ${ARGN})
  while(queue)
    list(POP_FRONT queue header)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${header})
    file(STRINGS ${CMAKE_SOURCE_DIR}/${header} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"${folder}/")
    foreach(line ${lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" included "${line}")
      if(NOT included IN_LIST found)
        list(APPEND found ${included})
        list(APPEND queue ${included})
      endif()
    endforeach()
  endwhile()
  set(${var} ${found} PARENT_SCOPE)
endfunction()
