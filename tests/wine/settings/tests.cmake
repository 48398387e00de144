# Settings window tests under Wine (registered from the native tree).
set(_settings_gtest ${CMAKE_CURRENT_LIST_DIR}/gtest.sh)
tavri_wine_test(NAME wine_settings_window
                COMMAND --script ${_settings_gtest} ${TAVRI_WIN32_BIN}/settings_window_test.exe
                TIMEOUT 180)
