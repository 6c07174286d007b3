# Installation layout and packages.
#
# The program looks for "app.ico" beside its own executable, so both live in one folder:
# on Linux <prefix>/lib/zorbel-skins with a link <prefix>/bin/zorbel-skins, on Windows the
# install root (next to the Qt DLLs that windeployqt adds).

if(WIN32)
    set(ZORBEL_APP_DIR ".")
    install(TARGETS zorbel-skins RUNTIME DESTINATION ${ZORBEL_APP_DIR})
    install(FILES resources/app.ico DESTINATION ${ZORBEL_APP_DIR})
    if(CMAKE_CROSSCOMPILING)
        # Exactly the DLLs and plugins the program loads (lists and qt_prefix from
        # cmake/WindowsRuntime.cmake); packaging/windows/build.sh makes the zip and installer of it.
        install(FILES ${ZORBEL_RUNTIME_DLLS} DESTINATION ${ZORBEL_APP_DIR})
        foreach(plugin ${ZORBEL_RUNTIME_PLUGINS})
            get_filename_component(kind ${plugin} DIRECTORY)
            install(FILES ${qt_prefix}/plugins/${plugin} DESTINATION ${kind})
        endforeach()
    else()
        find_program(WINDEPLOYQT windeployqt HINTS "${Qt5_DIR}/../../../bin")
        if(WINDEPLOYQT)
            install(CODE "execute_process(COMMAND \"${WINDEPLOYQT}\" --release --no-translations
                          --no-compiler-runtime \"\${CMAKE_INSTALL_PREFIX}/zorbel-skins.exe\")")
        endif()
        # libcurl from vcpkg: copy its DLLs beside the program.
        install(CODE "file(GLOB dlls \"${CMAKE_BINARY_DIR}/*.dll\" \"${CMAKE_BINARY_DIR}/\${CMAKE_INSTALL_CONFIG_NAME}/*.dll\")
                      file(INSTALL \${dlls} DESTINATION \"\${CMAKE_INSTALL_PREFIX}\")")
    endif()
    set(CPACK_GENERATOR ZIP)
else()
    set(ZORBEL_APP_DIR ${CMAKE_INSTALL_LIBDIR}/zorbel-skins)
    install(TARGETS zorbel-skins RUNTIME DESTINATION ${ZORBEL_APP_DIR})
    install(FILES resources/app.ico DESTINATION ${ZORBEL_APP_DIR})
    install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
                  file(CREATE_LINK \"../${ZORBEL_APP_DIR}/zorbel-skins\"
                       \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zorbel-skins\" SYMBOLIC)")
    install(FILES resources/zorbel-skins.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES resources/zorbel-skins.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)
    set(CPACK_GENERATOR DEB TGZ)
endif()

set(CPACK_PACKAGE_NAME zorbel-skins)
set(CPACK_PACKAGE_VENDOR "Zorbel")
set(CPACK_PACKAGE_CONTACT "Zorbel <skins@zorbel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Skin manager for the game Dread Hunger")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY zorbel-skins)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
include(CPack)
