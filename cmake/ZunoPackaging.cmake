# The distributable: cmake --build --preset release --target package.
# macOS: a disk image (DragNDrop) holding ZunoInstaller.app, after
# macdeployqt has put the Qt frameworks in it and codesign has signed it, and
# a link to /Applications. Elsewhere: a .tar.gz whose one entry is the bundle.
set(CPACK_PACKAGE_NAME ZunoInstaller)
set(CPACK_PACKAGE_VENDOR "Vexa")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Installs the Vexa Zuno package for the Codex desktop app")

if(APPLE)
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
    install(DIRECTORY "${ZUNO_BUNDLE_DIR}/" DESTINATION ZunoInstaller.app
            USE_SOURCE_PERMISSIONS PATTERN MacOS EXCLUDE)
    install(TARGETS ZunoInstaller RUNTIME DESTINATION ZunoInstaller.app/Contents/MacOS)
    set(CPACK_GENERATOR TGZ)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()

include(CPack)
