# What ships is stripped, then signed when the environment at build time names a certificate
# (cmake/signing.sh says how). The signing set-up is read at every build into a stamp that
# changes only with it; the shipped binaries relink on a change, so a build that was unsigned
# (or signed with another certificate) comes out signed with the new one, and the packages,
# which depend on the binaries and the stamp, are made again from them.
set(ORVALIS_SIGNING_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/signing.sh)
set(ORVALIS_SIGNING_STAMP ${CMAKE_BINARY_DIR}/signing.stamp)
add_custom_target(orvalis_signing
  COMMAND bash ${ORVALIS_SIGNING_SCRIPT} stamp ${ORVALIS_SIGNING_STAMP}
  BYPRODUCTS ${ORVALIS_SIGNING_STAMP}
  COMMENT "signing set-up"
  VERBATIM)

# orvalis_ship(TARGET DESCRIPTION): the target's binary as it ships, right after each link:
# its debug sections kept beside it in <file>.debug, the file stripped, then signed with the
# description shown for it.
function(orvalis_ship target description)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND bash ${ORVALIS_SIGNING_SCRIPT} strip ${CMAKE_OBJCOPY} $<TARGET_FILE:${target}>
    COMMAND bash ${ORVALIS_SIGNING_SCRIPT} sign $<TARGET_FILE:${target}> ${description}
    VERBATIM)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ORVALIS_SIGNING_STAMP})
  add_dependencies(${target} orvalis_signing)
endfunction()
