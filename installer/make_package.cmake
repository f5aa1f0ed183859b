# One package, as the build makes it: wixl over Orvalis.wxs with the binaries given, then the
# package signed as the build signs (cmake/signing.sh: nothing without ORVALIS_SIGN_PFX).
#
#   cmake -DPACKAGE=<package>.cmake [-DADDIN=<dll>] [-DRESET=<exe>] [-DOUTPUT=<msi>] -P make_package.cmake
#
# <package>.cmake (written by the build for each package) holds wixl's settings and the build's
# own binaries and output; ADDIN, RESET and OUTPUT put others in their place (the tests make
# packages of signed copies so). A failure leaves no package behind.
if(NOT PACKAGE)
  message(FATAL_ERROR "make_package.cmake needs -DPACKAGE=<package>.cmake")
endif()
include(${PACKAGE})
foreach(var ADDIN RESET OUTPUT)
  if(NOT ${var})
    set(${var} ${DEFAULT_${var}})
  endif()
endforeach()

# wixl reads sources relative to its working folder only.
file(RELATIVE_PATH addin_rel ${WORK_DIR} ${ADDIN})
file(RELATIVE_PATH reset_rel ${WORK_DIR} ${RESET})
file(RELATIVE_PATH help_rel ${WORK_DIR} ${HELP})
file(REMOVE ${OUTPUT})
execute_process(
  COMMAND ${WIXL} -a ${ARCH} -o ${OUTPUT} ${DEFINES}
          -D AddinDll=${addin_rel} -D ResetExe=${reset_rel} -D HelpChm=${help_rel} ${WXS}
  WORKING_DIRECTORY ${WORK_DIR}
  RESULT_VARIABLE wixl_result)
if(NOT wixl_result EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "wixl could not make ${OUTPUT} (${wixl_result})")
endif()
if(SIGN)
  # The signing step removes the package when it fails.
  execute_process(COMMAND bash ${SIGNING_SCRIPT} sign ${OUTPUT} ${DESCRIPTION} RESULT_VARIABLE sign_result)
  if(NOT sign_result EQUAL 0)
    message(FATAL_ERROR "${OUTPUT} not made: its signing failed")
  endif()
endif()
