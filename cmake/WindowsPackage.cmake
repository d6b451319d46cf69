# What a Windows installation holds beside the three programs: the Qt DLLs they load, the
# plugins Qt loads at run time (the windows platform and its style, from the platforms/ and
# styles/ folders beside the programs; the offscreen platform too, a quarter of a megabyte,
# so that an installation can be checked without a display: TavrixV20 -platform offscreen),
# and the MinGW run-time DLLs. CPack makes of it an NSIS installer (Program Files, a
# Start-menu entry, an uninstaller) and a portable zip.
foreach(module Core Gui Widgets Network SerialPort)
  install(FILES "$<TARGET_FILE:Qt6::${module}>" DESTINATION bin)
endforeach()
foreach(platform QWindowsIntegrationPlugin QOffscreenIntegrationPlugin)
  install(FILES "$<TARGET_FILE:Qt6::${platform}>" DESTINATION bin/platforms)
endforeach()
install(FILES "$<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>" DESTINATION bin/styles)
foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "The compiler does not know where ${runtime} is")
  endif()
  install(FILES "${path}" DESTINATION bin)
endforeach()

set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_FILE_NAME "TavrixV20-${PROJECT_VERSION}-windows-x64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "TAVRIX-Vovez V2.0")
set(CPACK_PACKAGE_EXECUTABLES "TavrixV20" "TAVRIX-Vovez V2.0")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME "TAVRIX-Vovez V2.0")
set(CPACK_NSIS_PACKAGE_NAME "TAVRIX-Vovez V2.0")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY bin)
# A 64-bit installer for the 64-bit programs (it also runs where only 64-bit Wine is).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_PACKAGING_INSTALL_PREFIX "")
