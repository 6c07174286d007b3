# A cross-built Windows tree that runs as it stands: every program lands in one bin folder,
# and the DLLs and Qt plugins they load are copied beside them (Windows looks beside the
# .exe first; Qt looks for plugins in folders beside it).
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

get_filename_component(qt_prefix "${Qt5_DIR}/../../.." ABSOLUTE)
set(ZORBEL_MINGW_RUNTIME
    /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libgcc_s_seh-1.dll
    /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libstdc++-6.dll
    /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll)
file(GLOB curl_dlls ${ZORBEL_WINCROSS}/curl/bin/libcurl*.dll)
file(GLOB sodium_dlls ${ZORBEL_WINCROSS}/sodium/bin/libsodium*.dll)

# What the program itself loads; the release zip and installer take exactly these.
set(ZORBEL_RUNTIME_DLLS
    ${qt_prefix}/bin/Qt5Core.dll ${qt_prefix}/bin/Qt5Gui.dll ${qt_prefix}/bin/Qt5Widgets.dll
    ${qt_prefix}/bin/Qt5Network.dll ${curl_dlls} ${sodium_dlls} ${ZORBEL_MINGW_RUNTIME})
set(ZORBEL_RUNTIME_PLUGINS
    platforms/qwindows.dll imageformats/qjpeg.dll imageformats/qico.dll styles/qwindowsvistastyle.dll)

# The test suites also load Qt Test and run on the offscreen platform.
set(runtime_files ${ZORBEL_RUNTIME_DLLS} ${qt_prefix}/bin/Qt5Test.dll)
set(copy_commands)
foreach(file ${runtime_files})
    list(APPEND copy_commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file} ${CMAKE_BINARY_DIR}/bin/)
endforeach()
foreach(plugin ${ZORBEL_RUNTIME_PLUGINS} platforms/qoffscreen.dll)
    get_filename_component(kind ${plugin} DIRECTORY)
    list(APPEND copy_commands
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bin/${kind}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_prefix}/plugins/${plugin} ${CMAKE_BINARY_DIR}/bin/${kind}/)
endforeach()
add_custom_target(windows_runtime ALL ${copy_commands} VERBATIM)
