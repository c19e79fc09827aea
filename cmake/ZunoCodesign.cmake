# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) on the staged, deployed bundle before
# the disk image is made. Signs inside out, the Qt frameworks and plugins
# first and the bundle last, so that each seal covers signed code:
#   ZUNO_CODESIGN_IDENTITY set:   that identity, hardened runtime, secure timestamp
#   ZUNO_CODESIGN_IDENTITY unset: ad hoc ("-"): enough for Apple silicon to run
#                                 it, not for Gatekeeper on another Mac
set(_identity "$ENV{ZUNO_CODESIGN_IDENTITY}")
if(_identity STREQUAL "")
    set(_sign codesign --force --sign - --timestamp=none)
else()
    set(_sign codesign --force --sign "${_identity}" --timestamp --options runtime)
endif()

file(GLOB_RECURSE _bundles LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*.app")
list(FILTER _bundles INCLUDE REGEX "/ZunoInstaller\\.app$")
list(LENGTH _bundles _count)
if(NOT _count EQUAL 1)
    message(FATAL_ERROR "expected one ZunoInstaller.app under ${CPACK_TEMPORARY_DIRECTORY}, found: ${_bundles}")
endif()
set(_app "${_bundles}")

file(GLOB _frameworks LIST_DIRECTORIES true "${_app}/Contents/Frameworks/*.framework" "${_app}/Contents/Frameworks/*.dylib")
file(GLOB_RECURSE _plugins "${_app}/Contents/PlugIns/*.dylib")
foreach(_code IN LISTS _frameworks _plugins _app)
    execute_process(COMMAND ${_sign} "${_code}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
execute_process(COMMAND codesign --verify --strict --deep --verbose=2 "${_app}" COMMAND_ERROR_IS_FATAL ANY)
