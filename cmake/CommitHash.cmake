# The commit of the build reaches the module through a generated source file.
# It is regenerated on every build (cheaply: the file is only rewritten when
# the hash changed), so a rebuild after a commit reports the new commit.
set(NUVREL_COMMIT_HASH_CPP ${CMAKE_BINARY_DIR}/generated/commit_hash.cpp)
add_custom_target(nuvrel_commit_hash
  COMMAND ${CMAKE_COMMAND}
          -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
          -DOUTPUT=${NUVREL_COMMIT_HASH_CPP}
          -P ${CMAKE_SOURCE_DIR}/cmake/WriteCommitHash.cmake
  BYPRODUCTS ${NUVREL_COMMIT_HASH_CPP}
  COMMENT "Reading the build's git commit"
  VERBATIM)
