# Settings window tests under Wine (registered from the native tree).
set(_settings_gtest ${CMAKE_CURRENT_LIST_DIR}/gtest.sh)
tavri_wine_test(NAME wine_settings_window
                COMMAND --script ${_settings_gtest} ${TAVRI_WIN32_BIN}/settings_window_test.exe
                TIMEOUT 180)
tavri_wine_test(NAME wine_settings_e2e
                COMMAND --script ${CMAKE_CURRENT_LIST_DIR}/e2e.sh
                        ${TAVRI_WIN32_BIN}/settings_e2e_test.exe
                TIMEOUT 300)
