# Install.exe under Wine (registered from the native tree).
tavri_wine_test(NAME wine_installer COMMAND ${TAVRI_WIN32_BIN}/installer_test.exe --gtest_shuffle TIMEOUT 300)
tavri_wine_test(NAME wine_installer_release COMMAND ${CMAKE_CURRENT_LIST_DIR}/release_zip.sh TIMEOUT 300)
