# Makes BIN_DIR/<entry> a symbolic link to DATA_DIR/<entry> for every top-level entry of
# data/, and BIN_DIR/../gameobj a link to the module's sources (for its rebuild script).
file(MAKE_DIRECTORY ${BIN_DIR})
file(GLOB entries RELATIVE ${DATA_DIR} ${DATA_DIR}/*)
foreach(entry IN LISTS entries)
  if(NOT IS_SYMLINK ${BIN_DIR}/${entry})
    file(CREATE_LINK ${DATA_DIR}/${entry} ${BIN_DIR}/${entry} SYMBOLIC)
  endif()
endforeach()
get_filename_component(parent ${BIN_DIR} DIRECTORY)
if(EXISTS ${GAMEOBJ_DIR} AND NOT IS_SYMLINK ${parent}/gameobj)
  # A folder there is what an older build left: CMake's own output for the module.
  if(IS_DIRECTORY ${parent}/gameobj)
    file(REMOVE_RECURSE ${parent}/gameobj)
  endif()
  file(CREATE_LINK ${GAMEOBJ_DIR} ${parent}/gameobj SYMBOLIC)
endif()
