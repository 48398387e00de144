# Install.exe under Wine (registered from the native tree).
tavri_wine_test(NAME wine_installer
                COMMAND --script ${CMAKE_CURRENT_LIST_DIR}/window_and_install_test.sh
                TIMEOUT 600)
tavri_wine_test(NAME wine_installer_release
                COMMAND --script ${CMAKE_CURRENT_LIST_DIR}/release_test.sh
                TIMEOUT 400)
