# The distributables: cmake --build --preset release --target package.
#
# zuno-payload-check, the payload authors' checker, is packaged on its own
# (the install component "checker": bin/zuno-payload-check and the protocol
# page), so that payload authors need neither the installer nor Qt. It is
# left out of a plain install; `cmake --install <build> --component checker
# --prefix <prefix>` installs it.
#
# With the installer (Qt found):
# - macOS: a disk image (DragNDrop) holding ZunoInstaller.app, after
#   macdeployqt has put the Qt frameworks in it and codesign has signed it,
#   and a link to /Applications. scripts/release-macos.sh archives the
#   checker beside it.
# - elsewhere: two .tar.gz, ZunoInstaller-<version>-<system>.tar.gz whose one
#   entry is the bundle, and zuno-payload-check-<version>-<system>.tar.gz
#   (bin/ and share/, to unpack into a prefix such as ~/.local).
# Without Qt: the checker's archive alone.
set(CPACK_PACKAGE_NAME ZunoInstaller)
set(CPACK_PACKAGE_VENDOR "Vexa")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Installs the Vexa Zuno package for the Codex desktop app")
set(ZUNO_CHECKER_ARCHIVE "zuno-payload-check-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}")

install(TARGETS zuno-payload-check RUNTIME DESTINATION bin COMPONENT checker EXCLUDE_FROM_ALL)
install(FILES "${PROJECT_SOURCE_DIR}/docs/payload-protocol.md" DESTINATION share/doc/zuno-payload-check
        COMPONENT checker EXCLUDE_FROM_ALL)

if(ZUNO_GUI AND APPLE)
    if(Qt6_VERSION VERSION_LESS 6.5)
        message(FATAL_ERROR "Packaging on macOS needs Qt 6.5 or later for its deployment script (this is ${Qt6_VERSION})")
    endif()
    # The whole bundle directory, Resources and icon included.
    install(TARGETS ZunoInstaller BUNDLE DESTINATION .)
    qt_generate_deploy_app_script(TARGET ZunoInstaller OUTPUT_SCRIPT _zuno_deploy NO_UNSUPPORTED_PLATFORM_ERROR)
    install(SCRIPT "${_zuno_deploy}")

    set(CPACK_GENERATOR DragNDrop)
    set(CPACK_DMG_VOLUME_NAME "Zuno Installer")
    set(CPACK_DMG_FORMAT UDZO)
    # hdiutil through a wrapper that tries `hdiutil create` again when a hosted
    # runner answers "Resource busy" (the path quoted: CPack splits the command).
    set(CPACK_COMMAND_HDIUTIL "\"${PROJECT_SOURCE_DIR}/scripts/hdiutil-retry.sh\"")
    # Signed in the staging folder, after deployment and before the image is
    # made: ZUNO_CODESIGN_IDENTITY from the environment, ad hoc without it.
    set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/ZunoCodesign.cmake")
else()
    set(CPACK_GENERATOR TGZ)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
    set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
    set(CPACK_ARCHIVE_CHECKER_FILE_NAME "${ZUNO_CHECKER_ARCHIVE}")
    set(CPACK_COMPONENTS_ALL checker)
    if(ZUNO_GUI)
        install(DIRECTORY "${ZUNO_BUNDLE_DIR}/" DESTINATION ZunoInstaller.app COMPONENT installer
                USE_SOURCE_PERMISSIONS PATTERN MacOS EXCLUDE)
        install(TARGETS ZunoInstaller RUNTIME DESTINATION ZunoInstaller.app/Contents/MacOS COMPONENT installer)
        set(CPACK_ARCHIVE_INSTALLER_FILE_NAME "ZunoInstaller-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}")
        list(PREPEND CPACK_COMPONENTS_ALL installer)
    endif()
endif()

include(CPack)
