# The release: Tavri-1.00.zip holding Install.exe, Tavri.dll, install.reg,
# uninstall.reg and a readme for Windows users, all at the top of the archive.
#   cmake --build --preset release --target package
# The package target builds everything first, so what it packs is current.

# Windows users open the readme in Notepad: CRLF line ends.
file(READ ${PROJECT_SOURCE_DIR}/installer/README-Windows.txt tavri_readme)
string(REPLACE "\r\n" "\n" tavri_readme "${tavri_readme}")
string(REPLACE "\n" "\r\n" tavri_readme "${tavri_readme}")
file(WRITE ${CMAKE_BINARY_DIR}/package/README.txt "${tavri_readme}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/installer/README-Windows.txt)

install(TARGETS Install Tavri RUNTIME DESTINATION . COMPONENT release)
install(FILES ${PROJECT_SOURCE_DIR}/installer/install.reg
              ${PROJECT_SOURCE_DIR}/installer/uninstall.reg ${CMAKE_BINARY_DIR}/package/README.txt
        DESTINATION . COMPONENT release)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Tavri)
set(CPACK_PACKAGE_VENDOR Tavri)
set(CPACK_PACKAGE_VERSION 1.00)
set(CPACK_PACKAGE_FILE_NAME Tavri-1.00)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# Only the release files, whatever else the build may install.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Tavri;release;/")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)
